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
    // Idle 2 s, then a probe every second, given up after 2 unanswered: a silent peer is
    // noticed within about 4 s; data unacknowledged for 4 s ends the connection as well.
    const int on = 1, idle = 2, interval = 1, count = 2;
    const unsigned userTimeoutMs = 4000;
    return ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0 &&
           ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
           ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) == 0 &&
           ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) == 0 &&
           ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count) == 0 &&
           ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &userTimeoutMs, sizeof userTimeoutMs) ==
               0;
#endif
}

} // namespace cb
