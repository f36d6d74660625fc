// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace cb {

// Ends the process after `ms` milliseconds unless it has ended by itself: a desktop session
// that sends SIGTERM does not wait, so a shutdown stuck on a file server or a driver must not
// hold the logout. Further calls keep the first deadline. Scratch files of a save in progress
// are removed first.
void EndProcessWithin(int ms);

// Makes the deadline armable from a signal handler: a watcher waits from now on and, once
// armed, ends the process after `ms` milliseconds. The main thread may be stuck in a long
// file operation when the signal comes, so the clock must not wait for the event loop.
void PrepareExitDeadline(int ms);
// Starts the prepared deadline (nothing when none is prepared or one runs already).
// Async-signal-safe.
void ArmExitDeadline();

} // namespace cb
