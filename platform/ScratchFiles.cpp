// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScratchFiles.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <unistd.h>

namespace cb {

namespace {

// Fixed slots, no allocation: a forced end may come from a signal handler or from another
// thread while a slot is being filled. A few writers at once at most.
struct Slot {
    std::atomic<int> state{0}; // 0 free, 1 being filled, 2 holds a path
    char path[PATH_MAX];
};
Slot g_slots[8];

} // namespace

void NoteScratchFile(const std::string& path) {
    if (path.size() >= PATH_MAX) return;
    for (Slot& slot : g_slots) {
        int expected = 0;
        if (!slot.state.compare_exchange_strong(expected, 1)) continue;
        std::memcpy(slot.path, path.c_str(), path.size() + 1);
        slot.state.store(2);
        return;
    }
}

void ForgetScratchFile(const std::string& path) {
    for (Slot& slot : g_slots) {
        if (slot.state.load() != 2 || path != slot.path) continue;
        slot.state.store(0);
        return;
    }
}

void RemoveScratchFiles() {
    for (Slot& slot : g_slots)
        if (slot.state.load() == 2) unlink(slot.path);
}

} // namespace cb
