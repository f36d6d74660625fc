// SPDX-License-Identifier: GPL-3.0-or-later
#include "Trace.h"

#include <cstdio>
#include <cstdlib>

namespace cb {

void Trace(const std::string& line) {
    static const char* const path = std::getenv("CALLBEACON_TRACE");
    if (!path || !*path) return;
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s\n", line.c_str());
        std::fclose(f);
    }
}

} // namespace cb
