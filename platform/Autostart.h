// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace cb {

// Start at login the way desktops do it: a desktop entry in $XDG_CONFIG_HOME/autostart.
std::string AutostartFilePath();
// True when the entry is there and not switched off with Hidden=true.
bool AutostartEnabled();
// Writes the entry that starts `exePath` (with --daten `dataFolder` when not empty), or
// removes it. False when the file could not be written or removed.
bool SetAutostart(bool on, const std::string& exePath, const std::string& dataFolder);
// The Exec= value for these arguments, quoted and escaped as desktop entries want it.
std::string DesktopExecLine(const std::string& exePath, const std::string& dataFolder);

} // namespace cb
