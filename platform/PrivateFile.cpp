// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/PrivateFile.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cb {

bool MakeOwnerOnly(const std::string& path) {
#ifdef _WIN32
    (void)path;
    return true;
#else
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool ok = fchmod(fd, 0600) == 0;
    close(fd);
    return ok;
#endif
}

} // namespace cb
