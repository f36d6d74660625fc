// SPDX-License-Identifier: GPL-3.0-or-later
#include "capi/CapiConfig.h"

#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

namespace cb {

namespace {

// The library takes only lines that begin with the keyword, with its case.
bool StartsWith(const std::string& line, size_t start, const char* keyword, std::string& rest) {
    const std::string word(keyword);
    if (line.compare(start, word.size(), word) != 0) return false;
    rest = line.substr(start + word.size());
    return true;
}

void ReadFile(std::ifstream& in, TCapiConfig& config) {
    std::string line, rest;
    while (std::getline(in, line)) {
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) continue;
        if (StartsWith(line, start, "REMOTE", rest)) {
            config.bRemote = true;
        } else if (StartsWith(line, start, "TRACELEVEL", rest)) {
            char* end = nullptr;
            const long level = std::strtol(rest.c_str(), &end, 10);
            if (end != rest.c_str() && level >= 0)
                config.iTraceLevel = level > 255 ? 255 : int(level);
        }
    }
}

} // namespace

TCapiConfig ReadCapiConfig(const TCapiPlaces& places) {
    TCapiConfig config;
    struct stat st {};
    config.bDevice = !places.sDevice.empty() && ::stat(places.sDevice.c_str(), &st) == 0;
    std::string userFile = places.sUserFile;
    if (userFile.empty())
        if (const char* home = std::getenv("HOME"); home && *home)
            userFile = std::string(home) + "/.capi20rc";
    // The system-wide file counts only where the user has none of their own.
    for (const std::string& file : {userFile, places.sSystemFile}) {
        if (file.empty()) continue;
        std::ifstream in(file);
        if (!in) continue;
        config.sFile = file;
        ReadFile(in, config);
        break;
    }
    return config;
}

bool CapiLineConfigured() {
    const TCapiConfig config = ReadCapiConfig();
    return config.bDevice || config.bRemote;
}

} // namespace cb
