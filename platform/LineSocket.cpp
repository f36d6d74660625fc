// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/LineSocket.h"

#ifndef _WIN32
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace cb {

bool TuneLineSocket(int fd) {
#ifdef _WIN32
    (void)fd;
    return false;
#else
    int type = 0;
    socklen_t length = sizeof type;
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0 || type != SOCK_STREAM)
        return false;
    // Idle 4 s, then a probe every 2 s, given up after 3 unanswered: about 10 s in all.
    const int on = 1, idle = 4, interval = 2, count = 3;
    return ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0 &&
           ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
           ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) == 0 &&
           ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) == 0 &&
           ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count) == 0;
#endif
}

} // namespace cb
