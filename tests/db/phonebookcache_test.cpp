// SPDX-License-Identifier: GPL-3.0-or-later
// The snapshot must name every call exactly as the phone-book lookup does.
#include "db/PhoneBookCache.h"

#include "support/TableSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

namespace {

using cbtest::Entry;

// A record that already holds something, so untouched members show.
tAnruf Prefilled() {
    tAnruf a;
    a.bOk = true;
    a.iRecNo = 5;
    a.sName = "alt";
    a.sVorname = "alt";
    a.sGerufener = "alt";
    a.sInfo = "alt";
    a.sAvonOrt = "Ort";
    a.sBreite = "52.5";
    a.sLaenge = "13.4";
    return a;
}

void ExpectSame(const tAnruf& a, const tAnruf& b, const std::string& what) {
    EXPECT_EQ(a.bOk, b.bOk) << what;
    EXPECT_EQ(a.iRecNo, b.iRecNo) << what;
    EXPECT_EQ(a.sTelefon, b.sTelefon) << what;
    EXPECT_EQ(a.sInfo, b.sInfo) << what;
    EXPECT_EQ(a.sName, b.sName) << what;
    EXPECT_EQ(a.sVorname, b.sVorname) << what;
    EXPECT_EQ(a.sStrasse, b.sStrasse) << what;
    EXPECT_EQ(a.sPlz, b.sPlz) << what;
    EXPECT_EQ(a.sOrt, b.sOrt) << what;
    EXPECT_EQ(a.sGerufener, b.sGerufener) << what;
    EXPECT_EQ(a.sEmail, b.sEmail) << what;
    EXPECT_EQ(a.sFax, b.sFax) << what;
    EXPECT_EQ(a.sAPartner, b.sAPartner) << what;
    EXPECT_EQ(a.sAvonOrt, b.sAvonOrt) << what;
    EXPECT_EQ(a.sBreite, b.sBreite) << what;
    EXPECT_EQ(a.sLaenge, b.sLaenge) << what;
}

// Compares the snapshot with the table lookup for every pair of numbers.
void ExpectEquivalent(CPhoneBookCache& cache, const std::vector<std::string>& numbers) {
    for (const std::string& calling : numbers)
        for (const std::string& called : numbers) {
            tAnruf fromTable = Prefilled(), fromCache = Prefilled();
            const bool tableHit = LookupCaller(fromTable, calling, called, false);
            const bool cacheHit = cache.LookupCaller(fromCache, calling, called);
            const std::string what = "calling '" + calling + "' called '" + called + "'";
            EXPECT_EQ(tableHit, cacheHit) << what;
            ExpectSame(fromTable, fromCache, what);
        }
}

// Puts raw bytes into TELEFON of record recNo (the engine stops at a NUL when writing).
void PokeTelefon(int recNo, const std::string& bytes) {
    FILE* f = std::fopen("Adressen.dbf", "r+b");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fseek(f, 353 + 458L * recNo + 1 + 20, SEEK_SET), 0);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), f), bytes.size());
    std::fclose(f);
}

TEST(PhoneBookCache, SameAsLookupOnTrickyEntries) {
    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({
        {"Gel\xF6scht", "0301234", "Erst", "", "", "", "", "", "", "", true}, // deleted wins never
        {"Meier", "0301234", "Hans", "Hauptstr. 1", "10115", "Berlin", "Info", "m@x.de", "0305",
         "Eva"},
        {"Meier zwei", "0301234", "Otto"},       // same number, higher record
        {"Mit Wort", "0401111 privat", ""},      // number followed by a word
        {"Leerzeichen", "040 2222", "Anna"},     // blank after the area code
        {"Voll", "01234567890123456789", "Max"}, // fills the column
        {"Leer", "", ""},                        // empty number
        {"B\xFCro", "0409999", ""},              // an MSN with a name
        {"Klein", "0301234", "Zoe"},
        {"Null", "0305555", "Nul"},
        {"Plus", "+49 40 3333 B\xFCro", ""}, // written forms of one number
        {"Klammer", "0049 (40) 33-33", ""},
        {"Schweiz", "+41 44 1234567", ""},
    });
    PokeTelefon(9, std::string("030\0"
                               "5555",
                               8)); // a NUL inside the column

    CPhoneBookCache cache;
    ASSERT_TRUE(cache.Load());
    EXPECT_EQ(cache.EntryCount(), 12u);
    ExpectEquivalent(cache, {"",
                             "0",
                             "1",
                             "03",
                             "030",
                             "0301234",
                             "03012345",
                             "0401111",
                             "0401111 ",
                             "0401111 privat",
                             "040",
                             "040 2222",
                             "0402222",
                             "01234567890123456789",
                             "012345678901234567890",
                             "0409999",
                             "04099990",
                             "0305555",
                             "030 ",
                             "  ",
                             "0301234\xFC",
                             std::string("030\0"
                                         "1234",
                                         8),
                             "0403333",
                             "00494033 33",
                             "+49403333",
                             "0041441234567",
                             "041441234567",
                             "004144123456"});
    EXPECT_TRUE(boxes.texts().empty());
}

TEST(PhoneBookCache, SameAsLookupOnRandomNumbers) {
    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
    cbtest::CreatePhoneBook();
    std::mt19937 rng(4711);
    auto number = [&rng](size_t maxLen) {
        static const char digits[] = "00123 /(+49x";
        std::string s;
        const size_t len = rng() % (maxLen + 1);
        for (size_t i = 0; i < len; ++i)
            s.push_back(digits[rng() % 12]);
        return s;
    };
    std::vector<Entry> entries;
    for (int i = 0; i < 150; ++i) {
        Entry e;
        e.name = "N" + std::to_string(i);
        e.vorname = i % 3 ? "V" + std::to_string(i) : "";
        e.telefon = number(6);
        e.deleted = rng() % 4 == 0;
        entries.push_back(e);
    }
    cbtest::AddEntries(entries);
    std::vector<std::string> numbers;
    for (int i = 0; i < 40; ++i)
        numbers.push_back(number(7));

    CPhoneBookCache cache;
    ASSERT_TRUE(cache.Load());
    ExpectEquivalent(cache, numbers);
}

TEST(PhoneBookCache, OlderTableWithoutTelefonColumn) {
    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
    {
        CBase t;
        t.AddField(0, "NAME", 'C', 20, 0);
        t.AddField(1, "VORNAME", 'C', 20, 0);
        ASSERT_TRUE(t.Create("Adressen.dbf"));
        t.PutField("NAME", "Meier");
        ASSERT_EQ(t.Append(), 1);
    }
    CPhoneBookCache cache;
    ASSERT_TRUE(cache.Load());
    ExpectEquivalent(cache, {"", "0", "0301234", "Meier"});
}

TEST(PhoneBookCache, MissingPhoneBookLeavesTheRecordAlone) {
    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
    CPhoneBookCache cache;
    EXPECT_FALSE(cache.Load());
    EXPECT_TRUE(boxes.texts().empty()); // the caller reports it, once
    tAnruf a = Prefilled();
    EXPECT_FALSE(cache.LookupCaller(a, "0301234", "040"));
    ExpectSame(a, Prefilled(), "untouched");
}

} // namespace
