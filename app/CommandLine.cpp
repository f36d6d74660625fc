// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include "core/Version.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

namespace {

const QCommandLineOption kHelp({QStringLiteral("h"), QStringLiteral("help")},
                               QStringLiteral("Zeigt diese Hilfe an."));
const QCommandLineOption kVersion({QStringLiteral("v"), QStringLiteral("version")},
                                  QStringLiteral("Zeigt die Versionsnummer an."));
const QCommandLineOption kDaten(QStringLiteral("daten"),
                                QStringLiteral("Nimmt die Tabellen aus ORDNER (muss bestehen)."),
                                QStringLiteral("ORDNER"));
const QCommandLineOption
    kImportieren(QStringLiteral("importieren"),
                 QStringLiteral("Nimmt die Kontakte aus DATEI ins Telefonbuch auf und endet."),
                 QStringLiteral("DATEI"));

} // namespace

TCommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.addOptions({kHelp, kVersion, kDaten, kImportieren});
    TCommandLine result;
    const bool bParsed = parser.parse(arguments);
    result.bHelp = parser.isSet(kHelp);
    result.bVersion = parser.isSet(kVersion);
    // Qt's own messages are English; ours name the fault in German.
    if (!parser.unknownOptionNames().isEmpty()) {
        QStringList names;
        for (const QString& name : parser.unknownOptionNames())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        result.sError = QStringLiteral("Unbekannte Option: ") + names.join(QStringLiteral(", "));
    } else if (!bParsed) {
        result.sError = parser.errorText().contains(QStringLiteral("importieren"))
                            ? QStringLiteral("Nach --importieren fehlt die Datei.")
                            : QStringLiteral("Nach --daten fehlt der Ordner.");
    } else if (!parser.positionalArguments().isEmpty()) {
        result.sError =
            QStringLiteral("Unerwartetes Argument: ") + parser.positionalArguments().first();
    } else if (parser.isSet(kDaten)) {
        const QStringList values = parser.values(kDaten);
        if (values.size() > 1)
            result.sError = QStringLiteral("--daten ist mehrfach angegeben.");
        else if (values.first().isEmpty())
            result.sError = QStringLiteral("Nach --daten fehlt der Ordner.");
        else
            result.sDataFolder = values.first();
    }
    if (result.sError.isEmpty() && parser.isSet(kImportieren)) {
        const QStringList files = parser.values(kImportieren);
        if (files.size() > 1)
            result.sError = QStringLiteral("--importieren ist mehrfach angegeben.");
        else if (files.first().isEmpty())
            result.sError = QStringLiteral("Nach --importieren fehlt die Datei.");
        else
            result.sImportFile = files.first();
    }
    return result;
}

bool ImportRequested(const QStringList& arguments) {
    for (const QString& a : arguments)
        if (a == QStringLiteral("--importieren") || a.startsWith(QStringLiteral("--importieren=")))
            return true;
    return false;
}

QString CommandLineHelp() {
    return QStringLiteral(
        "Aufruf: callbeacon [--daten ORDNER] [--importieren DATEI]\n"
        "Anrufmonitor für ISDN-Anschlüsse: zeigt Anrufer, führt eine Anruferliste und\n"
        "lebt als Symbol im Infobereich der Arbeitsoberfläche.\n"
        "\n"
        "Optionen:\n"
        "  -h, --help        Zeigt diese Hilfe an.\n"
        "  -v, --version     Zeigt die Versionsnummer an.\n"
        "  --daten ORDNER    Nimmt die Tabellen aus ORDNER (muss bestehen), zum Beispiel\n"
        "                    einem Ordner auf einem Dateiserver.\n"
        "  --importieren DATEI  Nimmt die Kontakte aus DATEI ins Telefonbuch auf\n"
        "                    (vCard, Telefonbuch-Export des Routers als XML, CSV von\n"
        "                    Google oder Outlook), meldet das Ergebnis und endet.\n"
        "\n"
        "Dateien:\n"
        "  Adressen.dbf, Anrufe.dbf  Telefonbuch und Anruferliste im Datenordner: dem mit\n"
        "                    --daten genannten; sonst dem Arbeitsordner, wenn er Tabellen\n"
        "                    enthält; sonst $XDG_DATA_HOME/callbeacon\n"
        "                    (meist ~/.local/share/callbeacon).\n"
        "  Avon.dbf          Vorwahlverzeichnis: aus dem Datenordner, sonst das\n"
        "                    mitgelieferte (share/callbeacon/Avon.dbf).\n"
        "  callbeacon.INI    Einstellungen: neben dem Programm, wenn dessen Ordner\n"
        "                    beschreibbar und es nicht installiert ist; sonst\n"
        "                    $XDG_CONFIG_HOME/callbeacon/callbeacon.INI\n"
        "                    (meist ~/.config/callbeacon/callbeacon.INI).\n");
}

QString CommandLineVersion() {
    return QStringLiteral("CallBeacon ") + ProgramVersionText();
}
