// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExePath.h"

#include <climits>
#include <unistd.h>

namespace cb {

std::string ExecutablePath() {
    char buf[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return std::string();
    return std::string(buf, static_cast<size_t>(n));
}

std::string ReplaceExtensionWithIni(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1))
        return path.substr(0, dot) + ".INI";
    return path + ".INI";
}

} // namespace cb
