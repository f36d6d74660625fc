// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/CBase.h"
#include "db/CBaseTesting.h"
#include "platform/Clock.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace {

using cbtest::ReadWholeFile;
using cbtest::WriteWholeFile;

// Noon UTC, so the local date is the same in every time zone a test machine uses.
constexpr int64_t k2026_03_04 = 1772625600;
constexpr int64_t k2031_11_30 = 1953806400;

uint32_t Le32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) | uint32_t(uint8_t(b[at + 1])) << 8 |
           uint32_t(uint8_t(b[at + 2])) << 16 | uint32_t(uint8_t(b[at + 3])) << 24;
}
uint16_t Le16(const std::string& b, size_t at) {
    return uint16_t(uint8_t(b[at]) | uint8_t(b[at + 1]) << 8);
}

class CBaseTest : public ::testing::Test {
protected:
    void SetUp() override {
        cb::SetClockOverride([] { return k2026_03_04; });
    }
    void TearDown() override {
        cb::SetClockOverride({});
        cbase_testing::SetPackRename({});
    }

    // NAME 10, TEL 5: record length 16, header length 97.
    static bool MakeSmall(CBase& db, const std::string& file = "t.dbf") {
        db.AddField(0, "name", 'c', 10, 0);
        db.AddField(1, "Tel", 'N', 5, 0);
        return db.Create(file);
    }
    static void Add(CBase& db, const std::string& name, const std::string& tel) {
        db.PutField("NAME", name);
        db.PutField("TEL", tel);
        ASSERT_EQ(db.Append(), 1);
    }
    static std::string Names(CBase& db) {
        std::string all;
        for (uint32_t i = 0; i < db.RecCount(); ++i) {
            int r = db.GoTo(i);
            all += (r == 0 ? "*" : "") + db.GetField("NAME") + ";";
        }
        return all;
    }

    // Pack's scratch table: beside the table, named for this process.
    std::string ScratchName() const {
        return dir.file("~temp01." + std::to_string(::getpid()) + ".dbf");
    }

    cbtest::TempDir dir;
};

TEST_F(CBaseTest, CreateWritesTheDocumentedLayoutByteForByte) {
    CBase db;
    EXPECT_EQ(db.AddField(0, "vorname_lang_x", 'c', 20, 0), 50);
    EXPECT_EQ(db.AddField(1, "alter", 'n', 3, 1), 49);
    ASSERT_TRUE(db.Create("neu.dbf"));
    EXPECT_TRUE(db.IsOpen());
    EXPECT_EQ(db.FieldCount(), 2);
    EXPECT_EQ(db.FieldName(0), "VORNAME_LA");
    EXPECT_EQ(db.FieldName(2), "");

    std::string b = ReadWholeFile("neu.dbf");
    ASSERT_EQ(b.size(), 32u * 3 + 2);
    EXPECT_EQ(uint8_t(b[0]), 0x03);
    EXPECT_EQ(uint8_t(b[1]), 126);
    EXPECT_EQ(uint8_t(b[2]), 3);
    EXPECT_EQ(uint8_t(b[3]), 4);
    EXPECT_EQ(Le32(b, 4), 0u);
    EXPECT_EQ(Le16(b, 8), 97);
    EXPECT_EQ(Le16(b, 10), 24);
    // Reserved bytes zero, but for the code-page mark of Windows-1252 in byte 29.
    EXPECT_EQ(b.substr(12, 20), std::string(17, '\0') + "\x57" + std::string(2, '\0'));
    EXPECT_EQ(b.substr(32, 11), std::string("VORNAME_LA\0", 11));
    EXPECT_EQ(b[43], 'C');
    EXPECT_EQ(uint8_t(b[48]), 20);
    EXPECT_EQ(b.substr(64, 11), std::string("ALTER\0\0\0\0\0\0", 11));
    EXPECT_EQ(b[75], 'N');
    EXPECT_EQ(uint8_t(b[80]), 3);
    EXPECT_EQ(uint8_t(b[81]), 1);
    EXPECT_EQ(uint8_t(b[96]), 0x0D);
    EXPECT_EQ(uint8_t(b[97]), 0x1A);

    // A memo field only changes the version byte; a rejected layout leaves no file behind.
    CBase memo;
    memo.AddField(0, "TEXT", 'm', 10, 0);
    ASSERT_TRUE(memo.Create("memo.dbf"));
    EXPECT_EQ(uint8_t(ReadWholeFile("memo.dbf")[0]), 0x83);
    CBase bad;
    bad.AddField(0, "A", 'C', 0, 0);
    EXPECT_FALSE(bad.Create("bad.dbf"));
    CBase tooWide;
    for (int i = 0; i < 4; ++i)
        tooWide.AddField(i, "F" + std::to_string(i), 'C', 251, 0);
    EXPECT_FALSE(tooWide.Create("wide.dbf"));
    EXPECT_FALSE(std::filesystem::exists("bad.dbf"));
    EXPECT_FALSE(std::filesystem::exists("wide.dbf"));
}

TEST_F(CBaseTest, EmptyTableThenFirstAppendOverwritesTheEndMarker) {
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    EXPECT_EQ(db.RecCount(), 0u);
    EXPECT_EQ(db.GoTo(0), -1);
    EXPECT_EQ(db.Find("NAME", "", CBase::FindPrefix), -1);

    Add(db, "Meier", "123");
    EXPECT_EQ(db.RecNo(), 0u);
    std::string b = ReadWholeFile("t.dbf");
    ASSERT_EQ(b.size(), 97u + 16 + 1);
    EXPECT_EQ(b.substr(97, 16), " Meier     123  ");
    EXPECT_EQ(uint8_t(b.back()), 0x1A);
    EXPECT_EQ(Le32(b, 4), 1u);

    Add(db, "Schulz", "45");
    EXPECT_EQ(db.RecNo(), 1u);
    EXPECT_EQ(ReadWholeFile("t.dbf").size(), 97u + 2 * 16 + 1);
}

TEST_F(CBaseTest, FieldsAreCutPaddedTrimmedAndFoundWithoutRegardToCase) {
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    db.PutField("name", "Abcdefghijklmno");
    db.PutField("TEL", "7  ");
    db.PutField("UNBEKANNT", "x");
    EXPECT_EQ(db.GetField("NAME"), "Abcdefghij");
    EXPECT_EQ(db.GetField("nAmE"), "Abcdefghij");
    EXPECT_EQ(db.GetField("tel"), "7");
    EXPECT_EQ(db.GetField("TEL", false), "7    ");
    EXPECT_EQ(db.GetField("UNBEKANNT"), "");
    // Umlauts are bytes like any other and never fold.
    db.PutField("NAME", "M\xfcller");
    EXPECT_EQ(db.GetField("NAME"), "M\xfcller");
    ASSERT_EQ(db.Append(), 1);
    ASSERT_EQ(db.GoTo(0), 1);
    EXPECT_EQ(db.GetField("NAME"), "M\xfcller");

    // A NUL byte in the file ends the field's text.
    std::string b = ReadWholeFile("t.dbf");
    b[97 + 1 + 3] = '\0';
    WriteWholeFile("t.dbf", b);
    ASSERT_TRUE(db.Open("t.dbf"));
    ASSERT_EQ(db.GoTo(0), 1);
    EXPECT_EQ(db.GetField("NAME"), "M\xfcl");
}

TEST_F(CBaseTest, DeleteRecallAndWriteSetTheFlagAndStampTheDate) {
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    Add(db, "A", "1");
    Add(db, "B", "2");
    Add(db, "C", "3");

    cb::SetClockOverride([] { return k2031_11_30; });
    ASSERT_EQ(db.Delete(1), 1);
    EXPECT_EQ(db.RecNo(), 1u);
    std::string b = ReadWholeFile("t.dbf");
    EXPECT_EQ(b[97 + 16], '*');
    EXPECT_EQ(uint8_t(b[1]), 131);
    EXPECT_EQ(uint8_t(b[2]), 11);
    EXPECT_EQ(uint8_t(b[3]), 30);

    // A deleted record still loads its data.
    db.PutField("NAME", "zz");
    EXPECT_EQ(db.GoTo(1), 0);
    EXPECT_EQ(db.GetField("NAME"), "B");
    ASSERT_EQ(db.Recall(1), 1);
    EXPECT_EQ(db.GoTo(1), 1);

    ASSERT_EQ(db.Delete(2), 1);
    EXPECT_EQ(db.GoTo(2), 0);
    db.PutField("NAME", "C2");
    ASSERT_EQ(db.Write(), 1);
    EXPECT_EQ(db.GoTo(2), 1);
    EXPECT_EQ(db.GetField("NAME"), "C2");
    EXPECT_EQ(Names(db), "A;B;C2;");

    EXPECT_EQ(db.Delete(3), 0);
    EXPECT_EQ(db.Recall(-1), 0);
    EXPECT_EQ(db.GoTo(3), -1);
    EXPECT_EQ(db.GetField("NAME"), "C2"); // buffer unchanged by a failed GoTo
    EXPECT_EQ(db.Write(), 0);             // current record 3 does not exist
    EXPECT_EQ(ReadWholeFile("t.dbf").size(), 97u + 3 * 16 + 1);
}

TEST_F(CBaseTest, HeaderWritesKeepReservedBytesFromOtherTools) {
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    Add(db, "A", "1");
    db.Close();
    std::string b = ReadWholeFile("t.dbf");
    b[29] = char(0x57); // a language driver byte, as other writers set it
    b[14] = char(0x01);
    WriteWholeFile("t.dbf", b);
    ASSERT_TRUE(db.Open("t.dbf"));
    ASSERT_EQ(db.Delete(0), 1);
    Add(db, "B", "2");
    b = ReadWholeFile("t.dbf");
    EXPECT_EQ(uint8_t(b[29]), 0x57);
    EXPECT_EQ(uint8_t(b[14]), 0x01);
    EXPECT_EQ(Le32(b, 4), 2u);
}

TEST_F(CBaseTest, FindModes) {
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    Add(db, "Meier", "1");
    Add(db, "meiER", "2");
    Add(db, "Obermeier", "3");
    Add(db, "", "4");
    Add(db, "M\xfcller", "5");

    struct Case {
        const char* field;
        std::string value;
        int mode;
        int64_t expected;
    } cases[] = {
        {"NAME", "Mei", CBase::FindPrefix, 0},
        {"NAME", "mei", CBase::FindPrefix, 1},
        {"NAME", "MEI", CBase::FindPrefixNoCase, 0},
        {"NAME", "meier", CBase::FindContains, 2},
        {"NAME", "MEIER", CBase::FindContainsNoCase, 0},
        {"NAME", "ERMEI", CBase::FindContainsNoCase, 2},
        {"NAME", "meier", CBase::FindExact, -1},
        {"NAME", "meiER", CBase::FindExact, 1},
        {"NAME", "", CBase::FindExact, 3},
        {"NAME", "", CBase::FindPrefix, 0},
        {"NAME", "", CBase::FindContainsNoCase, 0},
        {"NAME", "M\xdcLLER", CBase::FindPrefixNoCase, -1}, // umlauts do not fold
        {"NAME", "M\xfcller", CBase::FindExact, 4},
        {"NAME", "Obermeier  x", CBase::FindPrefix, -1},  // longer than the field
        {"NAME", "Obermeier  ", CBase::FindContains, -1}, // longer than the field
        {"NAME", "Meier", 5, -1},
        {"NAME", "Meier", -1, -1},
        {"tel", "3", CBase::FindExact, 2},
        {"GIBTSNICHT", "x", CBase::FindExact, -2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(db.Find(c.field, c.value, c.mode), c.expected)
            << c.field << " '" << c.value << "' mode " << c.mode;

    // A value with a NUL ends there.
    EXPECT_EQ(db.Find("NAME", std::string("Ober\0x", 6), CBase::FindPrefix), 2);
}

TEST_F(CBaseTest, FindLeavesTheRecordItStoppedAt) {
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    Add(db, "Anna", "1");
    Add(db, "Bert", "2");
    Add(db, "Carl", "3");
    ASSERT_EQ(db.Delete(0), 1);

    EXPECT_EQ(db.Find("NAME", "Bert", CBase::FindExact), 1);
    EXPECT_EQ(db.RecNo(), 1u);
    EXPECT_EQ(db.GetField("TEL"), "2");

    // Without skipping, a deleted record may be the result; with it, never.
    EXPECT_EQ(db.Find("NAME", "Anna", CBase::FindExact), 0);
    EXPECT_EQ(db.GetField("TEL"), "1");
    db.SkipDeleted(true);
    EXPECT_EQ(db.Find("NAME", "Anna", CBase::FindExact), -1);
    EXPECT_EQ(db.Find("NAME", "", CBase::FindPrefix), 1);

    // Nothing found: the last record read is current and in the buffer.
    EXPECT_EQ(db.Find("NAME", "Dora", CBase::FindExact), -1);
    EXPECT_EQ(db.RecNo(), 2u);
    EXPECT_EQ(db.GetField("NAME"), "Carl");

    EXPECT_EQ(db.Find("NOPE", "x", CBase::FindExact), -2);
    EXPECT_EQ(db.RecNo(), 0u);
}

TEST_F(CBaseTest, KeyScramblesFieldBytesOnly) {
    const std::string key = "Geheim";
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    db.SetKey(key);
    Add(db, "Hamburg", "40");
    Add(db, "Berlin", "30");
    ASSERT_EQ(db.Delete(0), 1);

    std::string b = ReadWholeFile("t.dbf");
    std::string plain = "Berlin    30   ";
    std::string expected;
    for (size_t i = 0; i < plain.size(); ++i) {
        size_t k = i % key.size();
        expected += char(uint8_t(plain[i]) ^ uint8_t(k + uint8_t(key[k])));
    }
    EXPECT_EQ(b[97], '*');
    EXPECT_EQ(b[97 + 16], ' ');
    EXPECT_EQ(b.substr(97 + 16 + 1, 15), expected);
    EXPECT_EQ(b.substr(32, 4), "NAME");

    EXPECT_EQ(db.Find("TEL", "30", CBase::FindExact), 1);
    EXPECT_EQ(db.Find("NAME", "BURG", CBase::FindContainsNoCase), 0);
    ASSERT_TRUE(db.Pack());
    EXPECT_EQ(db.RecCount(), 1u);
    ASSERT_EQ(db.GoTo(0), 1);
    EXPECT_EQ(db.GetField("NAME"), "Berlin");
    EXPECT_EQ(ReadWholeFile("t.dbf").substr(97 + 1, 15), expected);

    // Without the key the bytes come back as stored; an empty key switches it off.
    CBase raw("t.dbf");
    ASSERT_EQ(raw.GoTo(0), 1);
    EXPECT_NE(raw.GetField("NAME", false), "Berlin    ");
    raw.SetKey(key);
    ASSERT_EQ(raw.GoTo(0), 1);
    EXPECT_EQ(raw.GetField("NAME"), "Berlin");
    raw.SetKey("");
    ASSERT_EQ(raw.GoTo(0), 1);
    EXPECT_NE(raw.GetField("NAME"), "Berlin");
}

TEST_F(CBaseTest, PackDropsDeletedRecordsInOrder) {
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    for (int i = 0; i < 7; ++i)
        Add(db, "N" + std::to_string(i), std::to_string(i));
    ASSERT_EQ(db.Delete(0), 1);
    ASSERT_EQ(db.Delete(3), 1);
    ASSERT_EQ(db.Delete(6), 1);
    ASSERT_EQ(db.GoTo(4), 1);
    std::string b = ReadWholeFile("t.dbf");
    b[20] = 7; // reserved bytes are not carried over
    WriteWholeFile("t.dbf", b);

    cb::SetClockOverride([] { return k2031_11_30; });
    ASSERT_TRUE(db.Pack());
    EXPECT_TRUE(db.IsOpen());
    EXPECT_EQ(db.RecNo(), 4u);
    EXPECT_EQ(db.GetField("NAME"), "N4");
    EXPECT_EQ(Names(db), "N1;N2;N4;N5;");
    EXPECT_FALSE(std::filesystem::exists("~temp01.dbf"));
    b = ReadWholeFile("t.dbf");
    ASSERT_EQ(b.size(), 97u + 4 * 16 + 1);
    EXPECT_EQ(uint8_t(b[1]), 131);
    EXPECT_EQ(b.substr(12, 20), std::string(17, '\0') + "\x57" + std::string(2, '\0'));
    EXPECT_EQ(uint8_t(b.back()), 0x1A);

    for (int i = 0; i < 4; ++i)
        ASSERT_EQ(db.Delete(i), 1);
    ASSERT_TRUE(db.Pack());
    EXPECT_EQ(db.RecCount(), 0u);
    EXPECT_EQ(ReadWholeFile("t.dbf").size(), 98u);
    Add(db, "neu", "1");
    EXPECT_EQ(Names(db), "neu;");
}

TEST_F(CBaseTest, PackReplacesTheTableInOneStep) {
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    for (int i = 0; i < 5; ++i)
        Add(db, "N" + std::to_string(i), std::to_string(i));
    ASSERT_EQ(db.Delete(1), 1);
    const std::string before = ReadWholeFile("t.dbf");

    // At the final step, as a crash there would find it: the table still holds every old
    // record and the scratch table every packed one.
    std::string atRename;
    cbase_testing::SetPackRename([&](const std::string& from, const std::string& to) {
        atRename = to;
        EXPECT_EQ(from, ScratchName());
        EXPECT_EQ(ReadWholeFile(to), before);
        CBase scratch;
        EXPECT_TRUE(scratch.Open(from));
        EXPECT_EQ(scratch.RecCount(), 4u);
        return false;
    });
    EXPECT_FALSE(db.Pack());
    EXPECT_EQ(atRename, dir.file("t.dbf"));
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(ReadWholeFile("t.dbf"), before);
    CBase packed;
    ASSERT_TRUE(packed.Open(ScratchName()));
    EXPECT_EQ(Names(packed), "N0;N2;N3;N4;");

    // With the real rename the old scratch table is replaced and then gone.
    cbase_testing::SetPackRename({});
    packed.Close();
    ASSERT_TRUE(db.Open("t.dbf"));
    ASSERT_TRUE(db.Pack());
    EXPECT_EQ(Names(db), "N0;N2;N3;N4;");
    EXPECT_FALSE(std::filesystem::exists(ScratchName()));
}

TEST_F(CBaseTest, PackFailsCleanlyWhenTheScratchTableCannotBeMade) {
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    Add(db, "A", "1");
    ASSERT_EQ(db.Delete(0), 1);
    // A folder in the scratch table's place cannot be removed or opened as a file.
    std::filesystem::create_directories(ScratchName() + "/x");
    const std::string before = ReadWholeFile("t.dbf");
    EXPECT_FALSE(db.Pack());
    EXPECT_TRUE(db.IsOpen());
    EXPECT_EQ(db.RecCount(), 1u);
    EXPECT_EQ(ReadWholeFile("t.dbf"), before);
}

TEST_F(CBaseTest, WritesThroughOneObjectAreSeenByAnother) {
    CBase a, b;
    ASSERT_TRUE(MakeSmall(a));
    for (int i = 0; i < 50; ++i)
        Add(a, "N" + std::to_string(i), std::to_string(i));
    ASSERT_TRUE(b.Open("t.dbf"));
    ASSERT_EQ(b.GoTo(10), 1); // fills b's read-ahead
    ASSERT_EQ(a.GoTo(11), 1);
    a.PutField("NAME", "neu");
    ASSERT_EQ(a.Write(), 1);
    ASSERT_EQ(a.Delete(12), 1);
    EXPECT_EQ(b.GoTo(11), 1);
    EXPECT_EQ(b.GetField("NAME"), "neu");
    EXPECT_EQ(b.GoTo(12), 0);
}

TEST_F(CBaseTest, OpenFailuresLeaveTheObjectClosed) {
    CBase db;
    EXPECT_FALSE(db.Open("fehlt.dbf"));
    EXPECT_FALSE(std::filesystem::exists("fehlt.dbf"));
    EXPECT_FALSE(db.Open(std::string(300, 'x')));
    ASSERT_TRUE(MakeSmall(db));
    Add(db, "A", "1");
    db.Close();
    EXPECT_FALSE(db.IsOpen());
    EXPECT_EQ(db.RecCount(), 0u);
    EXPECT_EQ(db.GoTo(0), -1);
    EXPECT_EQ(db.Append(), 0);
    EXPECT_FALSE(db.Pack());

    std::filesystem::permissions("t.dbf", std::filesystem::perms::owner_read |
                                              std::filesystem::perms::group_read);
    // Without a write permission bit the file is read-only for root as well.
    EXPECT_FALSE(db.Open("t.dbf"));
    EXPECT_EQ(db.LastError(), CBase::Error::NoAccess);
    ASSERT_TRUE(db.OpenForReading("t.dbf"));
    EXPECT_EQ(db.GoTo(0), 1);
    EXPECT_EQ(db.Append(), 0);
    EXPECT_EQ(db.LastError(), CBase::Error::NoAccess);
}

// Damaged headers: each must fail to open, or open with GoTo refusing what is not there.
TEST_F(CBaseTest, DamagedFilesNeverReadOutsideTheFile) {
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    Add(db, "A", "1");
    Add(db, "B", "2");
    db.Close();
    const std::string good = ReadWholeFile("t.dbf");

    auto with = [&](auto change) {
        std::string b = good;
        change(b);
        WriteWholeFile("d.dbf", b);
        return db.Open("d.dbf");
    };
    auto put16 = [](std::string& b, size_t at, int v) {
        b[at] = char(v & 0xff);
        b[at + 1] = char(v >> 8);
    };
    EXPECT_FALSE(with([](std::string& b) { b.resize(20); }));
    EXPECT_FALSE(with([](std::string& b) { b.resize(60); })); // header longer than the file
    EXPECT_FALSE(with([](std::string& b) { b.clear(); }));
    EXPECT_FALSE(with([&](std::string& b) { put16(b, 8, 32); }));
    EXPECT_FALSE(with([&](std::string& b) { put16(b, 8, 0); }));
    EXPECT_FALSE(with([&](std::string& b) { put16(b, 8, 60000); }));
    EXPECT_FALSE(with([&](std::string& b) { put16(b, 10, 0); }));
    EXPECT_FALSE(with([&](std::string& b) { put16(b, 10, 1002); }));
    EXPECT_FALSE(with([&](std::string& b) { put16(b, 10, 15); })); // fields past the record
    EXPECT_FALSE(with([](std::string& b) { b[96] = 0x20; }));      // no terminator
    EXPECT_FALSE(with([](std::string& b) { b[48] = 0; }));         // width 0
    EXPECT_FALSE(with([&](std::string& b) {                        // 51 descriptors
        std::string desc(32, '\0');
        desc[0] = 'F';
        desc[11] = 'C';
        desc[16] = 1;
        std::string more;
        for (int i = 0; i < 51; ++i)
            more += desc;
        b = b.substr(0, 32) + more + "\x0d" + b.substr(97);
        put16(b, 8, 32 * 52 + 1);
        put16(b, 10, 52);
    }));
    EXPECT_FALSE(db.IsOpen());

    // A name without a NUL takes all 11 bytes.
    ASSERT_TRUE(with([](std::string& b) { std::memcpy(&b[32], "ABCDEFGHIJK", 11); }));
    EXPECT_EQ(db.FieldName(0), "ABCDEFGHIJK");
    ASSERT_EQ(db.GoTo(1), 1);
    EXPECT_EQ(db.GetField("abcdefghijk"), "B");

    // A count beyond the data: what is missing is out of reach, Append refuses to leave a hole.
    ASSERT_TRUE(with([](std::string& b) { b[4] = 9; }));
    EXPECT_EQ(db.RecCount(), 9u);
    EXPECT_EQ(db.GoTo(1), 1);
    EXPECT_EQ(db.GoTo(2), -1);
    EXPECT_EQ(db.GetField("NAME"), "B");
    EXPECT_EQ(db.Find("NAME", "x", CBase::FindExact), -1);
    EXPECT_EQ(db.GetField("NAME"), "B");
    EXPECT_EQ(db.Append(), 0);
    EXPECT_EQ(db.Delete(5), 0);
    EXPECT_FALSE(db.Pack());
    EXPECT_TRUE(db.IsOpen());
    EXPECT_EQ(Le32(ReadWholeFile("d.dbf"), 4), 9u);
    ASSERT_TRUE(with([](std::string& b) { b[7] = char(0xff); }));
    EXPECT_EQ(db.GoTo(int64_t(db.RecCount()) - 1), -1);

    // A record cut short at the end of the file.
    ASSERT_TRUE(with([](std::string& b) { b.resize(97 + 16 + 10); }));
    EXPECT_EQ(db.GoTo(0), 1);
    EXPECT_EQ(db.GoTo(1), -1);
}

TEST_F(CBaseTest, LongerHeaderIsReadFromItsHeaderLength) {
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    Add(db, "A", "1");
    Add(db, "B", "2");
    db.Close();
    for (int extra : {1, 31}) {
        std::string b = ReadWholeFile("t.dbf");
        b.insert(97, std::string(size_t(extra), '\0'));
        b[8] = char(97 + extra);
        WriteWholeFile("long.dbf", b);
        ASSERT_TRUE(db.Open("long.dbf")) << extra;
        EXPECT_EQ(db.FieldCount(), 2);
        ASSERT_EQ(db.GoTo(1), 1);
        EXPECT_EQ(db.GetField("NAME"), "B");
        Add(db, "C", "3");
        ASSERT_EQ(db.Delete(0), 1);
        EXPECT_EQ(db.Find("NAME", "C", CBase::FindExact), 2);
        ASSERT_TRUE(db.Pack());
        EXPECT_EQ(Names(db), "B;C;");
        EXPECT_EQ(Le16(ReadWholeFile("long.dbf"), 8), 97);
        db.Close();
    }
    // 32 more bytes mean one more descriptor, whose place then holds no terminator.
    std::string b = ReadWholeFile("t.dbf");
    b.insert(97, std::string(32, '\0'));
    b[8] = char(97 + 32);
    WriteWholeFile("long.dbf", b);
    EXPECT_FALSE(db.Open("long.dbf"));
}

TEST_F(CBaseTest, ConstructorWithNameOpensAndDestructorCloses) {
    {
        CBase db;
        ASSERT_TRUE(MakeSmall(db));
        Add(db, "A", "1");
    }
    CBase db("t.dbf");
    EXPECT_TRUE(db.IsOpen());
    EXPECT_EQ(db.RecCount(), 1u);
    CBase missing("nix.dbf");
    EXPECT_FALSE(missing.IsOpen());
    // A new object's buffer reads as blank.
    EXPECT_EQ(db.GetField("NAME", false), std::string(10, ' '));
}

} // namespace

TEST_F(CBaseTest, CodePageMarkIsWrittenByCreateAndKeptByPack) {
    for (const uint8_t mark : {uint8_t(0x57), uint8_t(0x03), uint8_t(0x00)}) {
        CBase db;
        if (mark != CBase::kWindowsAnsiMark) db.SetCodePageMark(mark);
        ASSERT_TRUE(MakeSmall(db));
        EXPECT_EQ(db.CodePageMark(), mark);
        Add(db, "A", "1");
        Add(db, "B", "2");
        ASSERT_EQ(db.Delete(0), 1);
        ASSERT_TRUE(db.Pack());
        EXPECT_EQ(uint8_t(ReadWholeFile("t.dbf")[29]), mark) << int(mark);
        EXPECT_EQ(db.CodePageMark(), mark);
    }
    // A mark another program wrote survives a pack too.
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    db.Close();
    std::string b = ReadWholeFile("t.dbf");
    b[29] = char(0x01);
    WriteWholeFile("t.dbf", b);
    ASSERT_TRUE(db.Open("t.dbf"));
    ASSERT_TRUE(db.Pack());
    EXPECT_EQ(uint8_t(ReadWholeFile("t.dbf")[29]), 0x01);
}

TEST_F(CBaseTest, FindIfSeesPlainFieldTextAndSkipsDeleted) {
    CBase db;
    ASSERT_TRUE(MakeSmall(db));
    db.SetKey("qorvex");
    Add(db, "Anna", "1");
    Add(db, "Bert", "2");
    Add(db, "Bert", "3");
    ASSERT_EQ(db.Delete(1), 1);
    std::vector<std::string> seen;
    auto isBert = [&seen](std::string_view field) {
        seen.emplace_back(field);
        return field.starts_with("Bert");
    };
    EXPECT_EQ(db.FindIf("name", isBert), 1);
    EXPECT_EQ(seen,
              (std::vector<std::string>{"Anna      ", "Bert      "})); // descrambled, blanks kept
    db.SkipDeleted(true);
    EXPECT_EQ(db.FindIf("NAME", isBert), 2);
    EXPECT_EQ(db.GetField("TEL"), "3");
    EXPECT_EQ(db.FindIf("NAME", [](std::string_view) { return false; }), -1);
    EXPECT_EQ(db.RecNo(), 2u);
    EXPECT_EQ(db.FindIf("NOPE", isBert), -2);
}
