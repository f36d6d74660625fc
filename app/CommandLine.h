// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The program's options: --help, --version, --daten ORDNER, --importieren DATEI.
struct TCommandLine {
    bool bHelp = false;
    bool bVersion = false;
    QString sDataFolder; // empty: not named
    QString sImportFile; // contacts to add to the phone book, then end; empty: none
    QString sError;      // German text for the user; empty when the arguments are sound
};

// Parses the arguments, program name first. Qt's own options must already be taken out
// (QApplication does that), except where only --help and --version are looked for.
TCommandLine ParseCommandLine(const QStringList& arguments);

// True when the arguments ask for --importieren, spelt out or with its value attached.
bool ImportRequested(const QStringList& arguments);

// The text --help prints: options and where each file lives.
QString CommandLineHelp();
// What --version prints: "CallBeacon 1.50".
QString CommandLineVersion();
