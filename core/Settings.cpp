// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Settings.h"

#include "platform/ExePath.h"
#include "platform/IniFile.h"
#include "platform/UserPaths.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
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
struct TextElement {
    std::string (TSettings::*array)[10];
    int index;
};

// One row per key, in the order of reading and writing; the defaults are the fields' own.
struct Key {
    const char* section;
    std::string name;
    std::variant<int32_t TSettings::*, bool TSettings::*, std::string TSettings::*, FlagElement,
                 NumberElement, TextElement>
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
            {"Anruf", "Ortsvorwahl", &TSettings::sOrtsvorwahl},
            {"Anruf", "Anzeige", &TSettings::sAnzeige},
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
        for (int i = 0; i < 10; ++i)
            table.push_back(
                {"MSN", "Name" + std::to_string(i), TextElement{&TSettings::asNrName, i}});
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
        table.push_back({"CardDAV", "Adresse", &TSettings::sCardDavAdresse, true});
        table.push_back({"CardDAV", "Benutzer", &TSettings::sCardDavBenutzer, true});
        table.push_back({"CardDAV", "Kennwort", &TSettings::sCardDavKennwort, true});
        table.push_back({"CardDAV", "Minuten", &TSettings::iCardDavMinuten, true});
        table.push_back({"CardDAV", "Zertifikat", &TSettings::sCardDavZertifikat, true});
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
                          [](TextElement) { return false; },
                      },
                      key.field);
}

} // namespace

std::string SettingsFilePath() {
    if (!PathOverride().empty()) return PathOverride();
    // Chosen once: whether the program's folder is writable must not change where the
    // settings of one run go, nor must a program file replaced while it runs.
    static const std::string path = cb::ChooseSettingsFile(cb::ExecutablePath());
    return path;
}

std::string SenderStateFilePath() {
    // Named after the settings file: portable copies side by side keep theirs apart.
    return std::filesystem::path(SettingsFilePath()).replace_extension(".state").string();
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
    // No password may be readable by other users of the machine: a file holding one is
    // written for its owner alone, from its first byte.
    static const bool bSecretMarked = [] {
        for (const SecretSetting& secret : SecretSettings())
            cb::CIniFile::MarkSecretKey(secret.section, secret.key);
        // The address book's password is kept by its own store, but is no less secret.
        cb::CIniFile::MarkSecretKey("CardDAV", "Kennwort");
        return true;
    }();
    (void)bSecretMarked;
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
                       [&](TextElement e) {
                           (g_settings.*e.array)[e.index] =
                               ini.ReadString(key.section, key.name, (defaults.*e.array)[e.index]);
                       },
                   },
                   key.field);
    }
    bSettingsLoaded = true;
}

void SaveSettings() {
    if (!bSettingsLoaded) return;
    const cb::CIniFile current(SettingsFilePath());
    const TSettings defaults;
    std::vector<cb::IniEntry> entries;
    for (const Key& key : KeyTable()) {
        // Keys of the additions stay out of a file that never had them, while at their default.
        if (key.optional && IsDefault(key, defaults) &&
            current.ReadString(key.section, key.name, "\x01") == "\x01")
            continue;
        const std::string value = std::visit(
            Overloaded{
                [](int32_t TSettings::*f) { return std::to_string(g_settings.*f); },
                [](bool TSettings::*f) { return std::string(g_settings.*f ? "1" : "0"); },
                [&](std::string TSettings::*f) {
                    // A password the Secret Service keeps is written empty.
                    return KeptInSecretService(key.section, key.name) ? std::string()
                                                                      : g_settings.*f;
                },
                [](FlagElement e) {
                    return std::string((g_settings.*e.array)[e.index] ? "1" : "0");
                },
                [](NumberElement e) {
                    const char* number = (g_settings.*e.array)[e.index];
                    return std::string(number, strnlen(number, 25));
                },
                [](TextElement e) { return (g_settings.*e.array)[e.index]; },
            },
            key.field);
        entries.push_back({key.section, key.name, value});
    }
    // One replacement for all keys: a shutdown cut short by its deadline leaves the old file
    // or the new one, never a file with only the first keys new.
    cb::CIniFile(SettingsFilePath()).WriteEntries(entries);
}

bool AnnounceThroughBroker() {
    std::string weg = g_settings.sNetzwerkWeg;
    for (char& c : weg)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    // Without a broker the announcements keep to the LAN rather than going nowhere.
    return weg == "mqtt" && !g_settings.sMqttHost.empty();
}

TLineKind LineKind() {
    std::string art = sLeitungArt;
    for (char& c : art)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (art == "anrufmonitor") return TLineKind::RouterCallMonitor;
    if (art == "keine") return TLineKind::None;
    return TLineKind::Capi;
}

bool UseRouterCallMonitor() {
    return LineKind() == TLineKind::RouterCallMonitor;
}

CallDisplay ConfiguredCallDisplay() {
    std::string text = sAnzeige;
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (text == "benachrichtigung") return CallDisplay::Notification;
    if (text == "beides") return CallDisplay::Both;
    return CallDisplay::Window;
}

const char* CallDisplayText(CallDisplay display) {
    switch (display) {
    case CallDisplay::Notification:
        return "Benachrichtigung";
    case CallDisplay::Both:
        return "Beides";
    case CallDisplay::Window:
        break;
    }
    return "Fenster";
}

std::string OwnNumberName(const std::string& called) {
    if (called.empty()) return {};
    for (int i = 0; i < 10; ++i)
        if (!asNrName[i].empty() && std::strcmp(aszNr[i], called.c_str()) == 0) return asNrName[i];
    return {};
}

void NameOwnNumber(std::string& gerufener, const std::string& called) {
    if (gerufener != called) return;
    if (std::string name = OwnNumberName(called); !name.empty()) gerufener = std::move(name);
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
