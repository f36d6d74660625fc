// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cb {

// Ends the process after `ms` milliseconds unless it has ended by itself: a desktop session
// that sends SIGTERM does not wait, so a shutdown stuck on a file server or a driver must not
// hold the logout. Further calls keep the first deadline.
void EndProcessWithin(int ms);

} // namespace cb
