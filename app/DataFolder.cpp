// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DataFolder.h"

#include "db/AreaCodes.h"
#include "platform/UserPaths.h"

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

bool EnterDataFolder(const std::string& named, const std::string& exePath, std::string& folder,
                     std::string& message) {
    std::error_code ec;
    const fs::path working = fs::current_path(ec);
    if (!named.empty()) {
        folder = fs::absolute(named, ec).lexically_normal().string();
        // A share that is not mounted yet must not turn into an empty local folder.
        if (!fs::is_directory(folder, ec)) {
            message = "Datenordner " + folder + " nicht gefunden";
            return false;
        }
    } else {
        folder = cb::ChooseDataFolder(std::string(), working.string());
        if (!cb::EnsureFolder(folder)) {
            message = "Datenordner " + folder + " kann nicht angelegt werden";
            return false;
        }
    }
    if (chdir(folder.c_str()) != 0) {
        message = "Datenordner " + folder + " kann nicht geöffnet werden";
        return false;
    }
    SetInstalledAreaCodeFile(cb::InstalledAreaCodeFile(exePath));
    return true;
}
