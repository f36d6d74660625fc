// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLine.h"

#include "core/Version.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <algorithm>
#include <iterator>

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

// Options QGuiApplication and QApplication take out of the arguments themselves; those
// before the '/' take a value (as the next argument or after '=').
const char* const kToolkitOptionsWithValue[] = {"platform",        "platformpluginpath",
                                                "platformtheme",   "plugin",
                                                "qwindowgeometry", "geometry",
                                                "qwindowtitle",    "title",
                                                "qwindowicon",     "icon",
                                                "display",         "name",
                                                "style",           "stylesheet",
                                                "session",         "qmljsdebugger"};
const char* const kToolkitFlags[] = {"reverse", "widgetcount", "nograb",
                                     "dograb",  "sync",        "testability"};

// The option's name without its one or two dashes and any "=value"; empty for no option.
std::string OptionName(const std::string& argument) {
    if (argument.size() < 2 || argument[0] != '-') return std::string();
    std::string name = argument.substr(argument[1] == '-' ? 2 : 1);
    return name.substr(0, name.find('='));
}
const QCommandLineOption kOhneEinrichtung(
    QStringLiteral("ohne-einrichtung"),
    QStringLiteral("Fragt beim ersten Start nicht, wie das Telefon angeschlossen ist."));

} // namespace

TCommandLine ParseProgramArguments(int argc, char* argv[]) {
    QStringList arguments;
    std::string dataFolderBytes;
    for (int i = 0; i < argc; ++i) {
        const std::string argument = argv[i] ? argv[i] : "";
        const std::string name = i > 0 ? OptionName(argument) : std::string();
        const bool hasValue = argument.find('=') != std::string::npos;
        if (std::find(std::begin(kToolkitFlags), std::end(kToolkitFlags), name) !=
            std::end(kToolkitFlags))
            continue;
        if (std::find(std::begin(kToolkitOptionsWithValue), std::end(kToolkitOptionsWithValue),
                      name) != std::end(kToolkitOptionsWithValue)) {
            if (!hasValue) ++i;
            continue;
        }
        if (argument == "--daten" && i + 1 < argc)
            dataFolderBytes = argv[i + 1];
        else if (argument.rfind("--daten=", 0) == 0)
            dataFolderBytes = argument.substr(8);
        arguments << QString::fromLocal8Bit(argument.c_str());
    }
    TCommandLine result = ParseCommandLine(arguments);
    if (!result.sDataFolder.isEmpty()) result.sDataFolderPath = dataFolderBytes;
    return result;
}

TCommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.addOptions({kHelp, kVersion, kDaten, kImportieren, kOhneEinrichtung});
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
        result.sDataFolderPath = result.sDataFolder.toLocal8Bit().toStdString();
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
        "Aufruf: callbeacon [--daten ORDNER] [--importieren DATEI] [--ohne-einrichtung]\n"
        "Anrufmonitor für IP-Anschlüsse (Anrufmonitor des Routers) und ISDN-Anschlüsse\n"
        "(CAPI 2.0): zeigt Anrufer, führt eine Anruferliste und lebt als Symbol im\n"
        "Infobereich der Arbeitsoberfläche.\n"
        "\n"
        "Optionen:\n"
        "  -h, --help        Zeigt diese Hilfe an.\n"
        "  -v, --version     Zeigt die Versionsnummer an.\n"
        "  --daten ORDNER    Nimmt die Tabellen aus ORDNER (muss bestehen), zum Beispiel\n"
        "                    einem Ordner auf einem Dateiserver.\n"
        "  --importieren DATEI  Nimmt die Kontakte aus DATEI ins Telefonbuch auf\n"
        "                    (vCard, Telefonbuch-Export des Routers als XML, CSV von\n"
        "                    Google oder Outlook), meldet das Ergebnis und endet.\n"
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
