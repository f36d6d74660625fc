// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExePath.h"

#include <climits>
#include <unistd.h>

namespace cb {

namespace {

std::string ReadExecutablePath() {
    char buf[PATH_MAX + 1];
    ssize_t n = readlink("/proc/self/exe", buf, PATH_MAX);
    if (n <= 0) return std::string();
    return WithoutDeletedMark(std::string(buf, static_cast<size_t>(n)));
}

} // namespace

std::string WithoutDeletedMark(const std::string& path) {
    static const std::string kMark = " (deleted)";
    if (path.size() <= kMark.size() ||
        path.compare(path.size() - kMark.size(), kMark.size(), kMark))
        return path;
    // A program whose name really ends so still exists under it.
    if (access(path.c_str(), F_OK) == 0) return path;
    return path.substr(0, path.size() - kMark.size());
}

std::string ExecutablePath() {
    // Read once: a rebuild or a package update replaces the file while the program runs, and
    // the system then names it "... (deleted)".
    static const std::string path = ReadExecutablePath();
    return path;
}

std::string ReplaceExtensionWithIni(const std::string& path) {
    size_t slash = path.find_last_of('/');
    size_t dot = path.find_last_of('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash + 1))
        return path.substr(0, dot) + ".INI";
    return path + ".INI";
}

} // namespace cb
