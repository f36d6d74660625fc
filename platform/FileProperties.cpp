// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileProperties.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cb {

std::string ReplacementTarget(const std::string& path) {
    std::string target = path;
    if (char* real = realpath(path.c_str(), nullptr)) {
        target = real;
        std::free(real);
    }
    return target;
}

FileProperties PropertiesOf(const std::string& path) {
    FileProperties props;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return props;
    props.bExisted = true;
    props.iMode = st.st_mode & 07777;
    props.iOwner = st.st_uid;
    props.iGroup = st.st_gid;
    return props;
}

bool KeepProperties(int fd, const FileProperties& old) {
    if (!old.bExisted) return true;
    struct stat now {};
    if (fstat(fd, &now) == 0 && (now.st_uid != old.iOwner || now.st_gid != old.iGroup)) {
        // Only root may give a file away; anyone may pass it to a group they belong to.
        if (fchown(fd, old.iOwner, old.iGroup) != 0) {
            [[maybe_unused]] int ignored = fchown(fd, uid_t(-1), old.iGroup);
        }
    }
    // After the owner: changing it may clear set-id bits.
    return fchmod(fd, old.iMode) == 0;
}

bool KeepProperties(const std::string& path, const FileProperties& old) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) return false;
    const bool kept = KeepProperties(fd, old);
    close(fd);
    return kept;
}

bool IsWriteProtected(const FileProperties& props) {
    return props.bExisted && (props.iMode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

} // namespace cb
