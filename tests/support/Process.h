// SPDX-License-Identifier: GPL-3.0-or-later
// Starts a real program for end-to-end tests: optional pipe to its standard input, its
// standard output collected line by line, environment additions, working folder.
#pragma once

#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace cbtest {

class ChildProcess {
public:
    ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                 const std::string& cwd, const std::string& stdoutFile = std::string()) {
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(in[0], 0);
            if (stdoutFile.empty()) {
                dup2(out[1], 1);
            } else {
                int fd = open(stdoutFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
                if (fd >= 0) dup2(fd, 1);
            }
            if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
            for (const std::string& e : env)
                putenv(strdup(e.c_str()));
            std::vector<char*> args;
            for (const std::string& a : argv)
                args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execvp(args[0], args.data()); // a bare name is looked up in PATH
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        stdin_ = in[1];
        stdout_ = out[0];
        fcntl(stdout_, F_SETFL, O_NONBLOCK);
    }
    ~ChildProcess() {
        if (running()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (stdin_ >= 0) close(stdin_);
        if (stdout_ >= 0) close(stdout_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    bool running() {
        if (pid_ <= 0 || exited_) return false;
        int status = 0;
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            exited_ = true;
            status_ = status;
            return false;
        }
        return true;
    }
    void Send(const std::string& text) {
        [[maybe_unused]] ssize_t n = write(stdin_, text.data(), text.size());
    }
    void CloseStdin() {
        if (stdin_ >= 0) close(stdin_);
        stdin_ = -1;
    }
    // Waits until a line containing `needle` was printed; all lines stay in lines().
    bool WaitForLine(const std::string& needle, int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        size_t checked = 0;
        for (;;) {
            Pump();
            for (; checked < lines_.size(); ++checked)
                if (lines_[checked].find(needle) != std::string::npos) return true;
            if (std::chrono::steady_clock::now() > deadline) return false;
            pollfd p{stdout_, POLLIN, 0};
            poll(&p, 1, 50);
        }
    }
    const std::vector<std::string>& lines() {
        Pump();
        return lines_;
    }
    // Sends a signal and waits for the exit; the exit status, or -1 on time-out.
    int StopWith(int signo, int timeoutMs) {
        if (!running()) return exited_ ? status_ : -1;
        kill(pid_, signo);
        return WaitExit(timeoutMs);
    }
    int WaitExit(int timeoutMs) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (running()) {
            if (std::chrono::steady_clock::now() > deadline) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return status_;
    }

private:
    void Pump() {
        char buffer[4096];
        ssize_t n;
        while (stdout_ >= 0 && (n = read(stdout_, buffer, sizeof buffer)) > 0) {
            partial_.append(buffer, static_cast<size_t>(n));
            size_t nl;
            while ((nl = partial_.find('\n')) != std::string::npos) {
                lines_.push_back(partial_.substr(0, nl));
                partial_.erase(0, nl + 1);
            }
        }
    }

    pid_t pid_ = -1;
    int stdin_ = -1;
    int stdout_ = -1;
    bool exited_ = false;
    int status_ = 0;
    std::string partial_;
    std::vector<std::string> lines_;
};

// Polls a condition until it holds or the time is up.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

// A TCP or UDP port nobody listens on right now.
inline int FreePort(int type = SOCK_STREAM);

} // namespace cbtest

inline int cbtest::FreePort(int type) {
    int fd = socket(AF_INET, type, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    close(fd);
    return ntohs(addr.sin_port);
}
