// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileLock.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <thread>

namespace cb {

namespace {

int SetLock(int fd, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0; // to the end of the file, however far it grows
#ifdef F_OFD_SETLK
    int r = fcntl(fd, F_OFD_SETLK, &lock);
    if (r == 0 || errno != EINVAL) return r;
#endif
    // Process-wide locks where locks of the open file are unknown.
    return fcntl(fd, F_SETLK, &lock);
}

} // namespace

bool LockFile(int fd, bool exclusive, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (SetLock(fd, exclusive ? F_WRLCK : F_RDLCK) == 0) return true;
        if (errno == EINTR) continue;
        // No lock service (a network mount without one): working unlocked beats not at all.
        if (errno == ENOLCK || errno == EOPNOTSUPP || errno == EINVAL) return true;
        if (errno != EAGAIN && errno != EACCES) return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            errno = EAGAIN;
            return false;
        }
        std::this_thread::sleep_for(pause);
        if (pause < std::chrono::milliseconds(20)) pause *= 2;
    }
}

void UnlockFile(int fd) {
    SetLock(fd, F_UNLCK);
}

} // namespace cb
