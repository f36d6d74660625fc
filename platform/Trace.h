// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace cb {

// With CALLBEACON_TRACE naming a file, appends one line per user-visible event (pop-up shown,
// tray hint, error box) to it. For diagnosis on machines without a screen, and for the
// end-to-end tests that watch the real program from outside.
void Trace(const std::string& line);
// Tests trace to a file of their own; empty returns to CALLBEACON_TRACE.
void SetTraceFile(const std::string& path);

} // namespace cb
