// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileNames.h"

#include <dirent.h>
#include <sys/stat.h>

namespace cb {

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

bool EqualNoCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
        if (x != y) return false;
    }
    return i == a.size() && !b[i];
}

} // namespace

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExistingSpelling(const std::string& path) {
    if (path.empty() || Exists(path)) return path;
    const std::string folder = FolderOf(path);
    const std::string name = path.substr(folder.size());
    if (name.empty()) return path;
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (!dir) return path;
    std::string best;
    while (const dirent* entry = readdir(dir)) {
        if (EqualNoCase(name, entry->d_name) && (best.empty() || best > entry->d_name))
            best = entry->d_name;
    }
    closedir(dir);
    return best.empty() ? path : folder + best;
}

bool ExistsInAnySpelling(const std::string& path) {
    return Exists(ExistingSpelling(path));
}

} // namespace cb
