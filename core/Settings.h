// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Process-wide settings, one field per key of the settings file, each with its default.
// Loaded once at start-up, changed in memory only by the settings dialog, written once at
// shutdown.
struct TSettings {
    // [Anruf]
    int32_t iSekunden = 10;       // Sekunden: seconds a live-call pop-up stays open
    bool bHistory = true;         // History: calls go to the call log
    bool bAnruferAnzeigen = true; // AnruferAnzeigen: show the caller pop-up
    bool bBekannte = false;       // Bekannte: pop-up only for callers in the phone book
    bool bBlinkend = false;       // Blinkend: tray icon blinks instead of turning red
    std::string sOrtsvorwahl;     // Ortsvorwahl: own area code ("089"); phone-book and
                                  // calling numbers without one are taken to be local
    // Anzeige: how a call is shown, see ConfiguredCallDisplay
    std::string sAnzeige = "Fenster";
    // [Netzwerk]
    bool bClient = false;   // Client: receive calls from a network server
    bool bServer = false;   // Server: announce calls to network clients
    std::string sBroadcast; // Broadcast: addresses the server sends to, comma-
                            // separated; empty means every interface that can
    std::string sKennwort;  // Kennwort: shared key that signs and checks
                            // announcements; empty means unsigned, as before
    // [Fenster]
    bool bPosSpeichern = false; // PosSpeichern: dialogs remember their placement
    // [MSN]
    bool bAlle = true;       // Alle: every called number is monitored
    bool abZeige[10] = {};   // Zeige0..Zeige9: number i is monitored
    char aszNr[10][25] = {}; // Nr0..Nr9: the called numbers, at most 24 characters
    // Name0..Name9: what number i is called where the phone book names it not ("Büro"),
    // Windows-1252 like the tables; may be empty
    std::string asNrName[10];
    // [Leitung]
    std::string sLeitungArt = "CAPI";          // Art: "CAPI" (an ISDN line),
                                               // "Anrufmonitor" (the router's call monitor)
                                               // or "Keine" (no line: a network client)
    std::string sLeitungAdresse = "fritz.box"; // Adresse: the router's name or address
    int32_t iLeitungPort = 1012;               // Port: the call monitor's TCP port
    // [Netzwerk] Weg: how announcements travel: "Broadcast" (UDP in the LAN) or "MQTT" (through
    // the broker of [MQTT], also across routers)
    std::string sNetzwerkWeg = "Broadcast";
    // [MQTT]
    std::string sMqttHost;                   // Host: the broker; empty means MQTT is off
    int32_t iMqttPort = 0;                   // Port: 0 means 1883, or 8883 with TLS
    bool bMqttTls = false;                   // TLS
    std::string sMqttCa;                     // CA: certificate authority file; empty: the system's
    std::string sMqttBenutzer;               // Benutzer
    std::string sMqttKennwort;               // Kennwort
    std::string sMqttPraefix = "callbeacon"; // Praefix: first level of every topic
    std::string sMqttStation;                // Station: second level; empty means the host name
    bool bMqttHomeAssistant = false;         // HomeAssistant: discovery messages for Home Assistant
    // [Aktionen]
    std::string sWebhook; // Webhook: URL each call event is posted to as JSON; empty: off
    std::string sBefehl;  // Befehl: program with arguments run for each call event; empty: off
    // [CardDAV]: an address book on a server, asked after the phone book
    std::string sCardDavAdresse;    // Adresse: the address book's or the server's URL; empty: off
    std::string sCardDavBenutzer;   // Benutzer
    std::string sCardDavKennwort;   // Kennwort: kept here only without a system keyring
    int32_t iCardDavMinuten = 15;   // Minuten: between two syncs; 0 only on request
    std::string sCardDavZertifikat; // Zertifikat: a certificate file trusted for the server
};

extern TSettings g_settings;

// The fields under the names the rest of the program uses.
inline int32_t& iSekunden = g_settings.iSekunden;
inline bool& bHistory = g_settings.bHistory;
inline bool& bAnruferAnzeigen = g_settings.bAnruferAnzeigen;
inline bool& bBekannte = g_settings.bBekannte;
inline bool& bBlinkend = g_settings.bBlinkend;
inline std::string& sOrtsvorwahl = g_settings.sOrtsvorwahl;
inline bool& bClient = g_settings.bClient;
inline bool& bServer = g_settings.bServer;
inline std::string& sBroadcast = g_settings.sBroadcast;
inline std::string& sKennwort = g_settings.sKennwort;
inline bool& bPosSpeichern = g_settings.bPosSpeichern;
inline bool& bAlle = g_settings.bAlle;
inline bool (&abZeige)[10] = g_settings.abZeige;
inline char (&aszNr)[10][25] = g_settings.aszNr;
inline std::string& sAnzeige = g_settings.sAnzeige;
inline std::string (&asNrName)[10] = g_settings.asNrName;
inline std::string& sLeitungArt = g_settings.sLeitungArt;
inline std::string& sLeitungAdresse = g_settings.sLeitungAdresse;
inline int32_t& iLeitungPort = g_settings.iLeitungPort;
inline std::string& sNetzwerkWeg = g_settings.sNetzwerkWeg;
inline std::string& sMqttHost = g_settings.sMqttHost;
inline int32_t& iMqttPort = g_settings.iMqttPort;
inline bool& bMqttTls = g_settings.bMqttTls;
inline std::string& sMqttCa = g_settings.sMqttCa;
inline std::string& sMqttBenutzer = g_settings.sMqttBenutzer;
inline std::string& sMqttKennwort = g_settings.sMqttKennwort;
inline std::string& sMqttPraefix = g_settings.sMqttPraefix;
inline std::string& sMqttStation = g_settings.sMqttStation;
inline bool& bMqttHomeAssistant = g_settings.bMqttHomeAssistant;
inline std::string& sWebhook = g_settings.sWebhook;
inline std::string& sBefehl = g_settings.sBefehl;
// True when announcements travel through the MQTT broker: [Netzwerk] Weg=MQTT (any case) and
// a broker named in [MQTT] Host.
bool AnnounceThroughBroker();
inline std::string& sCardDavAdresse = g_settings.sCardDavAdresse;
inline std::string& sCardDavBenutzer = g_settings.sCardDavBenutzer;
inline std::string& sCardDavKennwort = g_settings.sCardDavKennwort;
inline int32_t& iCardDavMinuten = g_settings.iCardDavMinuten;
inline std::string& sCardDavZertifikat = g_settings.sCardDavZertifikat;

extern bool bSettingsLoaded; // set by LoadSettings; SaveSettings writes only when true

// Reads every key (missing or unparsable values give the defaults).
void LoadSettings();
// Writes every key when the settings were loaded, all in one replacement of the file (the
// file is readable by its owner only while it holds a key). Throws cb::IniWriteError when
// the file cannot be written, leaving it as it was.
void SaveSettings();
// The settings in memory were changed (the settings dialog's OK): announced once, and every
// part that watches takes up what concerns it. WatchSettings returns an id for UnwatchSettings.
int WatchSettings(std::function<void()> watcher);
void UnwatchSettings(int id);
void AnnounceSettingsChanged();
// True when [Leitung] Art names the router's call monitor (any case); anything else is CAPI.
bool UseRouterCallMonitor();
// The kind of line [Leitung] Art names (any case); an unknown value is CAPI, as before.
enum class TLineKind { Capi, RouterCallMonitor, None };
TLineKind LineKind();
inline constexpr const char* kLineKindCapi = "CAPI";
inline constexpr const char* kLineKindRouter = "Anrufmonitor";
inline constexpr const char* kLineKindNone = "Keine";
// How a call is shown: [Anruf] Anzeige, any case; anything else is the pop-up window.
enum class CallDisplay { Window, Notification, Both };
CallDisplay ConfiguredCallDisplay();
// The INI text of each way: "Fenster", "Benachrichtigung", "Beides".
const char* CallDisplayText(CallDisplay display);
// The name the MSN page gives the own number `called` (first row whose Nr is it and whose name
// is not empty); empty when none does.
std::string OwnNumberName(const std::string& called);
// Where the phone book did not name the called own number (`gerufener` is still the number),
// the MSN page's name for it takes its place.
void NameOwnNumber(std::string& gerufener, const std::string& called);
// The passwords among the settings ([Netzwerk] Kennwort, [MQTT] Kennwort).
struct SecretSetting {
    const char* section;
    const char* key;
    std::string* value;
};
std::vector<SecretSetting> SecretSettings();
// A password the Secret Service keeps is written to the file empty. Any other password that is
// set makes SaveSettings restrict the file to its owner (0600) before writing.
void SetKeptInSecretService(const std::string& section, const std::string& key, bool kept);
bool KeptInSecretService(const std::string& section, const std::string& key);
// Restores the defaults in memory and clears bSettingsLoaded (program start; tests).
void ResetSettings();

// The settings file: the executable's path with its extension replaced by ".INI" when that
// folder is writable and the program is not installed, else the user's configuration folder
// (cb::ChooseSettingsFile).
std::string SettingsFilePath();
// Beside the settings file: what a keyed client last took from each sender, so that a
// restart does not take a captured announcement again.
std::string SenderStateFilePath();
// Tests point the settings at a file of their own; empty restores the executable's.
void SetSettingsFilePathOverride(const std::string& path);
