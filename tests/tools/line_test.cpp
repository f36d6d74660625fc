// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated line toward a client speaking the remote-CAPI wire protocol directly: the
// replies libcapi20 depends on byte for byte, distinct ids, scripts, and hostile input.
#include "support/LineProcess.h"

#include <gtest/gtest.h>

#include <poll.h>
#include <set>
#include <string>

namespace {

using Bytes = std::string;

Bytes Hex(const char* hex) {
    Bytes out;
    for (const char* p = hex; *p;) {
        if (*p == ' ' || *p == '|') {
            ++p;
            continue;
        }
        out += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
        p += 2;
    }
    return out;
}

Bytes WithId(Bytes frame, int id) {
    frame[5] = static_cast<char>(id & 0xFF);
    frame[6] = static_cast<char>(id >> 8);
    return frame;
}

const char* kRegister = "80 14 00 | 14 00 00 00 20 80 01 00 02 00 09 00 00 06 02 00 07 00 00 08";
const char* kGetProfile = "80 12 00 | 12 00 00 00 20 80 01 00 02 00 05 02 00 02 00 00 00 00";
const char* kRelease = "80 0e 00 | 0e 00 01 00 20 80 01 00 02 00 03 01 00 00";
const char* kListenReq =
    "80 1a 00 | 1a 00 01 00 05 80 01 00 01 00 00 00 00 00 00 00 ff 03 ff 1f 00 00 00 00 00 00";

// A raw TCP client of the line.
class Client {
public:
    explicit Client(int port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(port));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    }
    ~Client() { close(fd_); }
    bool connected() const { return connected_; }
    void Send(const Bytes& b) {
        ASSERT_EQ(send(fd_, b.data(), b.size(), MSG_NOSIGNAL), static_cast<ssize_t>(b.size()));
    }
    // Exactly n bytes, or what came before the time-out / end of connection.
    Bytes Read(size_t n, int timeoutMs = 5000) {
        Bytes out;
        while (out.size() < n) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0) break;
            char buf[4096];
            const ssize_t got = recv(fd_, buf, std::min(sizeof buf, n - out.size()), 0);
            if (got <= 0) break;
            out.append(buf, static_cast<size_t>(got));
        }
        return out;
    }
    // True when the line closed the connection within the time.
    bool Closed(int timeoutMs = 5000) {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0) return false;
        char c;
        return recv(fd_, &c, 1, 0) == 0;
    }
    // Registers; returns the id handed out (0 on failure).
    int Register() {
        Send(Hex(kRegister));
        const Bytes reply = Read(20);
        if (reply.size() != 20 || reply.substr(0, 2) != Hex("80 12")) return 0;
        if (reply[18] || reply[19]) return 0;
        return static_cast<uint8_t>(reply[4]) | (static_cast<uint8_t>(reply[5]) << 8);
    }

private:
    int fd_;
    bool connected_ = false;
};

TEST(Line, RegisterListenRingHangupRelease) {
    cbtest::LineProcess line;
    ASSERT_NE(line.port(), 0);
    // Rung before anyone listens: held until a registration with LISTEN_REQ is there.
    line.Send("ring 0101 4711 301234567");
    line.Send("sleep 50");
    line.Send("hangup 0101 349A");

    Client probe(line.port()); // every client process opens one; it may ask for the profile
    ASSERT_TRUE(probe.connected());
    probe.Send(Hex(kGetProfile));
    const Bytes profile = probe.Read(84);
    ASSERT_EQ(profile.size(), 84u);
    EXPECT_EQ(profile.substr(0, 2), Hex("80 52"));
    EXPECT_EQ(profile.substr(20, 2), Hex("01 00")); // one controller

    Client app(line.port());
    ASSERT_TRUE(app.connected());
    const int id = app.Register();
    ASSERT_GE(id, 1);
    ASSERT_LE(id, 1023);
    EXPECT_TRUE(line.WaitFor("registered " + std::to_string(id)));
    EXPECT_EQ(line.CountPrefix("sent CONNECT_IND"), 0);

    app.Send(WithId(Hex(kListenReq), id));
    EXPECT_EQ(app.Read(17), Hex("80 0e 00 | 0e 00 00 00 05 81 01 00 01 00 00 00 00 00"));
    EXPECT_TRUE(line.WaitFor("recv LISTEN_REQ controller=1 infomask=0x0 cip=0x1fff03ff"));
    EXPECT_EQ(app.Read(42),
              Hex("80 27 00 | 27 00 00 00 02 82 01 80 01 01 00 00 01 00 05 81 34 37 31 31"
                  " 0b 21 83 33 30 31 32 33 34 35 36 37 00 00 00 00 00 00 00"));
    EXPECT_EQ(app.Read(17), Hex("80 0e 00 | 0e 00 00 00 04 82 02 80 01 01 00 00 9a 34"));

    app.Send(WithId(Hex("80 0d 00 | 0d 00 01 00 01 80 01 00 01 01 00 00 00"), id));
    EXPECT_EQ(app.Read(17), Hex("80 0e 00 | 0e 00 00 00 01 81 01 00 01 01 00 00 00 00"));
    EXPECT_TRUE(line.WaitFor("recv ALERT_REQ plci=0x0101"));
    app.Send(WithId(Hex("80 0c 00 | 0c 00 01 00 04 83 01 00 01 01 00 00"), id));
    EXPECT_TRUE(line.WaitFor("recv DISCONNECT_RESP plci=0x0101"));
    app.Send(WithId(Hex("80 0e 00 | 0e 00 01 00 02 83 01 00 01 01 00 00 00 00"), id));
    EXPECT_TRUE(line.WaitFor("recv CONNECT_RESP plci=0x0101 reject=0x0"));
    app.Send(WithId(Hex("80 0c 00 | 0c 00 01 00 03 80 01 00 01 00 00 00"), id));
    EXPECT_TRUE(line.WaitFor("recv UNKNOWN cmd=0x8003 length=12"));

    app.Send(WithId(Hex(kRelease), id));
    EXPECT_TRUE(line.WaitFor("released " + std::to_string(id)));
}

TEST(Line, NumberFormsOnTheWire) {
    cbtest::LineProcess line;
    ASSERT_NE(line.port(), 0);
    Client app(line.port());
    ASSERT_GT(app.Register(), 0);
    app.Send(Hex(kListenReq));
    ASSERT_EQ(app.Read(17).size(), 17u);
    // Already with its trunk prefix: type unknown, digits as given. No numbers: empty structs.
    line.Send("ring 0201 - 0891234");
    EXPECT_EQ(app.Read(3 + 32), Hex("80 20 00 | 20 00 00 00 02 82 01 80 01 02 00 00 01 00 00"
                                    " 09 01 83 30 38 39 31 32 33 34 00 00 00 00 00 00 00"));
    line.Send("ring 0301 - -");
    EXPECT_EQ(app.Read(3 + 23), Hex("80 17 00 | 17 00 00 00 02 82 02 80 01 03 00 00 01 00 00 00"
                                    " 00 00 00 00 00 00 00"));
    // "+" writes an international number: type of number 001, the digits without the "+".
    line.Send("ring 0401 - +4144");
    EXPECT_EQ(app.Read(3 + 29), Hex("80 1d 00 | 1d 00 00 00 02 82 03 80 01 04 00 00 01 00 00"
                                    " 06 11 83 34 31 34 34 00 00 00 00 00 00 00"));
}

TEST(Line, IdsDifferBetweenLinesRunningAtTheSameTime) {
    cbtest::LineProcess first;
    ASSERT_NE(first.port(), 0);
    // A port 1023 apart would start the second line's ids where the first one's start.
    const int other = first.port() > 1100 ? first.port() - 1023 : first.port() + 1023;
    cbtest::LineProcess second(other);
    if (second.port() == 0) GTEST_SKIP() << "port " << other << " is taken";

    std::set<int> ids;
    std::vector<std::unique_ptr<Client>> clients;
    for (int i = 0; i < 3; ++i) {
        for (cbtest::LineProcess* line : {&first, &second}) {
            clients.push_back(std::make_unique<Client>(line->port()));
            const int id = clients.back()->Register();
            ASSERT_GT(id, 0);
            EXPECT_TRUE(ids.insert(id).second) << "id " << id << " handed out twice";
        }
    }
}

TEST(Line, HostileFramesOnlyCostTheirConnection) {
    cbtest::LineProcess line;
    ASSERT_NE(line.port(), 0);
    const std::vector<Bytes> garbage = {
        Hex("80 00 00"),                                       // length below a message header
        Hex("80 ff ff 00 00"),                                 // beyond what the library could send
        Hex("00 05 00 01 02 03 04 05"),                        // length 5
        Hex("80 0c 00 | 0c 00 01 00 01 80 01 00 01 01 00 00"), // a message before REGISTER
        Hex("80 08 00 | 08 00 00 00 20 80 01 00"),             // management frame cut short
        Hex("80 14 00 | 14 00 00 00 20 80 01 00"),             // frame that never completes
        Bytes(5000, '\xff'),
    };
    for (const Bytes& g : garbage) {
        Client c(line.port());
        ASSERT_TRUE(c.connected());
        c.Send(g);
    }
    {
        // Registered, then garbage: the registration ends with the connection.
        Client c(line.port());
        const int id = c.Register();
        ASSERT_GT(id, 0);
        c.Send(Hex("80 02 00 ff ff"));
        EXPECT_TRUE(c.Closed());
        EXPECT_TRUE(line.WaitFor("released " + std::to_string(id)));
    }
    // Bad commands are reported on standard error and skipped.
    for (const char* bad :
         {"ring", "ring zz 1 2", "ring 0101 1 2 3", "hangup 0101", "hangup 0101 10000", "sleep -5",
          "sleep x", "refuse-register 0", "bogus",
          "ring 0101 1 "
          "1234567890123456789012345678901234567890123456789012345678901234567890"
          "1234567890123456789012345678901234567890123456789012345678901234567890"
          "1234567890123456789012345678901234567890123456789012345678901234567890"
          "12345678901234567890123456789012345678901234567890"})
        line.Send(bad);
    line.Send("ring 0501 1 2");

    Client app(line.port());
    ASSERT_GT(app.Register(), 0);
    app.Send(Hex(kListenReq));
    EXPECT_EQ(app.Read(17).size(), 17u);
    EXPECT_TRUE(line.WaitFor("sent CONNECT_IND plci=0x0501 called=1 calling=2"));
    EXPECT_EQ(line.CountPrefix("sent CONNECT_IND"), 1);
}

TEST(Line, KeepsServingAfterEndOfInput) {
    cbtest::LineProcess line;
    ASSERT_NE(line.port(), 0);
    line.Send("refuse-register 1001");
    line.EndInput();
    Client refused(line.port());
    EXPECT_EQ(refused.Register(), 0);
    EXPECT_TRUE(line.WaitFor("refused 0x1001"));
    Client app(line.port());
    EXPECT_GT(app.Register(), 0);
    EXPECT_EQ(WEXITSTATUS(line.Stop()), 0);
}

TEST(Line, RejectsPortsTheLibraryCannotUse) {
    for (const char* port : {"0", "65535", "x", "-1"}) {
        const std::string cmd =
            cbtest::LinePath() + " --port " + port + " </dev/null >/dev/null 2>&1";
        const int status = std::system(cmd.c_str());
        EXPECT_EQ(WEXITSTATUS(status), 2) << port;
    }
}

} // namespace
