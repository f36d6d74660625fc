// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace cb {

// Where an installed program finds its files, and where a user's settings and tables go.
// Free of Qt so that the settings core can use it.

// $XDG_CONFIG_HOME, else ~/.config (a relative value is ignored, as the XDG rules say).
std::string XdgConfigHome();
// $XDG_DATA_HOME, else ~/.local/share.
std::string XdgDataHome();

// The installation's shared folder of this program (share/callbeacon beside the bin folder
// of exePath); empty when the program does not run from an installation, e.g. from its
// build folder or a portable copy.
std::string InstalledDataFolder(const std::string& exePath);

// The settings file: beside the executable (its path with ".INI") when that folder is
// writable and the program is not installed, so a portable copy keeps its settings with it;
// otherwise $XDG_CONFIG_HOME/callbeacon/callbeacon.INI.
std::string ChooseSettingsFile(const std::string& exePath);

// True when the folder holds a table of this program (current, legacy or the area codes).
bool FolderHoldsTables(const std::string& folder);

// The data folder: `named` (from the command line) when not empty; else the working folder
// when it holds tables; else $XDG_DATA_HOME/callbeacon. Does not create anything.
std::string ChooseDataFolder(const std::string& named, const std::string& workingFolder);

// The installed area-code directory (read when the data folder has none); empty when the
// program does not run from an installation.
std::string InstalledAreaCodeFile(const std::string& exePath);

// Creates the folder and its parents (0700 for new ones, as the XDG folders want); true
// when it exists as a folder afterwards.
bool EnsureFolder(const std::string& folder);

} // namespace cb
