// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdio>

namespace cb {

// Flushes the stream and makes the system write the file's data to the disk, so that a
// rename over another file afterwards never exposes a half-written file after a power cut.
bool SyncToDisk(std::FILE* file);

} // namespace cb
