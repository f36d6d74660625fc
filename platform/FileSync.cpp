// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSync.h"

#include <unistd.h>

namespace cb {

bool SyncToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

} // namespace cb
