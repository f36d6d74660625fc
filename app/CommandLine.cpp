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
const QCommandLineOption kOhneEinrichtung(
    QStringLiteral("ohne-einrichtung"),
    QStringLiteral("Fragt beim ersten Start nicht, wie das Telefon angeschlossen ist."));

} // namespace

TCommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.addOptions({kHelp, kVersion, kDaten, kOhneEinrichtung});
    TCommandLine result;
    const bool bParsed = parser.parse(arguments);
    result.bHelp = parser.isSet(kHelp);
    result.bVersion = parser.isSet(kVersion);
    result.bOhneEinrichtung = parser.isSet(kOhneEinrichtung);
    // Qt's own messages are English; ours name the fault in German.
    if (!parser.unknownOptionNames().isEmpty()) {
        QStringList names;
        for (const QString& name : parser.unknownOptionNames())
            names << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        result.sError = QStringLiteral("Unbekannte Option: ") + names.join(QStringLiteral(", "));
    } else if (!bParsed) {
        result.sError = QStringLiteral("Nach --daten fehlt der Ordner.");
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
    return result;
}

QString CommandLineHelp() {
    return QStringLiteral(
        "Aufruf: callbeacon [--daten ORDNER] [--ohne-einrichtung]\n"
        "Anrufmonitor für IP-Anschlüsse (Anrufmonitor des Routers) und ISDN-Anschlüsse\n"
        "(CAPI 2.0): zeigt Anrufer, führt eine Anruferliste und lebt als Symbol im\n"
        "Infobereich der Arbeitsoberfläche.\n"
        "\n"
        "Optionen:\n"
        "  -h, --help        Zeigt diese Hilfe an.\n"
        "  -v, --version     Zeigt die Versionsnummer an.\n"
        "  --daten ORDNER    Nimmt die Tabellen aus ORDNER (muss bestehen), zum Beispiel\n"
        "                    einem Ordner auf einem Dateiserver.\n"
        "  --ohne-einrichtung  Fragt beim ersten Start nicht, wie das Telefon\n"
        "                    angeschlossen ist.\n"
        "\n"
        "Leitung ([Leitung] Art in den Einstellungen):\n"
        "  Anrufmonitor      der Anrufmonitor des Routers (Adresse, Port 1012); am Router\n"
        "                    einschalten: an einem Telefon #96*5* wählen.\n"
        "  CAPI              eine ISDN-Karte oder CAPI über TCP (~/.capi20rc).\n"
        "  Keine             nur Netzwerk-Client.\n"
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
