// SPDX-License-Identifier: GPL-3.0-or-later
#include "ExitDeadline.h"

#include "platform/ScratchFiles.h"
#include "platform/Trace.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <semaphore.h>
#include <thread>
#include <unistd.h>

namespace cb {

namespace {

std::atomic<bool> g_armed{false};
std::atomic<bool> g_prepared{false};
sem_t g_arm;

[[noreturn]] void EndNow() {
    RemoveScratchFiles();
    Trace("forced end");
    std::fputs("CallBeacon: Ende erzwungen, das geordnete Beenden dauerte zu lange\n", stderr);
    _exit(1);
}

} // namespace

void EndProcessWithin(int ms) {
    if (g_armed.exchange(true)) return;
    std::thread([ms] {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        EndNow();
    }).detach();
}

void PrepareExitDeadline(int ms) {
    if (g_prepared.load() || sem_init(&g_arm, 0, 0) != 0) return;
    std::thread([ms] {
        while (sem_wait(&g_arm) != 0 && errno == EINTR) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        EndNow();
    }).detach();
    g_prepared.store(true);
}

void ArmExitDeadline() {
    // Lock-free atomics and sem_post only: this runs in a signal handler.
    if (!g_prepared.load() || g_armed.exchange(true)) return;
    sem_post(&g_arm);
}

} // namespace cb
