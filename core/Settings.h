// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <string>

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
    // [Leitung]
    std::string sLeitungArt = "CAPI";          // Art: "CAPI" (an ISDN line) or
                                               // "Anrufmonitor" (the router's call monitor)
    std::string sLeitungAdresse = "fritz.box"; // Adresse: the router's name or address
    int32_t iLeitungPort = 1012;               // Port: the call monitor's TCP port
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
inline std::string& sLeitungArt = g_settings.sLeitungArt;
inline std::string& sLeitungAdresse = g_settings.sLeitungAdresse;
inline int32_t& iLeitungPort = g_settings.iLeitungPort;
inline std::string& sCardDavAdresse = g_settings.sCardDavAdresse;
inline std::string& sCardDavBenutzer = g_settings.sCardDavBenutzer;
inline std::string& sCardDavKennwort = g_settings.sCardDavKennwort;
inline int32_t& iCardDavMinuten = g_settings.iCardDavMinuten;
inline std::string& sCardDavZertifikat = g_settings.sCardDavZertifikat;

extern bool bSettingsLoaded; // set by LoadSettings; SaveSettings writes only when true

// Reads every key (missing or unparsable values give the defaults).
void LoadSettings();
// Writes every key in order when the settings were loaded. Throws cb::IniWriteError when the
// file cannot be written; keys after the failing one are not written.
void SaveSettings();
// The settings in memory were changed (the settings dialog's OK): announced once, and every
// part that watches takes up what concerns it. WatchSettings returns an id for UnwatchSettings.
int WatchSettings(std::function<void()> watcher);
void UnwatchSettings(int id);
void AnnounceSettingsChanged();
// True when [Leitung] Art names the router's call monitor (any case); anything else is CAPI.
bool UseRouterCallMonitor();
// Restores the defaults in memory and clears bSettingsLoaded (program start; tests).
void ResetSettings();

// The settings file: the executable's path with its extension replaced by ".INI" when that
// folder is writable and the program is not installed, else the user's configuration folder
// (cb::ChooseSettingsFile).
std::string SettingsFilePath();
// Tests point the settings at a file of their own; empty restores the executable's.
void SetSettingsFilePathOverride(const std::string& path);
