// SPDX-License-Identifier: GPL-3.0-or-later
// Runs build/callbeacon-line on a free port for a test: commands go to its standard input,
// its event lines are collected from its standard output.
#pragma once

#include "support/Process.h"

#include <arpa/inet.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <memory>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace cbtest {

// CTest names the build directory; run by hand, the test lives in its tests/ folder.
inline std::string LinePath() {
    if (const char* dir = std::getenv("CB_BUILD_DIR")) return std::string(dir) + "/callbeacon-line";
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (exe.parent_path().parent_path() / "callbeacon-line").string();
}

// A port nobody listens on right now. Another process may take it before we do; callers retry.
inline int PickFreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0)
        port = ntohs(addr.sin_port);
    close(fd);
    return port;
}

// The line as a ChildProcess, with waits on its event lines.
class LineProcess {
public:
    // Starts the line on `port`, or on a free port of its own choosing when 0 (retried when
    // another process wins the port first). port() is 0 when it could not be started.
    explicit LineProcess(int port = 0) {
        for (int attempt = 0; attempt < 10 && port_ == 0; ++attempt) {
            const int candidate = port ? port : PickFreePort();
            if (Start(candidate)) port_ = candidate;
            if (port) break;
        }
    }
    ~LineProcess() { Stop(); }
    LineProcess(const LineProcess&) = delete;
    LineProcess& operator=(const LineProcess&) = delete;

    int port() const { return port_; }

    void Send(const std::string& command) {
        if (process_) process_->Send(command + "\n");
    }
    // Closes the line's standard input (end of the script).
    void EndInput() {
        if (process_) process_->CloseStdin();
    }

    // Waits until `count` lines equal to `line` have been printed.
    bool WaitFor(const std::string& line, int count = 1, int timeoutMs = 10000) {
        return Poll([&] { return Count(line) >= count; }, timeoutMs);
    }
    // Waits for a line starting with `prefix` and returns it ("" on time-out).
    std::string WaitForPrefix(const std::string& prefix, int timeoutMs = 10000) {
        std::string found;
        Poll(
            [&] {
                for (const auto& l : Lines())
                    if (l.rfind(prefix, 0) == 0) return !(found = l).empty();
                return false;
            },
            timeoutMs);
        return found;
    }
    int Count(const std::string& line) {
        int n = 0;
        for (const auto& l : Lines())
            n += l == line;
        return n;
    }
    int CountPrefix(const std::string& prefix) {
        int n = 0;
        for (const auto& l : Lines())
            n += l.rfind(prefix, 0) == 0;
        return n;
    }
    std::vector<std::string> Lines() {
        return process_ ? process_->lines() : std::vector<std::string>{};
    }

    // Ends the line; the exit status as waitpid reports it.
    int Stop() {
        if (!process_) return status_;
        process_->CloseStdin();
        status_ = process_->StopWith(SIGTERM, 10000);
        process_.reset();
        return status_;
    }

private:
    bool Start(int port) {
        const std::string portText = std::to_string(port);
        process_ =
            std::make_unique<ChildProcess>(std::vector<std::string>{LinePath(), "--port", portText},
                                           std::vector<std::string>{}, std::string());
        // Ends early when the line exits (port taken, binary missing).
        Poll([&] { return Count("listening " + portText) > 0 || !process_->running(); }, 10000);
        if (Count("listening " + portText) > 0) return true;
        Stop(); // lost the port to someone else, or the binary is missing
        return false;
    }

    bool Poll(const std::function<bool()>& condition, int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return true;
    }

    int port_ = 0;
    int status_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

} // namespace cbtest
