// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppIdClaim.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string ClaimDirectory() {
    for (const char* base : {"/dev/shm", "/tmp"}) {
        std::string dir = std::string(base) + "/callbeacon-line-ids";
        if (mkdir(dir.c_str(), 01777) == 0) chmod(dir.c_str(), 01777); // shared by all users
        if (access(dir.c_str(), W_OK | X_OK) == 0) return dir;
    }
    return {};
}

} // namespace

AppIdClaims::AppIdClaims(int firstId) : dir_(ClaimDirectory()) {
    next_ = ((firstId - 1) % kMaxId + kMaxId) % kMaxId + 1;
    for (int& fd : fds_)
        fd = -1;
}

AppIdClaims::~AppIdClaims() {
    for (int id = 1; id <= kMaxId; ++id)
        Free(id);
}

int AppIdClaims::Claim() {
    if (dir_.empty()) return 0;
    for (int tries = 0; tries < kMaxId; ++tries) {
        const int id = next_;
        next_ = next_ % kMaxId + 1;
        if (fds_[id] >= 0) continue;
        const std::string path = dir_ + "/" + std::to_string(id);
        const int fd = open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0) continue;
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            fds_[id] = fd;
            return id;
        }
        close(fd);
    }
    return 0;
}

void AppIdClaims::Free(int id) {
    if (id < 1 || id > kMaxId || fds_[id] < 0) return;
    close(fds_[id]); // drops the lock; the file stays for the next line
    fds_[id] = -1;
}
