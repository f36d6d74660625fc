// SPDX-License-Identifier: GPL-3.0-or-later
// callbeacon-line: a simulated ISDN line for libcapi20's "fritzbox" remote-CAPI plug-in.
//
//   callbeacon-line [--port N]          listens on 127.0.0.1:N (default 5031)
//   callbeacon-line --call-monitor [--port N]
//                                       a router's call monitor instead: the same commands
//                                       written as text lines to every client (ids decimal)
//
// Commands on standard input, one per line, carried out in order:
//   ring PLCI CALLED CALLING    CONNECT_IND (PLCI hex; numbers as digits, "-" for none;
//                               a calling number "+41..." goes out as international)
//   hangup PLCI REASON          DISCONNECT_IND (both hex)
//   sleep MS                    wait before the next command (the line keeps serving)
//   refuse-register CODE        the next registration fails with that result (hex); libcapi20
//                               reports every refusal as 0x1008, whatever the code
//   drop                        closes every connection, as a rebooting router does; the
//                               line goes on accepting new ones
// ring and hangup wait until some application has registered and sent LISTEN_REQ, then go
// to every such application. After end of input the line keeps serving until killed.
//
// Events on standard output, one line each, flushed at once:
//   listening PORT, registered APPLID, released APPLID, refused CODE, dropped N,
//   recv LISTEN_REQ controller=1 infomask=0x0 cip=0x1fff03ff, recv ALERT_REQ plci=0x0101,
//   recv DISCONNECT_RESP plci=0x0101, recv CONNECT_RESP plci=.. reject=..,
//   recv UNKNOWN cmd=0x.... length=N, sent CONNECT_IND ..., sent DISCONNECT_IND ...
#include "AppIdClaim.h"
#include "CallMonitorMode.h"
#include "LineCommands.h"
#include "LineProtocol.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using line::Command;
using line::Event;
using line::g_stop;

void OnSignal(int) {
    g_stop = 1;
}

struct Connection {
    int fd = -1;
    enum Role { Fresh, Probe, App, Done } role = Fresh;
    int applId = 0;
    bool listening = false;
    std::string in, out;
    bool closing = false; // drop once `out` is sent
};

class Line {
public:
    Line(int listenFd, int port) : listenFd_(listenFd), ids_(port) {}

    int Run();

private:
    void RunCommands();
    void Accept();
    void ReadFrom(Connection& c);
    void HandleFrame(Connection& c, const uint8_t* p, size_t length);
    void Flush(Connection& c);
    void Drop(Connection& c);
    void Broadcast(const std::string& message);
    bool AnyListener() const;

    int listenFd_;
    AppIdClaims ids_;
    line::CommandReader stdin_{false};
    std::deque<Command> commands_;
    bool sleeping_ = false;
    Clock::time_point wakeAt_;
    uint16_t refuseNext_ = 0;
    uint16_t indNumber_ = 0x8001;
    std::vector<std::unique_ptr<Connection>> conns_;
};

bool Line::AnyListener() const {
    for (const auto& c : conns_)
        if (c->role == Connection::App && c->listening && !c->closing) return true;
    return false;
}

void Line::Broadcast(const std::string& message) {
    for (auto& c : conns_)
        if (c->role == Connection::App && c->listening && !c->closing)
            c->out += line::Frame(message);
    if (++indNumber_ == 0) indNumber_ = 0x8001;
}

void Line::RunCommands() {
    while (!commands_.empty()) {
        Command& cmd = commands_.front();
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
            refuseNext_ = cmd.code;
            break;
        case Command::DropAll: {
            int dropped = 0;
            for (auto& c : conns_)
                if (c->fd >= 0) {
                    Drop(*c);
                    ++dropped;
                }
            Event("dropped %d", dropped);
            break;
        }
        case Command::Ring:
            if (!AnyListener()) return;
            Broadcast(line::ConnectInd(indNumber_, cmd.plci, cmd.called, cmd.calling));
            Event("sent CONNECT_IND plci=0x%04x called=%s calling=%s", cmd.plci,
                  cmd.called.empty() ? "-" : cmd.called.c_str(),
                  cmd.calling.empty() ? "-" : cmd.calling.c_str());
            break;
        case Command::Hangup:
            if (!AnyListener()) return;
            Broadcast(line::DisconnectInd(indNumber_, cmd.plci, cmd.reason));
            Event("sent DISCONNECT_IND plci=0x%04x reason=0x%x", cmd.plci, cmd.reason);
            break;
        }
        commands_.pop_front();
    }
}

void Line::Accept() {
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    auto c = std::make_unique<Connection>();
    c->fd = fd;
    conns_.push_back(std::move(c));
}

void Line::Drop(Connection& c) {
    if (c.role == Connection::App) {
        Event("released %d", c.applId);
        ids_.Free(c.applId);
    }
    c.role = Connection::Done;
    if (c.fd >= 0) close(c.fd);
    c.fd = -1;
}

void Line::HandleFrame(Connection& c, const uint8_t* p, size_t length) {
    switch (line::ClassifyManagement(p, length)) {
    case line::Management::Register: {
        if (c.role != Connection::Fresh) break;
        if (refuseNext_) {
            c.out += line::RegisterReply(p, length, 0, refuseNext_);
            Event("refused 0x%x", refuseNext_);
            refuseNext_ = 0;
            c.role = Connection::Probe; // nothing more is expected on it
            return;
        }
        const int id = ids_.Claim();
        if (id == 0) {
            std::fprintf(stderr, "callbeacon-line: no free application id\n");
            c.out += line::RegisterReply(p, length, 0, 0x1001);
            c.role = Connection::Probe;
            return;
        }
        c.out += line::RegisterReply(p, length, static_cast<uint16_t>(id), 0);
        c.role = Connection::App;
        c.applId = id;
        Event("registered %d", id);
        return;
    }
    case line::Management::Release:
        if (c.role != Connection::App) break;
        Event("released %d", c.applId);
        ids_.Free(c.applId);
        c.role = Connection::Probe;
        c.listening = false;
        return;
    case line::Management::GetProfile:
        if (c.role == Connection::Fresh) c.role = Connection::Probe;
        c.out += line::ProfileReply(p, length);
        return;
    case line::Management::Other:
        break;
    case line::Management::None:
        if (c.role != Connection::App) break;
        {
            std::string reply;
            Event("%s", line::Describe(p, length, reply).c_str());
            if (line::Get16(p + 4) == 0x8005 && !reply.empty()) c.listening = true;
            if (!reply.empty()) c.out += line::Frame(reply);
        }
        return;
    }
    std::fprintf(stderr, "callbeacon-line: unexpected frame (%zu bytes) ignored\n", length);
}

void Line::ReadFrom(Connection& c) {
    char buf[8192];
    const ssize_t n = recv(c.fd, buf, sizeof buf, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) return;
    if (n <= 0) {
        Drop(c);
        return;
    }
    c.in.append(buf, static_cast<size_t>(n));
    size_t pos = 0;
    while (c.in.size() - pos >= line::kFrameHeader) {
        const auto* h = reinterpret_cast<const uint8_t*>(c.in.data() + pos);
        const size_t length = line::Get16(h + 1);
        if (length < 8 || length > line::kMaxFramePayload) {
            // Framing is lost for good; a real device would drop the client too.
            std::fprintf(stderr, "callbeacon-line: garbled frame (length %zu), connection closed\n",
                         length);
            Drop(c);
            return;
        }
        if (c.in.size() - pos < line::kFrameHeader + length) break;
        HandleFrame(c, h + line::kFrameHeader, length);
        pos += line::kFrameHeader + length;
        if (c.role == Connection::Done) return;
    }
    c.in.erase(0, pos);
}

void Line::Flush(Connection& c) {
    while (!c.out.empty() && c.fd >= 0) {
        const ssize_t n = send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) Drop(c);
            return;
        }
        c.out.erase(0, static_cast<size_t>(n));
    }
    // A client that never reads must not make the line hoard memory.
    if (c.out.size() > (1u << 20)) Drop(c);
}

int Line::Run() {
    while (!g_stop) {
        RunCommands();
        for (auto& c : conns_)
            Flush(*c);
        std::erase_if(conns_, [](const auto& c) { return c->role == Connection::Done; });

        std::vector<pollfd> fds;
        fds.push_back({listenFd_, POLLIN, 0});
        fds.push_back({stdin_.Open() ? STDIN_FILENO : -1, POLLIN, 0});
        for (auto& c : conns_)
            fds.push_back({c->fd, static_cast<short>(POLLIN | (c->out.empty() ? 0 : POLLOUT)), 0});

        int timeout = -1;
        if (sleeping_) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(wakeAt_ - Clock::now());
            timeout = static_cast<int>(std::max<long long>(0, left.count() + 1));
        }
        // Stop signals are blocked everywhere but here, so none can slip in between the
        // check of g_stop and the wait.
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
        for (size_t i = 0; i < conns_.size(); ++i) {
            Connection& c = *conns_[i];
            const short ev = fds[i + 2].revents;
            if (c.fd < 0 || !ev) continue;
            if (ev & POLLOUT) Flush(c);
            if (c.fd >= 0 && (ev & (POLLIN | POLLHUP | POLLERR))) ReadFrom(c);
        }
        if (fds[0].revents & POLLIN) Accept(); // after the loop: it grows conns_
    }
    return 0;
}

void Usage(FILE* to) {
    std::fputs(
        "usage: callbeacon-line [--port N]     listens on 127.0.0.1:N (default 5031)\n"
        "       callbeacon-line --call-monitor [--port N]\n"
        "                                      a router's call monitor on 127.0.0.1:N: ring "
        "writes\n"
        "                                      RING, hangup ID 349A writes CONNECT and "
        "DISCONNECT,\n"
        "                                      any other reason only DISCONNECT (ids decimal)\n"
        "commands on standard input, one per line:\n"
        "  ring PLCI CALLED CALLING   incoming call (PLCI hex, numbers as digits, - for none)\n"
        "                             (CALLING +41... : type of number international)\n"
        "  hangup PLCI REASON         disconnect (hex; 349A: answered elsewhere)\n"
        "  sleep MS                   wait before the next command\n"
        "  refuse-register CODE       refuse the next registration (hex; libcapi20 turns\n"
        "                             every refusal into 0x1008, so the code never arrives)\n"
        "  drop                       close every connection, as a rebooting router does\n"
        "ring and hangup wait for a registered application that sent LISTEN_REQ.\n"
        "~/.capi20rc for libcapi20 (with the final newline):\n"
        "  TRACELEVEL 0\n"
        "  REMOTE fritzbox 127.0.0.1 N\n",
        to);
}

} // namespace

int main(int argc, char** argv) {
    long port = 5031;
    bool callMonitor = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        if (arg == "--call-monitor") {
            callMonitor = true;
            continue;
        }
        if (arg == "--port" && i + 1 < argc)
            value = argv[++i];
        else if (arg.rfind("--port=", 0) == 0)
            value = arg.substr(7);
        else if (arg == "--help" || arg == "-h") {
            Usage(stdout);
            return 0;
        } else {
            Usage(stderr);
            return 2;
        }
        char* end = nullptr;
        port = std::strtol(value.c_str(), &end, 10);
        // libcapi20 keeps the port as a signed 16-bit value: 65535 reads as "no port".
        if (value.empty() || *end || port < 1 || port > 65534) {
            std::fprintf(stderr, "callbeacon-line: bad port %s (1..65534)\n", value.c_str());
            return 2;
        }
    }

    std::signal(SIGPIPE, SIG_IGN);
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);

    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(fd, 16) != 0) {
        std::fprintf(stderr, "callbeacon-line: cannot listen on 127.0.0.1:%ld: %s\n", port,
                     std::strerror(errno));
        return 1;
    }

    Event("listening %ld", port);
    if (callMonitor) {
        const int rc = RunCallMonitorLine(fd);
        close(fd);
        return rc;
    }
    Line line(fd, static_cast<int>(port));
    const int rc = line.Run();
    close(fd);
    return rc;
}
