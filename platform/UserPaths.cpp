// SPDX-License-Identifier: GPL-3.0-or-later
#include "UserPaths.h"

#include "platform/ExePath.h"
#include "platform/FileNames.h"

#include <cstdlib>
#include <filesystem>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef CB_DATA_FROM_BIN
#define CB_DATA_FROM_BIN "../share/callbeacon"
#endif

namespace fs = std::filesystem;

namespace cb {

namespace {

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    // Started without HOME (some service managers): the password database knows it.
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::string XdgFolder(const char* variable, const char* fallbackBelowHome) {
    const char* value = std::getenv(variable);
    if (value && value[0] == '/') return value;
    return (fs::path(HomeFolder()) / fallbackBelowHome).string();
}

bool IsFile(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec);
}

} // namespace

std::string XdgConfigHome() {
    return XdgFolder("XDG_CONFIG_HOME", ".config");
}
std::string XdgDataHome() {
    return XdgFolder("XDG_DATA_HOME", ".local/share");
}

std::string InstalledDataFolder(const std::string& exePath) {
    if (exePath.empty()) return std::string();
    const fs::path folder = fs::path(exePath).parent_path() / CB_DATA_FROM_BIN;
    if (!IsFile(folder / "Avon.dbf")) return std::string();
    return folder.lexically_normal().string();
}

std::string ChooseSettingsFile(const std::string& exePath) {
    if (!exePath.empty() && InstalledDataFolder(exePath).empty()) {
        const fs::path folder = fs::path(exePath).parent_path();
        if (access(folder.c_str(), W_OK) == 0) return ReplaceExtensionWithIni(exePath);
    }
    return (fs::path(XdgConfigHome()) / "callbeacon" / "callbeacon.INI").string();
}

bool FolderHoldsTables(const std::string& folder) {
    // Tables from DOS or Windows may be spelt in capitals (ADRESSEN.DBF).
    for (const char* name : {"Adressen.dbf", "Anrufe.dbf", "Avon.dbf", "calls.dbf", "RingScan.dbf"})
        if (IsFile(ExistingSpelling((fs::path(folder) / name).string()))) return true;
    return false;
}

std::string ChooseDataFolder(const std::string& named, const std::string& workingFolder) {
    if (!named.empty()) return named;
    if (FolderHoldsTables(workingFolder)) return workingFolder;
    return (fs::path(XdgDataHome()) / "callbeacon").string();
}

std::string InstalledAreaCodeFile(const std::string& exePath) {
    const std::string folder = InstalledDataFolder(exePath);
    return folder.empty() ? folder : (fs::path(folder) / "Avon.dbf").string();
}

bool EnsureFolder(const std::string& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return true;
    const mode_t old = umask(077);
    fs::create_directories(folder, ec);
    umask(old);
    return fs::is_directory(folder, ec);
}

} // namespace cb
