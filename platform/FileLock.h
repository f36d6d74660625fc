// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cb {

// Advisory lock on a whole open file, for programs that share a data folder (also across
// workstations: network file systems map these locks to byte-range locks). The lock belongs
// to the open file, so two objects of one process that open the same file exclude each other
// as well. Waits at most timeoutMs; false with errno EAGAIN when the lock stayed taken. A file
// system that cannot lock at all is not locked, and the call succeeds.
bool LockFile(int fd, bool exclusive, int timeoutMs);
void UnlockFile(int fd);

} // namespace cb
