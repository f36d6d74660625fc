// SPDX-License-Identifier: GPL-3.0-or-later
// The router's call-monitor text: lines as routers write them, lines cut anywhere by TCP,
// and lines nobody should send.
#include "net/CallMonitorParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Call = CCallMonitorReader::Call;
using Kind = CallMonitorEvent::Kind;

std::vector<Call> FeedAll(CCallMonitorReader& reader, const std::string& text) {
    std::vector<Call> calls;
    reader.Feed(text.data(), text.size(), calls);
    return calls;
}

} // namespace

TEST(CallMonitorParser, LinesAsTheRouterWritesThem) {
    CallMonitorEvent ev;
    ASSERT_EQ(ParseCallMonitorLine("08.12.26 14:03:11;RING;0;0301234567;4711;SIP0;", ev),
              CallMonitorLine::Event);
    EXPECT_EQ(ev.kind, Kind::Ring);
    EXPECT_EQ(ev.iConnection, 0u);
    EXPECT_EQ(ev.sCalling, "0301234567");
    EXPECT_EQ(ev.sCalled, "4711");

    // No number sent; no trailing ';' and no line name.
    ASSERT_EQ(ParseCallMonitorLine("08.12.26 14:03:11;RING;12;;4711", ev), CallMonitorLine::Event);
    EXPECT_EQ(ev.iConnection, 12u);
    EXPECT_EQ(ev.sCalling, "0");
    // A foreign caller written with +, and an internal number.
    ASSERT_EQ(ParseCallMonitorLine("x;RING;1;+41441234567;**610;ISDN;", ev),
              CallMonitorLine::Event);
    EXPECT_EQ(ev.sCalling, "0041441234567");
    EXPECT_EQ(ev.sCalled, "**610");

    ASSERT_EQ(ParseCallMonitorLine("08.12.26 14:03:15;CONNECT;0;1;0301234567;", ev),
              CallMonitorLine::Event);
    EXPECT_EQ(ev.kind, Kind::Connect);
    ASSERT_EQ(ParseCallMonitorLine("08.12.26 14:05:40;DISCONNECT;3;145;", ev),
              CallMonitorLine::Event);
    EXPECT_EQ(ev.kind, Kind::Disconnect);
    EXPECT_EQ(ev.iConnection, 3u);

    EXPECT_EQ(ParseCallMonitorLine("08.12.26 14:07:02;CALL;1;1;4711;0891234567;SIP0;", ev),
              CallMonitorLine::Ignored);
    EXPECT_EQ(ParseCallMonitorLine("", ev), CallMonitorLine::Ignored);
    EXPECT_EQ(ParseCallMonitorLine("  ", ev), CallMonitorLine::Ignored);
}

TEST(CallMonitorParser, HostileLinesAreMalformed) {
    const std::vector<std::string> bad = {
        "08.12.26 14:03:11;RING;0;0301234567",                   // called number missing
        "08.12.26 14:03:11;RING",                                // no id
        ";RING;0;0301234567;4711;",                              // no time stamp
        "08.12.26 14:03:11;RING;-1;0301234567;4711;",            // id not a number
        "08.12.26 14:03:11;RING;4294967296;030;4711;",           // id too long
        "08.12.26 14:03:11;RING;0;030 1234;4711;",               // blank in a number
        "08.12.26 14:03:11;RING;0;030,1234;4711;",               // comma would shift announcements
        "08.12.26 14:03:11;RING;0;+;4711;",                      // a lone +
        "08.12.26 14:03:11;CONNECT;0",                           // extension missing
        "08.12.26 14:03:11;DISCONNECT;0",                        // duration missing
        "08.12.26 14:03:11;ring;0;030;4711;",                    // unknown event
        std::string("08.12.26 14:03:11;RING;0;030\0;4711;", 34), // binary
        "08.12.26 14:03:11;RING;0;030\x1b[2J;4711;",
        "08.12.26 14:03:11;RING;0;030;4711;" + std::string(1000, 'x'), // over 1 KiB
    };
    for (const std::string& line : bad) {
        CallMonitorEvent ev;
        ev.sCalling = "untouched";
        EXPECT_EQ(ParseCallMonitorLine(line, ev), CallMonitorLine::Malformed) << line;
        EXPECT_EQ(ev.sCalling, "untouched") << line;
    }
}

// A number has at most 15 digits after its prefix zeros; the call log holds 20 characters. A
// longer one is refused whole, on either side of the call, never cut to fit.
TEST(CallMonitorParser, NumbersLongerThanARealOneAreRefused) {
    CallMonitorEvent ev;
    EXPECT_EQ(ParseCallMonitorLine("x;RING;0;+" + std::string(15, '4') + ";4711;", ev),
              CallMonitorLine::Event);
    EXPECT_EQ(ev.sCalling, "00" + std::string(15, '4'));
    EXPECT_EQ(ParseCallMonitorLine("x;RING;0;00000" + std::string(15, '4') + ";4711;", ev),
              CallMonitorLine::Event);
    for (const std::string& overlong :
         {std::string(16, '4'), "+" + std::string(16, '4'), "0" + std::string(20, '0'),
          std::string(39, '1'), std::string(40, '1')}) {
        ev.sCalling = "untouched";
        EXPECT_EQ(ParseCallMonitorLine("x;RING;0;" + overlong + ";4711;", ev),
                  CallMonitorLine::OverlongNumber)
            << overlong;
        EXPECT_EQ(ParseCallMonitorLine("x;RING;0;0301234567;" + overlong + ";", ev),
                  CallMonitorLine::OverlongNumber)
            << overlong;
        EXPECT_EQ(ev.sCalling, "untouched");
    }
}

TEST(CallMonitorReader, LinesCutAnywhereAndCrLf) {
    const std::string text = "08.12.26 14:03:11;RING;0;0301234567;4711;SIP0;\r\n"
                             "08.12.26 14:03:15;CONNECT;0;1;0301234567;\r\n"
                             "08.12.26 14:05:40;DISCONNECT;0;145;\r\n";
    for (size_t step = 1; step <= text.size(); ++step) {
        CCallMonitorReader reader;
        std::vector<Call> calls;
        for (size_t at = 0; at < text.size(); at += step)
            reader.Feed(text.data() + at, std::min(step, text.size() - at), calls);
        ASSERT_EQ(calls.size(), 3u) << "step " << step;
        EXPECT_EQ(calls[0].event.kind, Kind::Ring);
        EXPECT_EQ(calls[0].event.sCalled, "4711");
        EXPECT_EQ(calls[1].event.kind, Kind::Connect);
        EXPECT_EQ(calls[2].event.kind, Kind::Disconnect);
        EXPECT_EQ(calls[0].dwCallId, calls[1].dwCallId);
        EXPECT_EQ(calls[0].dwCallId, calls[2].dwCallId);
        EXPECT_NE(calls[0].dwCallId, 0u);
        EXPECT_EQ(reader.SkippedLines(), 0u);
    }
}

TEST(CallMonitorReader, ReusedConnectionIdsAndOverlappingCalls) {
    CCallMonitorReader reader;
    auto calls = FeedAll(reader, "t;RING;0;0301;4711;SIP0;\n"
                                 "t;RING;1;0892;4711;SIP0;\n" // overlaps the first
                                 "t;CONNECT;1;1;0892;\n"
                                 "t;DISCONNECT;0;0;\n"
                                 "t;DISCONNECT;1;12;\n"
                                 "t;RING;0;0403;4711;SIP0;\n" // id 0 again: a new call
                                 "t;CONNECT;0;1;0403;\n");
    ASSERT_EQ(calls.size(), 7u);
    const uint32_t first = calls[0].dwCallId, second = calls[1].dwCallId, third = calls[5].dwCallId;
    EXPECT_NE(first, second);
    EXPECT_NE(first, third);
    EXPECT_EQ(calls[2].dwCallId, second);
    EXPECT_EQ(calls[3].dwCallId, first);
    EXPECT_EQ(calls[4].dwCallId, second);
    EXPECT_EQ(calls[6].dwCallId, third);

    // An outgoing call's CONNECT and DISCONNECT, and those of calls never seen, give nothing.
    EXPECT_TRUE(FeedAll(reader, "t;CALL;2;1;4711;0891234;SIP0;\nt;CONNECT;2;1;0891234;\n"
                                "t;DISCONNECT;2;30;\nt;DISCONNECT;0;1;\nt;DISCONNECT;0;1;\n")
                    .size() == 1); // only the DISCONNECT of the third call
}

TEST(CallMonitorReader, OverlongAndBinaryLinesAreSkippedAndTheNextLineCounts) {
    CCallMonitorReader reader;
    std::vector<Call> calls;
    const std::string longPart(700, 'A');
    // An overlong line arriving in pieces, without a line end for a long time.
    for (int i = 0; i < 20; ++i)
        reader.Feed(longPart.data(), longPart.size(), calls);
    const std::string rest = "tail;RING;9;0301;4711;\n";
    reader.Feed(rest.data(), rest.size(), calls);
    EXPECT_TRUE(calls.empty());
    const std::string binary("\x00\xff\xfe;RING;1;0301;4711;\n\x01\x02\x03\n", 26);
    reader.Feed(binary.data(), binary.size(), calls);
    EXPECT_TRUE(calls.empty());
    const std::string good = "t;RING;2;0301234567;4711;\n";
    reader.Feed(good.data(), good.size(), calls);
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].event.iConnection, 2u);
    EXPECT_EQ(reader.SkippedLines(), 3u);

    // Exactly 1024 characters (plus \r) are taken; the partial line of a dropped connection
    // is not glued to the first line of the next.
    std::string exact = "t;RING;3;0301;4711;";
    exact += std::string(1024 - exact.size(), 'x');
    exact += "\r\n";
    calls.clear();
    reader.Feed(exact.data(), exact.size(), calls);
    EXPECT_EQ(calls.size(), 1u);
    const std::string cut = "t;RING;4;03";
    reader.Feed(cut.data(), cut.size(), calls);
    reader.NewConnection();
    const std::string next = "t;RING;5;0301;4711;\n";
    reader.Feed(next.data(), next.size(), calls);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].event.iConnection, 5u);
}
