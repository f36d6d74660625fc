// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/AnnouncementKey.h"
#include "net/CallMessage.h"

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

using cbtest::ReadWholeFile;

namespace {

constexpr int64_t kNow = 1'800'000'000;

// The trace file is named before the first line is written (the program reads the variable
// once); the refusals of every test in this file go there.
const std::string kTraceFile = [] {
    const std::string path = "/tmp/cb-announcementkey-trace-" + std::to_string(getpid());
    setenv("CALLBEACON_TRACE", path.c_str(), 1);
    return path;
}();

bool Take(TAnnouncementVerifier& v, const std::string& block, int64_t now = kNow) {
    return v.Accept(block.data(), block.size(), now);
}

} // namespace

TEST(AnnouncementKey, KeyedReceiverTakesOnlyRightFreshUnseenMessages) {
    TAnnouncementSigner server("geheim", "DEDOV");
    TAnnouncementVerifier client("geheim", "DEDOV");
    const std::string text = FormatCallMessage(7, 1, "0301234567", "4711");
    const std::string first = server.Sign(text, kNow);
    const std::string second = server.Sign(text, kNow + 1);

    // Receivers without a key read up to the zero byte and see the message as before.
    CallMessage plain{};
    ASSERT_TRUE(ParseCallMessage(first.data(), first.size(), plain));
    EXPECT_EQ(plain.iSeq, 7);
    // The longest message there is, signed, still fits the receivers' 200-byte buffer.
    const std::string longest =
        FormatCallMessage(-2147483647 - 1, -2147483647 - 1, std::string(39, '1').c_str(),
                          std::string(39, '2').c_str());
    EXPECT_LE(server.Sign(longest, kNow).size(), 200u);

    EXPECT_TRUE(Take(client, first));
    EXPECT_FALSE(Take(client, first)) << "a replay";
    EXPECT_TRUE(Take(client, second));
    EXPECT_FALSE(Take(client, first)) << "an older one after a newer one";

    // Missing, wrong or tampered codes, another slot, stale or future times.
    EXPECT_FALSE(Take(client, text + '\0'));
    TAnnouncementSigner stranger("anders", "DEDOV");
    EXPECT_FALSE(Take(client, stranger.Sign(text, kNow)));
    std::string tampered = server.Sign(text, kNow);
    tampered[2] = '9';
    EXPECT_FALSE(Take(client, tampered));
    TAnnouncementSigner otherSlot("geheim", "ANDERS");
    EXPECT_FALSE(Take(client, otherSlot.Sign(text, kNow)));
    EXPECT_FALSE(Take(client, server.Sign(text, kNow - 301)));
    EXPECT_FALSE(Take(client, server.Sign(text, kNow + 301)));
    EXPECT_FALSE(Take(client, server.Sign(text, kNow).substr(0, 60)));
    EXPECT_FALSE(client.Accept(nullptr, 0, kNow));

    // A restarted server draws a new sender id, so its counter may start again.
    TAnnouncementSigner restarted("geheim", "DEDOV");
    EXPECT_TRUE(Take(client, restarted.Sign(text, kNow)));
}

// A captured announcement sent again after the client restarted is still a replay: what was
// taken is kept in the state file, written whole each time.
TEST(AnnouncementKey, WhatWasTakenOutlivesARestart) {
    cbtest::TempDir dir;
    const std::string state = dir.file("callbeacon.state");
    TAnnouncementSigner server("geheim", "DEDOV");
    const std::string text = FormatCallMessage(7, 1, "0301234567", "4711");
    const std::string captured = server.Sign(text, kNow);
    {
        TAnnouncementVerifier client("geheim", "DEDOV", state);
        EXPECT_TRUE(Take(client, captured));
    }
    struct stat st {};
    ASSERT_EQ(stat(state.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 077, 0u);
    TAnnouncementVerifier restarted("geheim", "DEDOV", state);
    EXPECT_EQ(restarted.Check(captured.data(), captured.size(), kNow + 60),
              AnnouncementVerdict::Replayed);
    EXPECT_TRUE(Take(restarted, server.Sign(text, kNow + 61), kNow + 61));

    // Beyond twice the window a sender may be forgotten: its old messages are stale anyway.
    TAnnouncementVerifier later("geheim", "DEDOV", state);
    TAnnouncementSigner other("geheim", "DEDOV");
    EXPECT_TRUE(Take(later, other.Sign(text, kNow + 700), kNow + 700));
    EXPECT_EQ(later.Check(captured.data(), captured.size(), kNow + 700),
              AnnouncementVerdict::ClockOff);
    EXPECT_EQ(TAnnouncementVerifier::ParseState(ReadWholeFile(state)).size(), 1u);

    // A damaged state file costs the memory of it, nothing else.
    EXPECT_TRUE(TAnnouncementVerifier::ParseState("Müll\n\x01\x02").empty());
    const auto parsed = TAnnouncementVerifier::ParseState(
        "CBK1-STATE\n0000000a 5 1800000000\nzz 1 2\n0000000b 99999999999 1\n0000000c 7 1 x\n");
    ASSERT_EQ(parsed.size(), 1u);
    EXPECT_EQ(parsed.at(10).first, 5u);
}

// A client that refuses says so: one trace line per sender a minute, and the reason kept for
// the settings page.
TEST(AnnouncementKey, RefusalsAreTracedOncePerSenderAMinuteWithTheirReason) {
    std::remove(kTraceFile.c_str());
    TAnnouncementVerifier client("geheim", "DEDOV");
    TAnnouncementSigner stranger("anders", "DEDOV");
    TAnnouncementSigner server("geheim", "DEDOV");
    const std::string text = FormatCallMessage(7, 1, "0301234567", "4711");
    for (int i = 0; i < 3; ++i) {
        const std::string forged = stranger.Sign(text, kNow);
        EXPECT_EQ(client.Check(forged.data(), forged.size(), kNow + i),
                  AnnouncementVerdict::WrongKey);
    }
    EXPECT_NE(LastAnnouncementRejection().find("anderen Kennwort"), std::string::npos);
    const std::string early = server.Sign(text, kNow + 1000);
    EXPECT_EQ(client.Check(early.data(), early.size(), kNow + 5), AnnouncementVerdict::ClockOff);
    EXPECT_NE(LastAnnouncementRejection().find("geht 995 s vor"), std::string::npos)
        << LastAnnouncementRejection();
    const std::string plain = text + '\0';
    EXPECT_EQ(client.Check(plain.data(), plain.size(), kNow + 6), AnnouncementVerdict::Unsigned);
    const std::string forged = stranger.Sign(text, kNow + 70);
    client.Check(forged.data(), forged.size(), kNow + 70); // a minute on: traced again

    const std::string trace = ReadWholeFile(kTraceFile);
    std::remove(kTraceFile.c_str());
    auto count = [&](const std::string& needle) {
        int n = 0;
        for (size_t p = trace.find(needle); p != std::string::npos; p = trace.find(needle, p + 1))
            ++n;
        return n;
    };
    EXPECT_EQ(count("announcement refused"), 4) << trace;
    EXPECT_EQ(count("wrong key"), 2) << trace;
    EXPECT_EQ(count("clock off by 995 s"), 1) << trace;
    EXPECT_EQ(count("unsigned"), 1) << trace;
}
