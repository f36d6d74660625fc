// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CallMessage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

// Parses exactly the bytes of `text` (no terminator unless the text holds one).
bool Parse(const std::string& text, CallMessage& out) {
    // Heap copy of exactly that size: a read past it is caught by the address sanitizer.
    auto copy = std::make_unique<char[]>(text.size() ? text.size() : 1);
    std::memcpy(copy.get(), text.data(), text.size());
    return ParseCallMessage(copy.get(), text.size(), out);
}

} // namespace

TEST(CallMessage, FormatsTheFourFieldsAndParsesThemBack) {
    const std::string text = FormatCallMessage(-5, 1700000000, "0891234567", "5678");
    EXPECT_EQ(text, "-5,1700000000,0891234567,5678");
    EXPECT_EQ(FormatCallMessage(0, 0, "0", ""), "0,0,0,");
    EXPECT_EQ(FormatCallMessage(1, 2, nullptr, nullptr), "1,2,,");

    CallMessage msg;
    ASSERT_TRUE(Parse(text + std::string(1, '\0'), msg));
    EXPECT_EQ(msg.iSeq, -5);
    EXPECT_STREQ(msg.szCalling, "0891234567");
    EXPECT_STREQ(msg.szCalled, "5678");
}

TEST(CallMessage, SequenceNumberReadsLikeAtoi) {
    CallMessage msg;
    ASSERT_TRUE(Parse(" \t+12,1,089,1", msg));
    EXPECT_EQ(msg.iSeq, 12);
    ASSERT_TRUE(Parse("42abc,1,089,1", msg));
    EXPECT_EQ(msg.iSeq, 42);
    ASSERT_TRUE(Parse("-2147483648,1", msg));
    EXPECT_EQ(msg.iSeq, INT32_MIN);
    ASSERT_TRUE(Parse("2147483647", msg));
    EXPECT_EQ(msg.iSeq, INT32_MAX);
}

TEST(CallMessage, RunsOfCommasAreOneSeparatorAndMissingNumbersStayZero) {
    CallMessage msg;
    ASSERT_TRUE(Parse(",,7,,,99,,0301234,,,5678,,", msg));
    EXPECT_EQ(msg.iSeq, 7);
    EXPECT_STREQ(msg.szCalling, "0301234");
    EXPECT_STREQ(msg.szCalled, "5678");

    ASSERT_TRUE(Parse("7,99,0301234,", msg)); // empty called number: field missing
    EXPECT_STREQ(msg.szCalling, "0301234");
    EXPECT_STREQ(msg.szCalled, "0");

    ASSERT_TRUE(Parse("8", msg));
    EXPECT_EQ(msg.iSeq, 8);
    EXPECT_STREQ(msg.szCalling, "0");
    EXPECT_STREQ(msg.szCalled, "0");

    ASSERT_TRUE(Parse("9,1,2,3,a-fifth-field-of-any-length-is-not-looked-at-at-all-xxxxxxx", msg));
    EXPECT_STREQ(msg.szCalled, "3");
}

TEST(CallMessage, MessagesWithoutSequenceNumberAreDropped) {
    CallMessage msg;
    for (const char* text : {"", ",", ",,,,", "abc,1,089,1", "-,1,089,1", " ,1,089,1", "+x,1"})
        EXPECT_FALSE(Parse(text, msg)) << '"' << text << '"';
    EXPECT_FALSE(Parse(std::string("\0"
                                   "5,1,089,1",
                                   10),
                       msg)); // the text ends at the zero
}

TEST(CallMessage, FieldsLongerThanTheirTextsDropTheMessage) {
    // 15 digits after the prefix zeros, 20 characters in all: the longest real numbers.
    const std::string longest = "00000" + std::string(15, '9');
    CallMessage msg;
    ASSERT_TRUE(Parse("1,1," + longest + "," + longest, msg));
    EXPECT_EQ(std::string(msg.szCalling), longest);
    EXPECT_EQ(std::string(msg.szCalled), longest);
    EXPECT_TRUE(Parse("1,1,00" + std::string(15, '4') + ",4711", msg));
    for (const std::string& overlong :
         {std::string(16, '4'), "0" + std::string(20, '0'), "00" + std::string(16, '4'),
          std::string(39, '1'), std::string(40, '1')}) {
        EXPECT_FALSE(Parse("1,1," + overlong + ",1", msg)) << overlong;
        EXPECT_FALSE(Parse("1,1,1," + overlong, msg)) << overlong;
    }

    ASSERT_TRUE(Parse("0000000000000000042,1,1,1", msg)); // 19 characters
    EXPECT_EQ(msg.iSeq, 42);
    EXPECT_FALSE(Parse("00000000000000000042,1,1,1", msg)); // 20
    EXPECT_FALSE(Parse("2147483648,1,1,1", msg));
    EXPECT_FALSE(Parse("-2147483649,1,1,1", msg));
    EXPECT_FALSE(Parse("9999999999999999999,1,1,1", msg));
}

// Anyone on the network can send: only what a telephone number holds may reach a pop-up.
TEST(CallMessage, NumberFieldsWithAnythingButDigitsStarAndHashDropTheMessage) {
    CallMessage msg;
    ASSERT_TRUE(Parse("1,1,*31#0891234,4711", msg));
    EXPECT_EQ(std::string(msg.szCalling), "*31#0891234");
    for (const char* text : {"1,1,089\n1234,4711", "1,1,0891234,47\t11", "1,1,Meier,4711",
                             "1,1,0891234,4711\x1b[2J", "1,1,+49891234,4711", "1,1,089 1234,1",
                             "1,1,089\xe4"
                             "1234,1"})
        EXPECT_FALSE(Parse(text, msg)) << text;
}

TEST(CallMessage, StopsAtTheGivenLengthAndAtTheFirstZero) {
    CallMessage msg;
    const std::string full = "5,1,0891234,5678";
    ASSERT_TRUE(Parse(full.substr(0, 8), msg));
    EXPECT_STREQ(msg.szCalling, "0891");
    EXPECT_STREQ(msg.szCalled, "0");

    ASSERT_TRUE(Parse(std::string("5,1,089\0,777", 12), msg));
    EXPECT_STREQ(msg.szCalling, "089");
    EXPECT_STREQ(msg.szCalled, "0");

    // A stale tail behind the sender's zero in a reused 200-byte buffer is not read.
    char buffer[200];
    std::memset(buffer, 'x', sizeof buffer);
    const std::string text = FormatCallMessage(3, 4, "030", "11");
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    ASSERT_TRUE(ParseCallMessage(buffer, sizeof buffer, msg));
    EXPECT_STREQ(msg.szCalled, "11");
    EXPECT_FALSE(ParseCallMessage(nullptr, 10, msg));
}
