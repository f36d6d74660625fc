// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/Mail.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// A UDP port nobody uses right now, so tests running side by side keep apart.
uint16_t FreeUdpPort() {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t len = sizeof sa;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
        std::abort();
    ::close(fd);
    return ntohs(sa.sin_port);
}

class MailTest : public ::testing::Test {
protected:
    void SetUp() override {
        port = FreeUdpPort();
        SetMailPortOverride(port);
    }
    void TearDown() override { SetMailPortOverride(0); }

    // Datagrams over loopback arrive at once, but the test must not depend on that.
    static bool ReadWithin(TMailClient& client, char* buffer, uint32_t size, uint32_t* read,
                           int ms = 2000) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
        do {
            if (client.ReadMessage(buffer, size, read)) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        } while (Clock::now() < deadline);
        return false;
    }
    static std::string ReadText(TMailClient& client) {
        char buffer[200];
        uint32_t read = 0;
        if (!ReadWithin(client, buffer, sizeof buffer, &read)) return "<nothing>";
        return std::string(buffer, strnlen(buffer, read));
    }
    // Nothing further arrives (copies over other interfaces included).
    static bool StaysEmpty(TMailClient& client) {
        char buffer[200];
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return !client.ReadMessage(buffer, sizeof buffer);
    }

    // A datagram from anyone on the network, to the loopback broadcast.
    void SendRaw(const std::string& datagram) const {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        ASSERT_GE(fd, 0);
        const int on = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(port);
        sa.sin_addr.s_addr = htonl(0x7FFFFFFF);
        const ssize_t sent = ::sendto(fd, datagram.data(), datagram.size(), 0,
                                      reinterpret_cast<sockaddr*>(&sa), sizeof sa);
        ::close(fd);
        ASSERT_EQ(sent, static_cast<ssize_t>(datagram.size()));
    }
    static std::string Datagram(const std::string& slot, uint64_t tag, const std::string& message) {
        std::string d = slot;
        d += '\0';
        for (int shift = 56; shift >= 0; shift -= 8)
            d += static_cast<char>(tag >> shift);
        return d + message;
    }

    uint16_t port = 0;
};

} // namespace

TEST_F(MailTest, SendTextCarriesTheTerminatingZero) {
    TMailClient client("DEDOV");
    TMailServer server("DEDOV");
    ASSERT_GE(client.hSlot, 0);
    ASSERT_GE(server.hSlot, 0);
    server.SendText("abc");
    char buffer[200];
    std::memset(buffer, 'x', sizeof buffer);
    uint32_t read = 0;
    ASSERT_TRUE(ReadWithin(client, buffer, sizeof buffer, &read));
    EXPECT_EQ(read, 4u);
    EXPECT_EQ(std::string(buffer, 4), std::string("abc\0", 4));
    EXPECT_EQ(buffer[4], 'x'); // no terminator of its own
}

TEST_F(MailTest, EveryReceiverOnTheMachineGetsEachAnnouncementOnceAndInOrder) {
    TMailClient first("DEDOV"), second("DEDOV");
    TMailServer server("DEDOV");
    ASSERT_GE(first.hSlot, 0);
    ASSERT_GE(second.hSlot, 0);

    char buffer[200];
    EXPECT_FALSE(first.ReadMessage(buffer, sizeof buffer)); // empty slot
    for (int i = 0; i < 5; ++i)
        server.SendText(FormatCallMessage(i, 100 + i, "089", "1").c_str());
    for (int i = 0; i < 5; ++i) {
        const std::string expected = FormatCallMessage(i, 100 + i, "089", "1");
        EXPECT_EQ(ReadText(first), expected);
        EXPECT_EQ(ReadText(second), expected);
    }
    // Each send reaches this machine over loopback and over every broadcast interface.
    EXPECT_TRUE(StaysEmpty(first));
    EXPECT_TRUE(StaysEmpty(second));
}

TEST_F(MailTest, OtherSlotsAndHostileDatagramsDoNotDisturbTheNextMessage) {
    TMailClient client("DEDOV");
    ASSERT_GE(client.hSlot, 0);
    TMailServer other("Standard");
    other.SendText("for another slot");

    SendRaw("");                                            // empty
    SendRaw(std::string(65000, 'A'));                       // oversized, no header
    SendRaw(Datagram("DEDOV", 1, std::string(65000, '7'))); // oversized message
    SendRaw(Datagram("DEDOV", 2, std::string(201, '7')));   // over the 200-byte buffer
    SendRaw("\xff\xfe garbage without any zero byte");
    SendRaw(std::string("DEDOV\0\1\2\3", 9)); // tag cut short
    SendRaw(Datagram("DEDOV", 3, ""));        // no message
    SendRaw(Datagram(std::string(190, 'D'), 4, "name too long"));
    SendRaw(Datagram("DEDOVX", 5, "other name"));

    TMailServer server("DEDOV");
    server.SendText("1,2,089,3");
    EXPECT_EQ(ReadText(client), "1,2,089,3");
    EXPECT_TRUE(StaysEmpty(client));
}

TEST_F(MailTest, MessageLongerThanTheBufferIsDiscardedAndTheNextOneStillComes) {
    TMailClient client("DEDOV");
    SendRaw(Datagram("DEDOV", 10, std::string(201, 'L')));
    SendRaw(Datagram("DEDOV", 11, std::string(200, 'F')));
    SendRaw(Datagram("dedov", 12, "any case")); // slot names ignore case
    char buffer[200];
    uint32_t read = 0;
    ASSERT_TRUE(ReadWithin(client, buffer, sizeof buffer, &read));
    EXPECT_EQ(std::string(buffer, read), std::string(200, 'F'));
    EXPECT_EQ(ReadText(client), "any case");
}

TEST_F(MailTest, CopiesOfOneSendAreTakenOnce) {
    TMailClient client("DEDOV");
    SendRaw(Datagram("DEDOV", 77, "first"));
    SendRaw(Datagram("DEDOV", 77, "first"));
    SendRaw(Datagram("DEDOV", 78, "second"));
    EXPECT_EQ(ReadText(client), "first");
    EXPECT_EQ(ReadText(client), "second");
    EXPECT_TRUE(StaysEmpty(client));
}

TEST_F(MailTest, LargestBlockIsWrittenWhole) {
    TMailClient client("DEDOV");
    TMailServer server("DEDOV");
    std::string block(MAX_MESSAGE_SIZE, '\0');
    for (size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 7);
    server.WriteBlock(block.data(), static_cast<uint32_t>(block.size()));
    std::string buffer(MAX_SLOT_MESSAGE_SIZE, '\0');
    uint32_t read = 0;
    ASSERT_TRUE(ReadWithin(client, buffer.data(), static_cast<uint32_t>(buffer.size()), &read));
    EXPECT_EQ(buffer.substr(0, read), block);
}

#ifndef NDEBUG
TEST_F(MailTest, BlockOverTheLimitIsAProgrammingError) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TMailServer server("DEDOV");
    std::string block(MAX_MESSAGE_SIZE + 1, 'x');
    EXPECT_DEATH(server.WriteBlock(block.data(), static_cast<uint32_t>(block.size())),
                 "iBytes<=MAX_MESSAGE_SIZE");
}
#endif

TEST_F(MailTest, SenderWithoutSlotSpendsTwoFailedAttempts) {
    TMailClient client(std::string(186, 'S').c_str());
    ASSERT_GE(client.hSlot, 0); // 186 characters still fit

    TMailServer unopened(std::string(187, 'S').c_str());
    EXPECT_LT(unopened.hSlot, 0);
    EXPECT_EQ(unopened.iRetryDelay, 200);
    auto start = Clock::now();
    unopened.SendText("1,2,3,4");
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(350));

    TMailServer closed("DEDOV");
    closed.iRetryDelay = 300;
    EXPECT_TRUE(closed.CloseSlot());
    EXPECT_FALSE(closed.CloseSlot());
    EXPECT_EQ(closed.iRetryDelay, 200);
    EXPECT_TRUE(closed.sSlotName.empty());
    closed.iRetryDelay = 300;
    start = Clock::now();
    closed.SendText("1,2,3,4");
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(600)); // slept after each attempt
    EXPECT_TRUE(StaysEmpty(client));
}

TEST_F(MailTest, ReceiverWithoutSlotAlwaysReturnsFalse) {
    // Someone holds the port without sharing it.
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_ANY);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);

    TMailClient blocked("DEDOV");
    EXPECT_LT(blocked.hSlot, 0);
    EXPECT_EQ(blocked.sSlotName, "DEDOV");
    TMailServer server("DEDOV");
    server.SendText("1,2,3,4");
    char buffer[200];
    EXPECT_FALSE(ReadWithin(blocked, buffer, sizeof buffer, nullptr, 200));
    EXPECT_FALSE(blocked.CloseSlot());
    ::close(fd);

    TMailClient tooLong(std::string(187, 'x').c_str());
    EXPECT_LT(tooLong.hSlot, 0);
    EXPECT_FALSE(tooLong.ReadMessage(buffer, sizeof buffer));
}

TEST_F(MailTest, SlotNameDefaultsAndReopening) {
    TMailClient client;
    EXPECT_EQ(client.sSlotName, "Standard");
    TMailServer server;
    EXPECT_EQ(server.sSlotName, "Standard");
    server.SendText("to Standard");
    EXPECT_EQ(ReadText(client), "to Standard");

    ASSERT_TRUE(client.OpenSlot("DEDOV"));
    ASSERT_TRUE(server.OpenSlot("DEDOV"));
    EXPECT_EQ(client.sSlotName, "DEDOV");
    server.SendText("to DEDOV");
    EXPECT_EQ(ReadText(client), "to DEDOV");
}

TEST(MailPort, OverrideThenEnvironmentThenDefault) {
    ::unsetenv("CALLBEACON_MAILSLOT_PORT");
    EXPECT_EQ(MailPort(), DEFAULT_MAIL_PORT);
    ::setenv("CALLBEACON_MAILSLOT_PORT", "40001", 1);
    EXPECT_EQ(MailPort(), 40001);
    SetMailPortOverride(40002);
    EXPECT_EQ(MailPort(), 40002);
    SetMailPortOverride(0);
    for (const char* bad : {"", "0", "65536", "12x", "-5"}) {
        ::setenv("CALLBEACON_MAILSLOT_PORT", bad, 1);
        EXPECT_EQ(MailPort(), DEFAULT_MAIL_PORT) << bad;
    }
    ::unsetenv("CALLBEACON_MAILSLOT_PORT");
}

TEST(MailPort, LoopbackBroadcastIsAlwaysATarget) {
    const auto targets = MailBroadcastTargets();
    ASSERT_FALSE(targets.empty());
    EXPECT_EQ(targets.back(), "127.255.255.255");
}
