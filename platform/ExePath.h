// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace cb {

// Full path of the running executable (empty if the system cannot tell), as it was at the
// first call: the program calls it early at start-up.
std::string ExecutablePath();
// The path without the " (deleted)" the system adds once the file was replaced or removed.
std::string WithoutDeletedMark(const std::string& path);
// The path with its extension replaced by ".INI"; a name without extension gets ".INI".
std::string ReplaceExtensionWithIni(const std::string& path);

} // namespace cb
