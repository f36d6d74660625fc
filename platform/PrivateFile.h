// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace cb {

// Makes the file readable and writable by its owner only (0600), creating it empty when it
// is missing, so that what is written into it next (a password) never was readable by others.
// False when that failed; a no-op where files have no such modes.
bool MakeOwnerOnly(const std::string& path);

} // namespace cb
