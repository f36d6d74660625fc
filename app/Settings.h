// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

// Process-wide settings, one value per key of the settings file. Loaded once at start-up,
// changed in memory only by the settings dialog, written once at shutdown.

// [Anruf]
extern int32_t iSekunden;       // Sekunden: seconds a live-call pop-up stays open (10)
extern bool bHistory;           // History: calls go to the call log (true)
extern bool bAnruferAnzeigen;   // AnruferAnzeigen: show the caller pop-up (true)
extern bool bBekannte;          // Bekannte: pop-up only for callers in the phone book (false)
extern bool bBlinkend;          // Blinkend: tray icon blinks instead of turning red (false)
// [Netzwerk]
extern bool bClient;            // Client: receive calls from a network server (false)
extern bool bServer;            // Server: announce calls to network clients (false)
extern std::string sBroadcast;  // Broadcast: addresses the server sends to, comma-separated;
                                // empty means every interface that can broadcast ("")
extern std::string sKennwort;   // Kennwort: shared key that signs and checks announcements;
                                // empty means unsigned announcements, as before ("")
// [Fenster]
extern bool bPosSpeichern;      // PosSpeichern: dialogs remember their placement (false)
// [MSN]
extern bool bAlle;              // Alle: every called number is monitored (true)
extern bool abZeige[10];        // Zeige0..Zeige9: number i is monitored (false)
extern char aszNr[10][25];      // Nr0..Nr9: the called numbers, at most 24 characters ("")

// [Leitung]
extern std::string sLeitungArt;     // Art: "CAPI" (an ISDN line) or "Anrufmonitor" (the router's
                                    // call monitor over TCP) ("CAPI")
extern std::string sLeitungAdresse; // Adresse: the router's host name or address ("fritz.box")
extern int32_t iLeitungPort;        // Port: the call monitor's TCP port (1012)

extern bool bSettingsLoaded;    // set by LoadSettings; SaveSettings writes only when true

// Reads every key (missing or unparsable values give the defaults). Always true.
bool LoadSettings();
// Writes every key in order when the settings were loaded. Throws cb::IniWriteError when the
// file cannot be written; keys after the failing one are not written. Otherwise true.
bool SaveSettings();
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
