// SPDX-License-Identifier: GPL-3.0-or-later
#include "Autostart.h"

#include "platform/UserPaths.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace cb {

namespace {

// One argument of an Exec line: quoted when it holds anything beyond plain path characters,
// with ", `, $ and \ escaped inside the quotes; % is doubled because Exec expands field codes.
std::string ExecArgument(const std::string& argument) {
    bool plain = !argument.empty();
    for (char c : argument) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == '/' || c == '.' || c == '_' || c == '-' ||
                          c == '+' || c == ',' || c == ':' || c == '=' || c == '@';
        if (!safe) plain = false;
    }
    std::string result;
    if (!plain) result += '"';
    for (char c : argument) {
        if (!plain && (c == '"' || c == '`' || c == '$' || c == '\\')) result += '\\';
        if (c == '%') result += '%';
        result += c;
    }
    if (!plain) result += '"';
    return result;
}

} // namespace

std::string AutostartFilePath() {
    return (fs::path(XdgConfigHome()) / "autostart" / "callbeacon.desktop").string();
}

bool AutostartEnabled() {
    std::ifstream in(AutostartFilePath());
    if (!in) return false;
    std::string line;
    while (std::getline(in, line))
        if (line == "Hidden=true") return false;
    return true;
}

std::string DesktopExecLine(const std::string& exePath, const std::string& dataFolder) {
    std::string line = ExecArgument(exePath);
    if (!dataFolder.empty()) line += " --daten " + ExecArgument(dataFolder);
    // A string value of a desktop entry escapes the backslash once more.
    std::string escaped;
    for (char c : line) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

bool SetAutostart(bool on, const std::string& exePath, const std::string& dataFolder) {
    const fs::path path = AutostartFilePath();
    std::error_code ec;
    if (!on) {
        fs::remove(path, ec);
        return !ec;
    }
    if (!EnsureFolder(path.parent_path().string())) return false;
    std::ostringstream text;
    text << "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=CallBeacon\n"
            "Comment=Anrufmonitor für IP- und ISDN-Anschlüsse\n"
         << "Exec=" << DesktopExecLine(exePath, dataFolder) << "\n"
         << "Icon=io.github.callbeacon.CallBeacon\n" // the installed icon's name
            "Terminal=false\n"
            "X-GNOME-Autostart-enabled=true\n";
    // Written beside and renamed, so a full disk never leaves half an entry.
    const fs::path temporary = path.string() + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << text.str();
        out.flush();
        if (!out) {
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        return false;
    }
    return true;
}

} // namespace cb
