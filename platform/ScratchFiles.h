// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace cb {

// Scratch files being written right now (the replacement of a settings file before its
// rename). A forced end removes them, so an end in the middle of a slow save leaves the old
// file and nothing beside it.
void NoteScratchFile(const std::string& path);
void ForgetScratchFile(const std::string& path);
// Removes every noted scratch file. Safe in a signal handler and beside running threads.
void RemoveScratchFiles();

} // namespace cb
