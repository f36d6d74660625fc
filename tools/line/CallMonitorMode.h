// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The simulated line as a router's call monitor: the standard-input commands become text
// lines ("08.12.26 14:03:11;RING;0;0301234567;4711;SIP0;") written to every connected
// client. Serves the listening socket until a stop signal; returns the exit code.
int RunCallMonitorLine(int listenFd);
