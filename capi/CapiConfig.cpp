// SPDX-License-Identifier: GPL-3.0-or-later
#include "capi/CapiConfig.h"

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace cb {

namespace {

enum class ConfigFile { Missing, WithoutRemote, WithRemote };

// The library takes only lines that begin with the keyword, with its case.
ConfigFile ReadConfig(const std::string& path) {
    std::ifstream in(path);
    if (!in) return ConfigFile::Missing;
    std::string line;
    while (std::getline(in, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start != std::string::npos && line.compare(start, 6, "REMOTE") == 0)
            return ConfigFile::WithRemote;
    }
    return ConfigFile::WithoutRemote;
}

} // namespace

bool CapiLineConfigured() {
    struct stat st {};
    if (::stat("/dev/capi20", &st) == 0) return true;
    // The system-wide file counts only where the user has none of their own.
    if (const char* home = std::getenv("HOME"); home && *home) {
        const ConfigFile own = ReadConfig(std::string(home) + "/.capi20rc");
        if (own != ConfigFile::Missing) return own == ConfigFile::WithRemote;
    }
    return ReadConfig("/etc/capi20.conf") == ConfigFile::WithRemote;
}

} // namespace cb
