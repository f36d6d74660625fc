// SPDX-License-Identifier: GPL-3.0-or-later
#include "Trace.h"

#include <cstdio>
#include <cstdlib>

namespace cb {

void Trace(const std::string& line) {
    static const char* const path = std::getenv("CALLBEACON_TRACE");
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
