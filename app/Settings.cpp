// SPDX-License-Identifier: GPL-3.0-or-later
#include "Settings.h"

#include "platform/ExePath.h"
#include "platform/IniFile.h"
#include "platform/UserPaths.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

int32_t iSekunden = 10;
bool bHistory = true;
bool bAnruferAnzeigen = true;
bool bBekannte = false;
bool bBlinkend = false;
bool bClient = false;
bool bServer = false;
std::string sBroadcast;
std::string sKennwort;
bool bPosSpeichern = false;
bool bAlle = true;
bool abZeige[10] = {};
char aszNr[10][25] = {};
std::string sLeitungArt = "CAPI";
std::string sLeitungAdresse = "fritz.box";
int32_t iLeitungPort = 1012;
bool bSettingsLoaded = false;

namespace {

std::string& PathOverride() {
    static std::string path;
    return path;
}

enum class Kind { Integer, Flag, Number, Text };

// One row per key, in the order of reading and writing.
struct Key {
    const char* section;
    std::string name;
    Kind kind;
    void* value;
    int iDefault; // integer default, or the flag default as 0/1
    const char* szDefault = ""; // text default
};

std::vector<Key> KeyTable() {
    std::vector<Key> keys = {
        {"Anruf", "Sekunden", Kind::Integer, &iSekunden, 10},
        {"Anruf", "History", Kind::Flag, &bHistory, 1},
        {"Anruf", "AnruferAnzeigen", Kind::Flag, &bAnruferAnzeigen, 1},
        {"Anruf", "Bekannte", Kind::Flag, &bBekannte, 0},
        {"Anruf", "Blinkend", Kind::Flag, &bBlinkend, 0},
        {"Netzwerk", "Client", Kind::Flag, &bClient, 0},
        {"Netzwerk", "Server", Kind::Flag, &bServer, 0},
        {"Netzwerk", "Broadcast", Kind::Text, &sBroadcast, 0},
        {"Netzwerk", "Kennwort", Kind::Text, &sKennwort, 0},
        {"Fenster", "PosSpeichern", Kind::Flag, &bPosSpeichern, 0},
        {"MSN", "Alle", Kind::Flag, &bAlle, 1},
    };
    for (int i = 0; i < 10; ++i)
        keys.push_back({"MSN", "Zeige" + std::to_string(i), Kind::Flag, &abZeige[i], 0});
    for (int i = 0; i < 10; ++i)
        keys.push_back({"MSN", "Nr" + std::to_string(i), Kind::Number, aszNr[i], 0});
    keys.push_back({"Leitung", "Art", Kind::Text, &sLeitungArt, 0, "CAPI"});
    keys.push_back({"Leitung", "Adresse", Kind::Text, &sLeitungAdresse, 0, "fritz.box"});
    keys.push_back({"Leitung", "Port", Kind::Integer, &iLeitungPort, 1012});
    return keys;
}

} // namespace

std::string SettingsFilePath() {
    if (!PathOverride().empty()) return PathOverride();
    return cb::ChooseSettingsFile(cb::ExecutablePath());
}

void SetSettingsFilePathOverride(const std::string& path) { PathOverride() = path; }

void ResetSettings() {
    for (const Key& key : KeyTable()) {
        switch (key.kind) {
        case Kind::Integer: *static_cast<int32_t*>(key.value) = key.iDefault; break;
        case Kind::Flag: *static_cast<bool*>(key.value) = key.iDefault != 0; break;
        case Kind::Number: std::memset(key.value, 0, 25); break;
        case Kind::Text: *static_cast<std::string*>(key.value) = key.szDefault; break;
        }
    }
    bSettingsLoaded = false;
}

bool LoadSettings() {
    const cb::CIniFile ini(SettingsFilePath());
    for (const Key& key : KeyTable()) {
        switch (key.kind) {
        case Kind::Integer:
            *static_cast<int32_t*>(key.value) = ini.ReadInteger(key.section, key.name, key.iDefault);
            break;
        case Kind::Flag:
            *static_cast<bool*>(key.value) = ini.ReadInteger(key.section, key.name, key.iDefault) != 0;
            break;
        case Kind::Number: {
            std::string text = ini.ReadString(key.section, key.name, std::string());
            if (text.size() > 2047) text.resize(2047);
            // The buffer takes 24 characters and its terminator; a longer number is cut.
            char* buffer = static_cast<char*>(key.value);
            std::memset(buffer, 0, 25);
            std::memcpy(buffer, text.data(), std::min<size_t>(text.size(), 24));
            break;
        }
        case Kind::Text:
            *static_cast<std::string*>(key.value) = ini.ReadString(key.section, key.name, key.szDefault);
            break;
        }
    }
    bSettingsLoaded = true;
    return true;
}

bool SaveSettings() {
    if (!bSettingsLoaded) return true;
    cb::CIniFile ini(SettingsFilePath());
    for (const Key& key : KeyTable()) {
        switch (key.kind) {
        case Kind::Integer:
            ini.WriteInteger(key.section, key.name, *static_cast<int32_t*>(key.value));
            break;
        case Kind::Flag:
            ini.WriteBool(key.section, key.name, *static_cast<bool*>(key.value));
            break;
        case Kind::Number:
            ini.WriteString(key.section, key.name,
                            std::string(static_cast<const char*>(key.value),
                                        strnlen(static_cast<const char*>(key.value), 25)));
            break;
        case Kind::Text:
            ini.WriteString(key.section, key.name, *static_cast<const std::string*>(key.value));
            break;
        }
    }
    return true;
}

bool UseRouterCallMonitor() {
    std::string art = sLeitungArt;
    for (char& c : art) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return art == "anrufmonitor";
}
