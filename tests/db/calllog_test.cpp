// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TableSupport.h"
#include "support/TestSupport.h"

using namespace tabletest;

namespace {

class CallLogTest : public ::testing::Test {
protected:
    static std::string Raw(uint32_t recNo, const char* name) {
        CBase table(kCallLogFile);
        table.GoTo(recNo);
        return table.GetField(name, false);
    }
    static int State(uint32_t recNo) {
        CBase table(kCallLogFile);
        return table.GoTo(recNo);
    }

    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
};

TEST_F(CallLogTest, CallsGetConsecutiveRecordsWithTheirFields) {
    CreateCallLog();
    EXPECT_EQ(LogCall("0301234567", "4711", 1700000000), 0);
    EXPECT_EQ(LogCall(std::string(30, '7'), std::string(25, '8'), 999999999), 1);
    EXPECT_EQ(Raw(0, "ZEIT"), "1700000000");
    EXPECT_EQ(Raw(0, "ANRUFER"), "0301234567          ");
    EXPECT_EQ(Raw(0, "GERUFENER"), "4711                ");
    EXPECT_EQ(Raw(0, "ANG"), " ");
    EXPECT_EQ(Raw(1, "ZEIT"), "999999999 "); // nine digits and a blank
    EXPECT_EQ(Raw(1, "ANRUFER"), std::string(20, '7'));
    EXPECT_EQ(Raw(1, "GERUFENER"), std::string(20, '8'));
    EXPECT_EQ(cbtest::ReadWholeFile(kCallLogFile).size(), 161u + 2 * 52u + 1u);
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(CallLogTest, MissingTableIsReportedOncePerOperation) {
    EXPECT_EQ(LogCall("0301", "4711", 1), -1);
    MarkAnswered(0);
    EXPECT_FALSE(MarkAnsweredCall(0, 1, "0301"));
    ASSERT_EQ(boxes.texts().size(), 3u);
    for (const std::string& text : boxes.texts())
        EXPECT_EQ(text, "Anrufer Datenbank nicht gefunden/geöffnet");
}

TEST_F(CallLogTest, MarkAnsweredSetsTheMarkAndRevivesADeletedRecord) {
    CreateCallLog();
    LogCall("0301", "4711", 100);
    LogCall("0302", "4711", 200);
    ASSERT_EQ(CBase(kCallLogFile).Delete(1), 1);
    MarkAnswered(1);
    EXPECT_EQ(Raw(1, "ANG"), "J");
    EXPECT_EQ(Raw(1, "ANRUFER"), "0302                ");
    EXPECT_EQ(State(1), 1);
    EXPECT_EQ(Raw(0, "ANG"), " ");

    const std::string before = cbtest::ReadWholeFile(kCallLogFile);
    MarkAnswered(2);
    MarkAnswered(-1);
    EXPECT_EQ(cbtest::ReadWholeFile(kCallLogFile), before);
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(CallLogTest, AnsweredCallIsFoundAgainAfterThePackMovedIt) {
    CreateCallLog();
    LogCall("0301", "4711", 100);
    const int32_t rec = LogCall("0302", "4711", 200);
    LogCall("0303", "4711", 300);
    ASSERT_EQ(rec, 1);
    {
        CBase table(kCallLogFile);
        ASSERT_EQ(table.Delete(0), 1);
        ASSERT_TRUE(table.Pack());
    }
    // Record 1 now holds the 0303 call; it must stay unmarked.
    EXPECT_TRUE(MarkAnsweredCall(rec, 200, "0302"));
    EXPECT_EQ(Raw(0, "ANG"), "J");
    EXPECT_EQ(Raw(1, "ANG"), " ");
}

TEST_F(CallLogTest, AnsweredCallMarksNothingWhenTheCallIsGone) {
    CreateCallLog();
    LogCall("0301", "4711", 100);
    LogCall("0302", "4711", 200);
    {
        CBase table(kCallLogFile);
        ASSERT_EQ(table.Delete(1), 1);
        ASSERT_TRUE(table.Pack());
    }
    const std::string before = cbtest::ReadWholeFile(kCallLogFile);
    EXPECT_FALSE(MarkAnsweredCall(1, 200, "0302"));
    EXPECT_FALSE(MarkAnsweredCall(0, 200, "0301"));   // same caller, other time
    EXPECT_FALSE(MarkAnsweredCall(0, "100", "0302")); // same time, other caller
    EXPECT_EQ(cbtest::ReadWholeFile(kCallLogFile), before);
}

TEST_F(CallLogTest, AnsweredCallPrefersItsOwnRecordThenTheNewestTwin) {
    CreateCallLog();
    const std::string longNumber = std::string(25, '5');
    LogCall(longNumber, "4711", 100);
    LogCall(longNumber, "4711", 100);
    LogCall(longNumber, "4711", 100);
    EXPECT_TRUE(MarkAnsweredCall(0, 100, longNumber)); // stored cut, still the same call
    EXPECT_EQ(Raw(0, "ANG"), "J");
    EXPECT_EQ(Raw(2, "ANG"), " ");
    EXPECT_TRUE(MarkAnsweredCall(7, "100", longNumber));
    EXPECT_EQ(Raw(2, "ANG"), "J");
    EXPECT_EQ(Raw(1, "ANG"), " ");
}

TEST_F(CallLogTest, OddLayoutLogsWhatFitsAndIgnoresTheRest) {
    CBase table;
    table.AddField(0, "ZEIT", 'C', 6, 0);
    table.AddField(1, "ANRUFER", 'C', 40, 0);
    table.AddField(2, "NOTIZ", 'C', 5, 0);
    ASSERT_TRUE(table.Create(kCallLogFile));
    table.Close();
    EXPECT_EQ(LogCall("0301\xE4\xFF", "4711", 1700000000), 0);
    EXPECT_EQ(Raw(0, "ZEIT"), "170000");
    EXPECT_EQ(Raw(0, "ANG"), "");
    CBase check(kCallLogFile);
    check.GoTo(0);
    EXPECT_EQ(check.GetField("ANRUFER"), "0301\xE4\xFF");
    MarkAnswered(0); // no ANG column: nothing to set, no harm
    EXPECT_EQ(State(0), 1);
}

} // namespace
