// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/Settings.h"

#include "platform/ExePath.h"
#include "platform/IniFile.h"
#include "platform/UserPaths.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <functional>
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
        table.push_back({"CardDAV", "Adresse", &TSettings::sCardDavAdresse});
        table.push_back({"CardDAV", "Benutzer", &TSettings::sCardDavBenutzer});
        table.push_back({"CardDAV", "Kennwort", &TSettings::sCardDavKennwort});
        table.push_back({"CardDAV", "Minuten", &TSettings::iCardDavMinuten});
        table.push_back({"CardDAV", "Zertifikat", &TSettings::sCardDavZertifikat});
        return table;
    }();
    return keys;
}

// The number buffer takes 24 characters and its terminator; a longer number is cut.
void SetNumber(char (&buffer)[25], const std::string& text) {
    std::memset(buffer, 0, sizeof buffer);
    std::memcpy(buffer, text.data(), std::min<size_t>(text.size(), 24));
}

} // namespace

std::string SettingsFilePath() {
    if (!PathOverride().empty()) return PathOverride();
    return cb::ChooseSettingsFile(cb::ExecutablePath());
}

void SetSettingsFilePathOverride(const std::string& path) {
    PathOverride() = path;
}

void ResetSettings() {
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
    for (const Key& key : KeyTable()) {
        std::visit(
            Overloaded{
                [&](int32_t TSettings::*f) {
                    ini.WriteInteger(key.section, key.name, g_settings.*f);
                },
                [&](bool TSettings::*f) { ini.WriteBool(key.section, key.name, g_settings.*f); },
                [&](std::string TSettings::*f) {
                    ini.WriteString(key.section, key.name, g_settings.*f);
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
