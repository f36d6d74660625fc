// SPDX-License-Identifier: GPL-3.0-or-later
#include "TermSignals.h"

#include "platform/ExitDeadline.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace cb {

namespace {
int g_pipe[2] = {-1, -1};

void OnSignal(int signo) {
    const int savedErrno = errno;
    const char byte = static_cast<char>(signo);
    // Only async-signal-safe work here; the event loop does the rest. The deadline starts
    // now: the event loop may be held up for long by a file operation.
    ArmExitDeadline();
    [[maybe_unused]] ssize_t n = write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}
} // namespace

void CallOnTermSignals(std::function<void()> onSignal) {
    if (g_pipe[0] < 0) {
        if (pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    }
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [onSignal] {
        char buffer[16];
        while (read(g_pipe[0], buffer, sizeof buffer) > 0) {
        }
        onSignal();
    });
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signo : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signo, &action, nullptr);
}

} // namespace cb
