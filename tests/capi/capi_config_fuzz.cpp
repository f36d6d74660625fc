// SPDX-License-Identifier: GPL-3.0-or-later
// libcapi20 settings files of any content through the reader that decides about the
// first-start assistant and the library's debug output.
#include "capi/CapiConfig.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string file = "/tmp/cb-fuzz-capi20rc." + std::to_string(::getpid());
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    cb::TCapiPlaces places;
    places.sDevice = "/nonexistent/capi20";
    places.sUserFile = file;
    places.sSystemFile.clear();
    const cb::TCapiConfig config = cb::ReadCapiConfig(places);
    if (config.iTraceLevel < -1 || config.iTraceLevel > 255 || config.sFile != file) std::abort();
    return 0;
}
