// SPDX-License-Identifier: GPL-3.0-or-later
#include "capi/CapiBase.h"
#include "capi/CapiMessages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

template <size_t N> Bytes ToBytes(const std::array<uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

// A CONNECT_IND as an exchange sends it: header, PLCI, CIP, the two number structures as
// given (length byte included), then the seven empty structures of the tail.
Bytes ConnectIndWith(const Bytes& called, const Bytes& calling, size_t tail = 7) {
    Bytes m = {0, 0, 0x01, 0x00, 0x02, 0x82, 0x01, 0x80, 0x01, 0x01, 0x00, 0x00, 0x01, 0x00};
    m.insert(m.end(), called.begin(), called.end());
    m.insert(m.end(), calling.begin(), calling.end());
    m.insert(m.end(), tail, 0);
    m[0] = static_cast<uint8_t>(m.size());
    m[1] = static_cast<uint8_t>(m.size() >> 8);
    return m;
}

Bytes NumberStruct(std::initializer_list<uint8_t> octets, const std::string& digits) {
    Bytes s(octets);
    s.insert(s.end(), digits.begin(), digits.end());
    s.insert(s.begin(), static_cast<uint8_t>(s.size()));
    return s;
}

// Decodes from an exactly sized heap copy, so AddressSanitizer sees any read past the end.
bool Decode(const Bytes& m, ConnectInd& out, size_t available = SIZE_MAX) {
    std::vector<uint8_t> copy(m);
    return DecodeConnectInd(copy.data(), std::min(available, copy.size()), out);
}

TEST(CapiMessages, BuildersAreByteExact) {
    // Application id 0x10001: only the low 16 bits go into the header.
    EXPECT_EQ(
        ToBytes(BuildListenReq(0x10001)),
        (Bytes{0x1a, 0x00, 0x01, 0x00, 0x05, 0x80, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
               0x00, 0x00, 0x00, 0xff, 0x03, 0xff, 0x1f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
    EXPECT_EQ(
        ToBytes(BuildAlertReq(0x2a7, 0x00000101)),
        (Bytes{0x0d, 0x00, 0xa7, 0x02, 0x01, 0x80, 0x01, 0x00, 0x01, 0x01, 0x00, 0x00, 0x00}));
    EXPECT_EQ(ToBytes(BuildDisconnectResp(1, 0x8a0381)),
              (Bytes{0x0c, 0x00, 0x01, 0x00, 0x04, 0x83, 0x01, 0x00, 0x81, 0x03, 0x8a, 0x00}));
}

TEST(CapiMessages, CommandWordPutsSubcommandHigh) {
    const Bytes conf = {0x0e, 0x00, 0x01, 0x00, 0x05, 0x81, 0x01, 0x00};
    EXPECT_EQ(CommandWord(conf.data()), CAPI_LISTEN_CONF);
    const Bytes ind = ConnectIndWith({0}, {0});
    EXPECT_EQ(CommandWord(ind.data()), CAPI_CONNECT_IND);
}

TEST(CapiMessages, ConnectIndAsTheExchangeSendsIt) {
    // The worked example: called <81>4711, calling <21 83>301234567.
    const Bytes m =
        ConnectIndWith(NumberStruct({0x81}, "4711"), NumberStruct({0x21, 0x83}, "301234567"));
    ASSERT_EQ(m.size(), 39u);
    ConnectInd ind{};
    ASSERT_TRUE(Decode(m, ind));
    EXPECT_EQ(ind.dwPlci, 0x101u);
    EXPECT_STREQ(ind.szCalled, "4711");
    EXPECT_STREQ(ind.szCalling, "0301234567");

    // With its leading 0 already there the number stays as delivered; the old 6-structure
    // tail decodes the same.
    ASSERT_TRUE(Decode(
        ConnectIndWith(NumberStruct({0xc1}, "12"), NumberStruct({0x01, 0x81}, "0891234"), 6), ind));
    EXPECT_STREQ(ind.szCalled, "12");
    EXPECT_STREQ(ind.szCalling, "0891234");
}

TEST(CapiMessages, ConnectIndTypeOfNumberGivesThePrefix) {
    // Octet 3 bits 7-5: 001 international, 010 national, 000 unknown, 100 subscriber.
    struct Case {
        uint8_t octet3;
        const char* digits;
        const char* expected;
    } cases[] = {
        {0x11, "41441234567", "0041441234567"},   // Swiss caller, no longer in Himmelpforten
        {0x91, "441632960000", "00441632960000"}, // extension bit set makes no difference
        {0x11, "49221123456", "0049221123456"},   // German number in international form
        {0x21, "221123456", "0221123456"},
        {0x01, "221123456", "0221123456"},
        {0x41, "1234567", "01234567"},
        {0x11, "0041441234567", "0041441234567"}, // already dialable: as delivered
    };
    ConnectInd ind{};
    for (const Case& c : cases) {
        ASSERT_TRUE(Decode(
            ConnectIndWith(NumberStruct({0x81}, "4711"), NumberStruct({c.octet3, 0x83}, c.digits)),
            ind));
        EXPECT_STREQ(ind.szCalling, c.expected) << int(c.octet3) << " " << c.digits;
    }
    // 15 international digits, the most a number has: "00" and all of them.
    ASSERT_TRUE(Decode(ConnectIndWith(NumberStruct({0x81}, "4711"),
                                      NumberStruct({0x11, 0x83}, std::string(15, '4'))),
                       ind));
    EXPECT_EQ(std::string(ind.szCalling), "00" + std::string(15, '4'));
}

TEST(CapiMessages, ConnectIndWithoutNumbers) {
    ConnectInd ind{};
    for (const Bytes& called : {Bytes{0}, NumberStruct({0x81}, "")}) {
        for (const Bytes& calling :
             {Bytes{0}, NumberStruct({0x21}, ""), NumberStruct({0x01, 0xa3}, "")}) {
            ASSERT_TRUE(Decode(ConnectIndWith(called, calling), ind));
            EXPECT_STREQ(ind.szCalled, "");
            EXPECT_STREQ(ind.szCalling, "0");
        }
    }
}

// No number has more than 15 digits after its prefix: a longer one is refused whole (the
// call is not taken) rather than cut to a number that belongs to somebody else.
TEST(CapiMessages, NumbersLongerThanARealOneAreRefused) {
    ConnectInd ind{};
    ASSERT_TRUE(Decode(ConnectIndWith(NumberStruct({0x81}, std::string(15, '7')),
                                      NumberStruct({0x21, 0x83}, std::string(15, '7'))),
                       ind));
    EXPECT_EQ(std::string(ind.szCalling), "0" + std::string(15, '7'));
    for (const std::string& digits : {std::string(16, '7'), std::string(39, '7'),
                                      std::string(60, '7'), std::string(253, '5')}) {
        EXPECT_FALSE(Decode(
            ConnectIndWith(NumberStruct({0x81}, "4711"), NumberStruct({0x21, 0x83}, digits)), ind))
            << digits;
        EXPECT_STREQ(ind.szCalling, "0");
        EXPECT_FALSE(Decode(
            ConnectIndWith(NumberStruct({0x81}, digits), NumberStruct({0x21, 0x83}, "301234567")),
            ind))
            << digits;
        if (digits.size() < 253) { // with a "0" in front it still fits the structure
            EXPECT_FALSE(Decode(ConnectIndWith(NumberStruct({0x81}, "4711"),
                                               NumberStruct({0x01, 0x83}, "0" + digits)),
                                ind))
                << digits;
        }
    }
}

TEST(CapiMessages, StructsReachingPastTheMessageAreCut) {
    ConnectInd ind{};
    // Called structure claims 200 bytes but the message ends after three digits.
    Bytes m = {0,    0,    0x01, 0x00, 0x02, 0x82, 0x01, 0x80, 0x01, 0x01,
               0x00, 0x00, 0x01, 0x00, 200,  0x81, '1',  '2',  '3'};
    m[0] = static_cast<uint8_t>(m.size());
    ASSERT_TRUE(Decode(m, ind));
    EXPECT_STREQ(ind.szCalled, "123");
    EXPECT_STREQ(ind.szCalling, "0");

    // Calling structure claims more than is there.
    m = ConnectIndWith(NumberStruct({0x81}, "4711"), {250, 0x21, 0x83, '8', '9', '1'}, 0);
    ASSERT_TRUE(Decode(m, ind));
    EXPECT_STREQ(ind.szCalled, "4711");
    EXPECT_STREQ(ind.szCalling, "0891");

    // The message's own length is shorter than the bytes handed in: nothing behind it counts.
    m = ConnectIndWith(NumberStruct({0x81}, "4711"), NumberStruct({0x21, 0x83}, "301234567"));
    m[0] = 18; // ends after "47"
    ASSERT_TRUE(Decode(m, ind));
    EXPECT_STREQ(ind.szCalled, "47");
    EXPECT_STREQ(ind.szCalling, "0");

    // A receive buffer shorter than the message's length field: cut at the buffer.
    m = ConnectIndWith(NumberStruct({0x81}, "4711"), NumberStruct({0x21, 0x83}, "301234567"));
    ASSERT_TRUE(Decode(m, ind, 27)); // up to "3012"
    EXPECT_STREQ(ind.szCalling, "03012");
}

TEST(CapiMessages, MessagesTooShortOrOfAnotherKindAreIgnored) {
    ConnectInd ind{};
    const Bytes full =
        ConnectIndWith(NumberStruct({0x81}, "4711"), NumberStruct({0x21, 0x83}, "301"));
    for (size_t length : {0u, 1u, 2u, 8u, 13u, 14u}) {
        Bytes m(full.begin(), full.begin() + static_cast<long>(length));
        EXPECT_FALSE(Decode(m, ind)) << length;
        EXPECT_EQ(ind.dwPlci, 0u);
        EXPECT_STREQ(ind.szCalled, "0");
        EXPECT_STREQ(ind.szCalling, "0");
    }
    Bytes m = full;
    m[0] = 14; // total length ends before the Called party number
    EXPECT_FALSE(Decode(m, ind));
    m = full;
    m[5] = 0x83; // CONNECT_RESP
    EXPECT_FALSE(Decode(m, ind));
    EXPECT_FALSE(DecodeConnectInd(nullptr, 100, ind));
}

TEST(CapiMessages, NumbersStopAtAZeroByte) {
    ConnectInd ind{};
    ASSERT_TRUE(Decode(ConnectIndWith(NumberStruct({0x81}, std::string("47\0"
                                                                       "11",
                                                                       5)),
                                      NumberStruct({0x21, 0x83}, std::string("\0"
                                                                             "89",
                                                                             3))),
                       ind));
    EXPECT_STREQ(ind.szCalled, "47");
    EXPECT_STREQ(ind.szCalling, "0");
}

TEST(CapiMessages, DisconnectInd) {
    const Bytes m = {0x0e, 0x00, 0x01, 0x00, 0x04, 0x82, 0x02,
                     0x80, 0x01, 0x01, 0x00, 0x00, 0x9a, 0x34};
    uint32_t plci = 0;
    uint16_t reason = 0;
    ASSERT_TRUE(DecodeDisconnectInd(m.data(), m.size(), plci, reason));
    EXPECT_EQ(plci, 0x101u);
    EXPECT_EQ(reason, CAPI_REASON_NON_SELECTED_USER_CLEARING);

    Bytes shorter(m.begin(), m.end() - 1);
    EXPECT_FALSE(DecodeDisconnectInd(shorter.data(), shorter.size(), plci, reason));
    Bytes lying = m;
    lying[0] = 12;
    EXPECT_FALSE(DecodeDisconnectInd(lying.data(), lying.size(), plci, reason));
    Bytes other = m;
    other[4] = 0x02;
    EXPECT_FALSE(DecodeDisconnectInd(other.data(), other.size(), plci, reason));
}

} // namespace
