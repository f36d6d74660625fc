// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <string>

// The program's options: --help, --version, --daten ORDNER, --importieren DATEI,
// --ohne-einrichtung.
struct TCommandLine {
    bool bHelp = false;
    bool bVersion = false;
    bool bOhneEinrichtung = false; // no first-start assistant (scripts, tests, the demo)
    QString sDataFolder;           // empty: not named
    std::string sDataFolderPath;   // the same as the bytes given, for the file system
    QString sImportFile;           // contacts to add to the phone book, then end; empty: none
    QString sError;                // German text for the user; empty when the arguments are sound
};

// Parses the arguments, program name first. Qt's own options must already be taken out
// (QApplication does that), except where only --help and --version are looked for.
TCommandLine ParseCommandLine(const QStringList& arguments);

// Parses the program's own arguments as main() gets them, before the toolkit is started (so
// that a wrong option is answered without a display). The toolkit's own options (-platform,
// -style, -display ...) are left to it. The folder after --daten is kept byte for byte: a
// name in another encoding than the locale's still names the folder.
TCommandLine ParseProgramArguments(int argc, char* argv[]);
// True when the arguments ask for --importieren, spelt out or with its value attached.
bool ImportRequested(const QStringList& arguments);

// The text --help prints: options and where each file lives.
QString CommandLineHelp();
// What --version prints: "CallBeacon 1.50".
QString CommandLineVersion();
