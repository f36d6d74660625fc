// SPDX-License-Identifier: GPL-3.0-or-later
// callbeacon-line: a simulated ISDN line for libcapi20's "fritzbox" remote-CAPI plug-in.
//
//   callbeacon-line [--port N]          listens on 127.0.0.1:N (default 5031)
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
#include "LineProtocol.h"

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int) {
    g_stop = 1;
}

void Event(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
void Event(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::vprintf(fmt, ap);
    va_end(ap);
    std::putchar('\n');
    std::fflush(stdout);
}

struct Command {
    enum Kind { Ring, Hangup, Sleep, Refuse, DropAll } kind;
    uint32_t plci = 0;
    std::string called, calling;
    uint16_t reason = 0;
    long ms = 0;
    uint16_t code = 0;
};

bool ParseHex(const std::string& s, unsigned long max, unsigned long& out) {
    if (s.empty() || s.size() > 10) return false;
    char* end = nullptr;
    errno = 0;
    out = std::strtoul(s.c_str(), &end, 16);
    return errno == 0 && *end == '\0' && s[0] != '-' && s[0] != '+' && out <= max;
}

// A number structure holds at most 255 bytes, octets 3 and 3a included.
bool ParseNumber(const std::string& s, std::string& out) {
    out = s == "-" ? std::string() : s;
    return out.size() <= 253;
}

bool ParseCommand(const std::string& text, Command& cmd) {
    std::istringstream in(text);
    std::string verb, a, b, c, extra;
    in >> verb >> a >> b >> c >> extra;
    unsigned long v = 0, w = 0;
    if (verb == "ring" && !c.empty() && extra.empty() && ParseHex(a, 0xFFFFFFFF, v) &&
        ParseNumber(b, cmd.called) && ParseNumber(c, cmd.calling)) {
        cmd.kind = Command::Ring;
        cmd.plci = static_cast<uint32_t>(v);
        return true;
    }
    if (verb == "hangup" && !b.empty() && c.empty() && ParseHex(a, 0xFFFFFFFF, v) &&
        ParseHex(b, 0xFFFF, w)) {
        cmd.kind = Command::Hangup;
        cmd.plci = static_cast<uint32_t>(v);
        cmd.reason = static_cast<uint16_t>(w);
        return true;
    }
    if (verb == "sleep" && !a.empty() && b.empty()) {
        char* end = nullptr;
        errno = 0;
        const long ms = std::strtol(a.c_str(), &end, 10);
        if (errno || *end || ms < 0 || ms > 86400000L) return false;
        cmd.kind = Command::Sleep;
        cmd.ms = ms;
        return true;
    }
    if (verb == "drop" && a.empty()) {
        cmd.kind = Command::DropAll;
        return true;
    }
    if (verb == "refuse-register" && !a.empty() && b.empty() && ParseHex(a, 0xFFFF, v) && v != 0) {
        cmd.kind = Command::Refuse;
        cmd.code = static_cast<uint16_t>(v);
        return true;
    }
    return false;
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
    void ReadStdin();
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
    bool stdinOpen_ = true;
    std::string stdinBuf_;
    long stdinLineNo_ = 0;
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

void Line::ReadStdin() {
    char buf[4096];
    const ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return;
    if (n <= 0) {
        stdinOpen_ = false;
        if (!stdinBuf_.empty()) stdinBuf_ += '\n'; // a last line without newline still counts
    } else {
        stdinBuf_.append(buf, static_cast<size_t>(n));
    }
    size_t pos;
    while ((pos = stdinBuf_.find('\n')) != std::string::npos) {
        std::string text = stdinBuf_.substr(0, pos);
        stdinBuf_.erase(0, pos + 1);
        ++stdinLineNo_;
        if (!text.empty() && text.back() == '\r') text.pop_back();
        const size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos || text[first] == '#') continue;
        Command cmd{};
        if (ParseCommand(text, cmd))
            commands_.push_back(cmd);
        else
            std::fprintf(stderr, "callbeacon-line: line %ld ignored: %s\n", stdinLineNo_,
                         text.c_str());
    }
    // Nobody types a command this long; keep a runaway line from growing without end.
    if (stdinBuf_.size() > 65536) stdinBuf_.clear();
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
        fds.push_back({stdinOpen_ ? STDIN_FILENO : -1, POLLIN, 0});
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
        if (fds[1].revents) ReadStdin();
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
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
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

    Line line(fd, static_cast<int>(port));
    Event("listening %ld", port);
    const int rc = line.Run();
    close(fd);
    return rc;
}
