// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace cb {

// `path` as it exists: itself when it does, else the first entry (in byte order) of its
// folder whose name equals its last component ignoring ASCII case (ADRESSEN.DBF for
// Adressen.dbf, from DOS or Windows installations); `path` unchanged when neither exists.
std::string ExistingSpelling(const std::string& path);

// True when `path` or another spelling of it (as above) exists, links included.
bool ExistsInAnySpelling(const std::string& path);

// Folder part of `path` with its final '/', or "" for a bare name (the current folder).
std::string FolderOf(const std::string& path);

} // namespace cb
