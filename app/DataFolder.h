// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// Start-up: chooses the data folder (cb::ChooseDataFolder), creates the per-user default when
// missing, makes it the working folder (the tables are opened by bare name) and lets the
// area-code lookup fall back to the installed directory. `named` comes from --daten and must
// exist. False, with a German text for the user in `message`, when the folder is unusable.
bool EnterDataFolder(const std::string& named, const std::string& exePath, std::string& folder,
                     std::string& message);
