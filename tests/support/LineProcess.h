// SPDX-License-Identifier: GPL-3.0-or-later
// Runs build/callbeacon-line on a free port for a test: commands go to its standard input,
// its event lines are collected from its standard output.
#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
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
        const std::string text = command + "\n";
        if (in_ >= 0 && write(in_, text.data(), text.size()) < 0) std::perror("line stdin");
    }
    // Closes the line's standard input (end of the script).
    void EndInput() {
        if (in_ >= 0) close(in_);
        in_ = -1;
    }

    // Waits until `count` lines equal to `line` have been printed.
    bool WaitFor(const std::string& line, int count = 1, int timeoutMs = 10000) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return CountLocked(line) >= count; });
    }
    // Waits for a line starting with `prefix` and returns it ("" on time-out).
    std::string WaitForPrefix(const std::string& prefix, int timeoutMs = 10000) {
        std::unique_lock lock(mutex_);
        std::string found;
        cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            for (const auto& l : lines_)
                if (l.rfind(prefix, 0) == 0) return !(found = l).empty();
            return false;
        });
        return found;
    }
    int Count(const std::string& line) {
        std::lock_guard lock(mutex_);
        return CountLocked(line);
    }
    int CountPrefix(const std::string& prefix) {
        std::lock_guard lock(mutex_);
        int n = 0;
        for (const auto& l : lines_)
            n += l.rfind(prefix, 0) == 0;
        return n;
    }
    std::vector<std::string> Lines() {
        std::lock_guard lock(mutex_);
        return lines_;
    }

    // Ends the line; the exit status as waitpid reports it.
    int Stop() {
        if (pid_ <= 0) return status_;
        EndInput();
        kill(pid_, SIGTERM);
        waitpid(pid_, &status_, 0);
        pid_ = -1;
        if (reader_.joinable()) reader_.join();
        return status_;
    }

private:
    bool Start(int port) {
        int toChild[2], fromChild[2];
        if (pipe2(toChild, O_CLOEXEC) != 0 || pipe2(fromChild, O_CLOEXEC) != 0) return false;
        const std::string path = LinePath();
        const std::string portText = std::to_string(port);
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(toChild[0], STDIN_FILENO);
            dup2(fromChild[1], STDOUT_FILENO);
            execl(path.c_str(), path.c_str(), "--port", portText.c_str(), nullptr);
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        pid_ = pid;
        in_ = toChild[1];
        {
            std::lock_guard lock(mutex_);
            lines_.clear();
            ended_ = false;
        }
        reader_ = std::thread([this, fd = fromChild[0]] { ReadLines(fd); });
        {
            // Ends early when the line exits (port taken, binary missing).
            std::unique_lock lock(mutex_);
            cv_.wait_for(lock, std::chrono::seconds(10),
                         [&] { return ended_ || CountLocked("listening " + portText) > 0; });
            if (CountLocked("listening " + portText) > 0) return true;
        }
        Stop(); // lost the port to someone else, or the binary is missing
        return false;
    }

    void ReadLines(int fd) {
        std::string pending;
        char buf[4096];
        ssize_t n;
        while ((n = read(fd, buf, sizeof buf)) > 0) {
            pending.append(buf, static_cast<size_t>(n));
            size_t pos;
            std::lock_guard lock(mutex_);
            while ((pos = pending.find('\n')) != std::string::npos) {
                lines_.push_back(pending.substr(0, pos));
                pending.erase(0, pos + 1);
            }
            cv_.notify_all();
        }
        close(fd);
        std::lock_guard lock(mutex_);
        ended_ = true;
        cv_.notify_all();
    }

    int CountLocked(const std::string& line) const {
        int n = 0;
        for (const auto& l : lines_)
            n += l == line;
        return n;
    }

    int port_ = 0;
    pid_t pid_ = -1;
    int in_ = -1;
    int status_ = 0;
    std::thread reader_;
    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> lines_;
    bool ended_ = false;
};

} // namespace cbtest
