// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cb {

// Prepares the connection to a line for a monitor: quick TCP keep-alive probes, so that a
// peer that vanished without closing (a router that lost power) is noticed within seconds
// rather than hours, and no Nagle delay, so that a short answer written in pieces goes out
// at once instead of waiting for the peer's delayed acknowledgement. False, and nothing
// changed, when the descriptor is not a TCP socket.
bool TuneLineSocket(int fd);

} // namespace cb
