// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace cb {

// Full path of the running executable (empty if the system cannot tell).
std::string ExecutablePath();
// The path with its extension replaced by ".INI"; a name without extension gets ".INI".
std::string ReplaceExtensionWithIni(const std::string& path);

} // namespace cb
