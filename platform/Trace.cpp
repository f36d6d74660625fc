// SPDX-License-Identifier: GPL-3.0-or-later
#include "Trace.h"

#include <cstdio>
#include <cstdlib>

namespace cb {

namespace {
std::string& TraceOverride() {
    static std::string path;
    return path;
}
} // namespace

void SetTraceFile(const std::string& path) {
    TraceOverride() = path;
}

void Trace(const std::string& line) {
    static const char* const environment = std::getenv("CALLBEACON_TRACE");
    const char* path = TraceOverride().empty() ? environment : TraceOverride().c_str();
    if (!path || !*path) return;
    // One event, one line: control characters from a table or the network become blanks.
    std::string clean = line;
    for (char& c : clean)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", clean.c_str());
        std::fclose(f);
    }
}

} // namespace cb
