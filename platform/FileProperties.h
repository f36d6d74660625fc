// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <sys/types.h>

namespace cb {

// A file that is rewritten by writing a new file and renaming it over the old one keeps what
// an edit in place would keep: it goes where a symbolic link points, and it gets the old
// file's permissions and, as far as the system allows, its owner and group (on a shared data
// folder other users must still be able to open it).

// The file a replacement of `path` has to replace: where its links lead, or `path` itself
// when it does not exist yet.
std::string ReplacementTarget(const std::string& path);

struct FileProperties {
    bool bExisted = false;
    mode_t iMode = 0;
    uid_t iOwner = 0;
    gid_t iGroup = 0;
};

FileProperties PropertiesOf(const std::string& path);

// Gives the open replacement the old file's permissions, owner and group. False only when the
// permissions could not be set; an owner or group the process may not give is left as it is.
bool KeepProperties(int fd, const FileProperties& old);
// The same for a replacement that is already closed.
bool KeepProperties(const std::string& path, const FileProperties& old);

// A file without any write permission bit is read-only, also for root: a replacement must
// not overrule that (the rename alone would not be stopped by it).
bool IsWriteProtected(const FileProperties& props);

} // namespace cb
