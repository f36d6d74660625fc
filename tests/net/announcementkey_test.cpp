// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/AnnouncementKey.h"
#include "net/CallMessage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr int64_t kNow = 1'800'000'000;

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
