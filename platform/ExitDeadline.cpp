// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExitDeadline.h"

#include "platform/Trace.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

namespace cb {

void EndProcessWithin(int ms) {
    static std::atomic<bool> bArmed{false};
    if (bArmed.exchange(true)) return;
    std::thread([ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        Trace("forced end");
        std::fputs("CallBeacon: Ende erzwungen, das geordnete Beenden dauerte zu lange\n", stderr);
        _exit(1);
    }).detach();
}

} // namespace cb
