// SPDX-License-Identifier: GPL-3.0-or-later
// Seam for tests: the final rename of Pack, so a test can stop it and look at the files as a
// crash at that moment would leave them.
#pragma once

#include <functional>
#include <string>

namespace cbase_testing {

// Replaces the rename of the scratch table over the table file; returns success. An empty
// function restores the real rename.
using RenameFunction = std::function<bool(const std::string& from, const std::string& to)>;
void SetPackRename(RenameFunction rename);

} // namespace cbase_testing
