// SPDX-License-Identifier: GPL-3.0-or-later
// A shutdown that hangs after a termination signal still ends in time.
#include "platform/ExitDeadline.h"
#include "platform/TermSignals.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// Runs `body` in a child process; its exit status and how long it took.
std::pair<int, long> RunChild(void (*body)()) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        body();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    const long ms = long(std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::steady_clock::now() - start)
                             .count());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ms};
}

} // namespace

TEST(ExitDeadline, AHungShutdownIsEndedAndAQuickOneIsNot) {
    const auto [hung, hungMs] = RunChild([] {
        cb::EndProcessWithin(200);
        cb::EndProcessWithin(60000); // a second signal keeps the first deadline
        std::this_thread::sleep_for(std::chrono::seconds(30));
    });
    EXPECT_EQ(hung, 1);
    EXPECT_LT(hungMs, 10000);

    const auto [quick, quickMs] = RunChild([] { cb::EndProcessWithin(60000); });
    EXPECT_EQ(quick, 0);
    EXPECT_LT(quickMs, 10000);
}

// A signal that comes while the main thread is held up (a pack of a large call log on a slow
// share) starts the deadline at once, not when the event loop gets to it.
TEST(ExitDeadline, ASignalStartsTheDeadlineWhileTheMainThreadIsBusy) {
    const auto [status, ms] = RunChild([] {
        int argc = 1;
        char name[] = "deadline";
        char* argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        cb::PrepareExitDeadline(300);
        cb::CallOnTermSignals([] { QCoreApplication::quit(); });
        raise(SIGTERM);
        // Busy, never back in the event loop.
        std::this_thread::sleep_for(std::chrono::seconds(30));
    });
    EXPECT_EQ(status, 1);
    EXPECT_LT(ms, 5000);
}
