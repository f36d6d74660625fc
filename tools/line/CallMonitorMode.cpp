// SPDX-License-Identifier: GPL-3.0-or-later
#include "CallMonitorMode.h"

#include "LineCommands.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <deque>
#include <map>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using line::Command;
using line::Event;

constexpr uint16_t kAnsweredElsewhere = 0x349A;

struct Client {
    int fd = -1;
    std::string out;
};

struct OpenCall {
    std::string calling;
    Clock::time_point rang;
};

std::string Stamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%d.%m.%y %H:%M:%S", &local);
    return text;
}

class MonitorLine {
public:
    explicit MonitorLine(int listenFd) : listenFd_(listenFd) {}
    int Run();

private:
    void RunCommands();
    void Write(const std::string& fields);
    void Accept();
    void Close(Client& c);
    void Flush(Client& c);
    bool AnyClient() const {
        return std::any_of(clients_.begin(), clients_.end(),
                           [](const Client& c) { return c.fd >= 0; });
    }

    int listenFd_;
    line::CommandReader stdin_{true};
    std::deque<Command> commands_;
    bool sleeping_ = false;
    Clock::time_point wakeAt_;
    std::vector<Client> clients_;
    std::map<uint32_t, OpenCall> calls_;
};

void MonitorLine::Write(const std::string& fields) {
    const std::string text = Stamp() + ";" + fields + "\n";
    for (Client& c : clients_)
        if (c.fd >= 0) c.out += text;
}

void MonitorLine::RunCommands() {
    while (!commands_.empty()) {
        const Command& cmd = commands_.front();
        switch (cmd.kind) {
        case Command::Sleep:
            if (!sleeping_) {
                sleeping_ = true;
                wakeAt_ = Clock::now() + std::chrono::milliseconds(cmd.ms);
            }
            if (Clock::now() < wakeAt_) return;
            sleeping_ = false;
            break;
        case Command::Refuse:
            std::fprintf(stderr,
                         "callbeacon-line: refuse-register means nothing to a call monitor\n");
            break;
        case Command::DropAll: {
            int dropped = 0;
            for (Client& c : clients_)
                if (c.fd >= 0) {
                    Flush(c); // what was written before the drop still goes out, as far as it can
                    Close(c);
                    ++dropped;
                }
            Event("dropped %d", dropped);
            break;
        }
        case Command::Ring: {
            if (!AnyClient()) return;
            const std::string id = std::to_string(cmd.plci);
            Write("RING;" + id + ";" + cmd.calling + ";" + cmd.called + ";SIP0;");
            calls_[cmd.plci] = OpenCall{cmd.calling, Clock::now()};
            Event("sent RING id=%s called=%s calling=%s", id.c_str(),
                  cmd.called.empty() ? "-" : cmd.called.c_str(),
                  cmd.calling.empty() ? "-" : cmd.calling.c_str());
            break;
        }
        case Command::Hangup: {
            if (!AnyClient()) return;
            const std::string id = std::to_string(cmd.plci);
            const auto call = calls_.find(cmd.plci);
            const std::string calling = call != calls_.end() ? call->second.calling : std::string();
            long seconds = 0;
            if (cmd.reason == kAnsweredElsewhere) {
                // Extension 1 took the call; it lasted from the ring until now.
                Write("CONNECT;" + id + ";1;" + calling + ";");
                Event("sent CONNECT id=%s", id.c_str());
                if (call != calls_.end())
                    seconds = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(
                                                    Clock::now() - call->second.rang)
                                                    .count());
            }
            Write("DISCONNECT;" + id + ";" + std::to_string(seconds) + ";");
            Event("sent DISCONNECT id=%s", id.c_str());
            if (call != calls_.end()) calls_.erase(call);
            break;
        }
        }
        commands_.pop_front();
    }
}

void MonitorLine::Accept() {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    clients_.push_back(Client{fd, {}});
    Event("connected %zu",
          static_cast<size_t>(std::count_if(clients_.begin(), clients_.end(),
                                            [](const Client& c) { return c.fd >= 0; })));
}

void MonitorLine::Close(Client& c) {
    if (c.fd >= 0) close(c.fd);
    c.fd = -1;
    c.out.clear();
}

void MonitorLine::Flush(Client& c) {
    while (!c.out.empty() && c.fd >= 0) {
        const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) Close(c);
            return;
        }
        c.out.erase(0, static_cast<size_t>(n));
    }
    if (c.out.size() > (1u << 20)) Close(c); // a client that never reads
}

int MonitorLine::Run() {
    while (!line::g_stop) {
        RunCommands();
        for (Client& c : clients_)
            Flush(c);
        std::erase_if(clients_, [](const Client& c) { return c.fd < 0; });

        std::vector<pollfd> fds;
        fds.push_back({listenFd_, POLLIN, 0});
        fds.push_back({stdin_.Open() ? STDIN_FILENO : -1, POLLIN, 0});
        for (const Client& c : clients_)
            fds.push_back({c.fd, static_cast<short>(POLLIN | (c.out.empty() ? 0 : POLLOUT)), 0});
        int timeout = -1;
        if (sleeping_) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(wakeAt_ - Clock::now());
            timeout = static_cast<int>(std::max<long long>(0, left.count() + 1));
        }
        sigset_t unblocked;
        sigemptyset(&unblocked);
        timespec ts{timeout / 1000, (timeout % 1000) * 1000000L};
        const int n = ppoll(fds.data(), fds.size(), timeout < 0 ? nullptr : &ts, &unblocked);
        if (n < 0) {
            if (errno == EINTR) continue;
            std::perror("callbeacon-line: ppoll");
            return 1;
        }
        if (fds[1].revents) stdin_.Read(commands_);
        for (size_t i = 0; i < clients_.size(); ++i) {
            Client& c = clients_[i];
            const short ev = fds[i + 2].revents;
            if (c.fd < 0 || !ev) continue;
            if (ev & POLLOUT) Flush(c);
            if (c.fd >= 0 && (ev & (POLLIN | POLLHUP | POLLERR))) {
                // A call monitor reads nothing; what a client writes is thrown away.
                char buf[4096];
                const ssize_t got = recv(c.fd, buf, sizeof buf, 0);
                if (got == 0 ||
                    (got < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)) {
                    Close(c);
                    Event("closed");
                }
            }
        }
        if (fds[0].revents & POLLIN) Accept();
    }
    return 0;
}

} // namespace

int RunCallMonitorLine(int listenFd) {
    MonitorLine line(listenFd);
    return line.Run();
}
