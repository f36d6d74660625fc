// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers as people write them, table text as Windows-1252, and the descriptions of numbers
// the area-code directory cannot place.
#include "db/NumberDescription.h"
#include "db/NumberFormat.h"
#include "db/NumberMatch.h"
#include "db/TableText.h"

#include <gtest/gtest.h>

namespace {

TEST(NumberMatch, WrittenFormsFitTheDeliveredNumber) {
    for (const char* stored :
         {"0302345678", "030 2345678", "030/234 56 78", "+49 30 2345678",
          "0049 (30) 2345678 B\xFCro", "030-234.56.78", "(030) 2345678", "0302345678 privat",
          "0302345678privat", "+49302345678", "  030 2345678  "}) {
        EXPECT_TRUE(NumberFits(stored, "0302345678")) << stored;
        EXPECT_TRUE(NumberFits(stored, "0049302345678"))
            << stored; // delivered in international form
    }
    // The number, not merely its beginning: a shorter or longer, different number is unknown.
    for (const char* stored : {"0301234567 privat", "03023456789", "030 2345678 9", "030",
                               "0302345678/9", "49302345678", "0302345678"})
        EXPECT_FALSE(NumberFits(stored, "030234567")) << stored;
    EXPECT_FALSE(NumberFits("0301234567", "030"));
    // A note ends the number even when digits follow it.
    EXPECT_TRUE(NumberFits("0301234 App. 12", "0301234"));
    EXPECT_FALSE(NumberFits("0301234 App. 12", "030123412"));
    // Foreign numbers: "+" is "00", only Germany's own code becomes the trunk prefix.
    EXPECT_TRUE(NumberFits("+41 44 123 45 67", "0041441234567"));
    EXPECT_FALSE(NumberFits("+41 44 123 45 67", "0441234567"));
    // Texts without digits fit nothing, not even each other.
    EXPECT_FALSE(NumberFits("", ""));
    EXPECT_FALSE(NumberFits("privat", "privat"));
    EXPECT_FALSE(NumberFits("0301234", ""));
    EXPECT_EQ(NumberDigits("0049 (30) 234 56-78 B\xFCro"), "0302345678");
    EXPECT_EQ(NumberDigits("+"), "00");
    EXPECT_EQ(NumberDigits(std::string("030\0"
                                       "1234",
                                       8)),
              "030");
}

// A blank after the area code where the numbering plan says it ends; what it does not know as
// a valid number stays as it came, never split in a wrong place.
TEST(NumberFormat, NumbersAreWrittenForPeople) {
    EXPECT_EQ(NumberForPeople("0891234567"), "089 1234567");
    EXPECT_EQ(NumberForPeople("0301234567"), "030 1234567");
    EXPECT_EQ(NumberForPeople("0228123456"), "0228 123456");
    EXPECT_EQ(NumberForPeople("035205123456"), "035205 123456");
    EXPECT_EQ(NumberForPeople("01711234567"), "0171 1234567");
    EXPECT_EQ(NumberForPeople("0041446681800"), "+41 44 668 18 00");
    EXPECT_EQ(NumberForPeople("0049891234567"), "089 1234567");
    EXPECT_EQ(NumberForPeople("+49 89 1234567"), "089 1234567");
    // Not valid as they stand: left alone (the plan would drop the 0 of "0800123456").
    for (const char* kept :
         {"0800123456", "089", "1234567", "0", "", "0999", "00", "0x1", "00999999999999999999999"})
        EXPECT_EQ(NumberForPeople(kept), kept);
}

TEST(TableText, WindowsCharactersRoundTrip) {
    // Latin-1 range reads as before; 0x80-0x9F are Windows' own characters.
    EXPECT_EQ(TableToUtf8("M\xFCller \xDF"), "Müller ß");
    EXPECT_EQ(TableToUtf8("\x80 \x84"
                          "a\x93 \x96"),
              "€ „a“ –");
    std::string table;
    ASSERT_TRUE(Utf8ToTable("Müller – 5 € „Büro“ Ÿ", table));
    EXPECT_EQ(table, "M\xFCller \x96 5 \x80 \x84"
                     "B\xFCro\x93 \x9F");
    // Every byte survives, the five Windows leaves undefined included.
    std::string all;
    for (int b = 1; b < 256; ++b)
        all.push_back(char(b));
    ASSERT_TRUE(Utf8ToTable(TableToUtf8(all), table));
    EXPECT_EQ(table, all);

    std::string bad;
    EXPECT_FALSE(Utf8ToTable("Stra\xC3\x9F"
                             "e \xE2\x86\x92 Nr",
                             table, &bad)); // an arrow
    EXPECT_EQ(bad, "→");
    EXPECT_EQ(table, "");
    EXPECT_FALSE(Utf8ToTable("Emoji 😀", table, &bad));
    EXPECT_EQ(bad, "😀");
    EXPECT_FALSE(Utf8ToTable("\xC3", table, &bad));         // cut-off sequence
    EXPECT_FALSE(Utf8ToTable("\xC0\xAF", table, &bad));     // overlong '/'
    EXPECT_FALSE(Utf8ToTable("\xED\xA0\x80", table, &bad)); // a surrogate
}

std::string Described(const char* number) {
    return TableToUtf8(DescribeNumber(number));
}

TEST(NumberDescription, ForeignNumbersNameTheirCountryInGerman) {
    EXPECT_EQ(Described("0041441234567"), "Schweiz");
    // A range the numbering plan keeps for films still names its country.
    EXPECT_EQ(Described("00441632960000"), "Vereinigtes Königreich");
    EXPECT_EQ(Described("+44 20 7946 0000"), "Vereinigtes Königreich");
    EXPECT_EQ(Described("0033123456789"), "Frankreich");
    EXPECT_EQ(Described("0043 1 5879000"), "Österreich");
    EXPECT_EQ(Described("00800123456789"), "Internationale Rufnummer");
    EXPECT_EQ(Described("00999"), "");
}

TEST(NumberDescription, GermanNumbersByKind) {
    EXPECT_EQ(Described("01711234567"), "Mobilfunk");
    EXPECT_EQ(Described("015212345678"), "Mobilfunk");
    EXPECT_EQ(Described("0152123"), "Mobilfunk"); // too short for the library, still mobile
    EXPECT_EQ(Described("+49 171 1234567"), "Mobilfunk");
    EXPECT_EQ(Described("08001234567"), "Kostenlose Servicenummer");
    EXPECT_EQ(Described("01801234567"), "Servicenummer (geteilte Kosten)");
    EXPECT_EQ(Described("09001234567"), "Mehrwertdienst (kostenpflichtig)");
    EXPECT_EQ(Described("01371234567"), "Televoting-Nummer");
    EXPECT_EQ(Described("03212345678"), "Nationale Teilnehmerrufnummer");
    EXPECT_EQ(Described("070012345678"), "Persönliche Rufnummer");
    // Landline numbers are the area-code directory's; nothing for what is no number.
    for (const char* none : {"0302345678", "0049221123456", "0891234", "4711", "0", "", "abc"})
        EXPECT_EQ(Described(none), "") << none;
}

} // namespace
