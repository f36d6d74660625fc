// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace cb {

// Turns SIGTERM, SIGINT and SIGHUP (a desktop session ending sends them) into a call of
// onSignal on the GUI thread, through a self-pipe watched by the event loop. A deadline
// prepared with PrepareExitDeadline starts in the signal handler itself.
void CallOnTermSignals(std::function<void()> onSignal);

} // namespace cb
