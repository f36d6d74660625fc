// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace cb {

// Replaces the file at `path` by `content` atomically: a crash or a forced end leaves the old
// file or the new one, never half of it, and no scratch file beside it (the scratch file is
// nameless while it is written where the file system allows, and removed by a forced end
// otherwise). The replacement goes where a symbolic link points and keeps the old file's
// permissions, owner and group (a group-writable file stays so), as an edit in place would;
// with `ownerOnly` only its owner may read it. It has those permissions while still empty,
// so no reader ever finds the content under wider ones. False when the file cannot be
// written or has no write permission at all (which the rename alone would not respect).
bool ReplaceFileContent(const std::string& path, const std::string& content, bool ownerOnly);

} // namespace cb
