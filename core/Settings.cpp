// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Settings.h"

#include "platform/ExePath.h"
#include "platform/IniFile.h"
#include "platform/PrivateFile.h"
#include "platform/UserPaths.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
#include <set>
#include <utility>
#include <variant>
#include <vector>

TSettings g_settings;
bool bSettingsLoaded = false;

namespace {

std::string& PathOverride() {
    static std::string path;
    return path;
}

// A key whose field is one element of an array of the settings.
struct FlagElement {
    bool (TSettings::*array)[10];
    int index;
};
struct NumberElement {
    char (TSettings::*array)[10][25];
    int index;
};

// One row per key, in the order of reading and writing; the defaults are the fields' own.
struct Key {
    const char* section;
    std::string name;
    std::variant<int32_t TSettings::*, bool TSettings::*, std::string TSettings::*, FlagElement,
                 NumberElement>
        field;
    // Written only when set or already in the file: a file of a program that never used
    // the feature stays as it was.
    bool optional = false;
};

template <class... Ts> struct Overloaded : Ts... { using Ts::operator()...; };
template <class... Ts> Overloaded(Ts...) -> Overloaded<Ts...>;

const std::vector<Key>& KeyTable() {
    static const std::vector<Key> keys = [] {
        std::vector<Key> table = {
            {"Anruf", "Sekunden", &TSettings::iSekunden},
            {"Anruf", "History", &TSettings::bHistory},
            {"Anruf", "AnruferAnzeigen", &TSettings::bAnruferAnzeigen},
            {"Anruf", "Bekannte", &TSettings::bBekannte},
            {"Anruf", "Blinkend", &TSettings::bBlinkend},
            {"Netzwerk", "Client", &TSettings::bClient},
            {"Netzwerk", "Server", &TSettings::bServer},
            {"Netzwerk", "Broadcast", &TSettings::sBroadcast},
            {"Netzwerk", "Kennwort", &TSettings::sKennwort},
            {"Fenster", "PosSpeichern", &TSettings::bPosSpeichern},
            {"MSN", "Alle", &TSettings::bAlle},
        };
        for (int i = 0; i < 10; ++i)
            table.push_back(
                {"MSN", "Zeige" + std::to_string(i), FlagElement{&TSettings::abZeige, i}});
        for (int i = 0; i < 10; ++i)
            table.push_back({"MSN", "Nr" + std::to_string(i), NumberElement{&TSettings::aszNr, i}});
        table.push_back({"Leitung", "Art", &TSettings::sLeitungArt});
        table.push_back({"Leitung", "Adresse", &TSettings::sLeitungAdresse});
        table.push_back({"Leitung", "Port", &TSettings::iLeitungPort});
        const std::vector<Key> actions = {
            {"Netzwerk", "Weg", &TSettings::sNetzwerkWeg, true},
            {"MQTT", "Host", &TSettings::sMqttHost, true},
            {"MQTT", "Port", &TSettings::iMqttPort, true},
            {"MQTT", "TLS", &TSettings::bMqttTls, true},
            {"MQTT", "CA", &TSettings::sMqttCa, true},
            {"MQTT", "Benutzer", &TSettings::sMqttBenutzer, true},
            {"MQTT", "Kennwort", &TSettings::sMqttKennwort, true},
            {"MQTT", "Praefix", &TSettings::sMqttPraefix, true},
            {"MQTT", "Station", &TSettings::sMqttStation, true},
            {"MQTT", "HomeAssistant", &TSettings::bMqttHomeAssistant, true},
            {"Aktionen", "Webhook", &TSettings::sWebhook, true},
            {"Aktionen", "Befehl", &TSettings::sBefehl, true},
        };
        table.insert(table.end(), actions.begin(), actions.end());
        return table;
    }();
    return keys;
}

// The number buffer takes 24 characters and its terminator; a longer number is cut.
void SetNumber(char (&buffer)[25], const std::string& text) {
    std::memset(buffer, 0, sizeof buffer);
    std::memcpy(buffer, text.data(), std::min<size_t>(text.size(), 24));
}

std::set<std::string>& KeptSecrets() {
    static std::set<std::string> kept;
    return kept;
}

std::string SecretId(const std::string& section, const std::string& key) {
    return section + "/" + key;
}

bool IsDefault(const Key& key, const TSettings& defaults) {
    return std::visit(Overloaded{
                          [&](int32_t TSettings::*f) { return g_settings.*f == defaults.*f; },
                          [&](bool TSettings::*f) { return g_settings.*f == defaults.*f; },
                          [&](std::string TSettings::*f) { return g_settings.*f == defaults.*f; },
                          [](FlagElement) { return false; },
                          [](NumberElement) { return false; },
                      },
                      key.field);
}

} // namespace

std::string SettingsFilePath() {
    if (!PathOverride().empty()) return PathOverride();
    return cb::ChooseSettingsFile(cb::ExecutablePath());
}

void SetSettingsFilePathOverride(const std::string& path) {
    PathOverride() = path;
}

std::vector<SecretSetting> SecretSettings() {
    return {{"Netzwerk", "Kennwort", &g_settings.sKennwort},
            {"MQTT", "Kennwort", &g_settings.sMqttKennwort}};
}

void SetKeptInSecretService(const std::string& section, const std::string& key, bool kept) {
    if (kept)
        KeptSecrets().insert(SecretId(section, key));
    else
        KeptSecrets().erase(SecretId(section, key));
}

bool KeptInSecretService(const std::string& section, const std::string& key) {
    return KeptSecrets().count(SecretId(section, key)) != 0;
}

void ResetSettings() {
    KeptSecrets().clear();
    g_settings = TSettings{};
    bSettingsLoaded = false;
}

void LoadSettings() {
    const cb::CIniFile ini(SettingsFilePath());
    const TSettings defaults;
    for (const Key& key : KeyTable()) {
        std::visit(Overloaded{
                       [&](int32_t TSettings::*f) {
                           g_settings.*f = ini.ReadInteger(key.section, key.name, defaults.*f);
                       },
                       [&](bool TSettings::*f) {
                           g_settings.*f = ini.ReadInteger(key.section, key.name, defaults.*f) != 0;
                       },
                       [&](std::string TSettings::*f) {
                           g_settings.*f = ini.ReadString(key.section, key.name, defaults.*f);
                       },
                       [&](FlagElement e) {
                           (g_settings.*e.array)[e.index] =
                               ini.ReadInteger(key.section, key.name,
                                               (defaults.*e.array)[e.index]) != 0;
                       },
                       [&](NumberElement e) {
                           std::string text =
                               ini.ReadString(key.section, key.name, (defaults.*e.array)[e.index]);
                           SetNumber((g_settings.*e.array)[e.index], text);
                       },
                   },
                   key.field);
    }
    bSettingsLoaded = true;
}

void SaveSettings() {
    if (!bSettingsLoaded) return;
    cb::CIniFile ini(SettingsFilePath());
    const TSettings defaults;
    // A password in plain text: the file becomes its owner's alone before it gets there (the
    // replacing writes keep the file's mode).
    for (const SecretSetting& secret : SecretSettings())
        if (!secret.value->empty() && !KeptInSecretService(secret.section, secret.key) &&
            !cb::MakeOwnerOnly(ini.Path()))
            throw cb::IniWriteError(ini.Path());
    for (const Key& key : KeyTable()) {
        if (key.optional && IsDefault(key, defaults) &&
            ini.ReadString(key.section, key.name, "\x01") == "\x01")
            continue;
        std::visit(
            Overloaded{
                [&](int32_t TSettings::*f) {
                    ini.WriteInteger(key.section, key.name, g_settings.*f);
                },
                [&](bool TSettings::*f) { ini.WriteBool(key.section, key.name, g_settings.*f); },
                [&](std::string TSettings::*f) {
                    ini.WriteString(key.section, key.name,
                                    KeptInSecretService(key.section, key.name) ? std::string()
                                                                               : g_settings.*f);
                },
                [&](FlagElement e) {
                    ini.WriteBool(key.section, key.name, (g_settings.*e.array)[e.index]);
                },
                [&](NumberElement e) {
                    const char* number = (g_settings.*e.array)[e.index];
                    ini.WriteString(key.section, key.name,
                                    std::string(number, strnlen(number, 25)));
                },
            },
            key.field);
    }
}

bool AnnounceThroughBroker() {
    std::string weg = g_settings.sNetzwerkWeg;
    for (char& c : weg)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // Without a broker the announcements keep to the LAN rather than going nowhere.
    return weg == "mqtt" && !g_settings.sMqttHost.empty();
}

bool UseRouterCallMonitor() {
    std::string art = sLeitungArt;
    for (char& c : art)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return art == "anrufmonitor";
}

namespace {
std::vector<std::pair<int, std::function<void()>>>& SettingsWatchers() {
    static std::vector<std::pair<int, std::function<void()>>> watchers;
    return watchers;
}
} // namespace

int WatchSettings(std::function<void()> watcher) {
    static int nextId = 1;
    SettingsWatchers().emplace_back(nextId, std::move(watcher));
    return nextId++;
}

void UnwatchSettings(int id) {
    auto& watchers = SettingsWatchers();
    for (auto it = watchers.begin(); it != watchers.end(); ++it)
        if (it->first == id) {
            watchers.erase(it);
            return;
        }
}

void AnnounceSettingsChanged() {
    // A copy: a watcher may add or remove watchers.
    const auto watchers = SettingsWatchers();
    for (const auto& watcher : watchers)
        watcher.second();
}
