// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ListLines.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace {

TEST(GetTabField, FieldsOfALine) {
    const std::string line = "01.02.2003\t04:05   *\tHans Meier\t\tJ\t0301234\t040999\t17";
    EXPECT_EQ(GetTabField(line, 1), "04:05   *");
    EXPECT_EQ(GetTabField(line, 2), "Hans Meier");
    EXPECT_EQ(GetTabField(line, 3), ""); // empty field between two tabs
    EXPECT_EQ(GetTabField(line, 5), "0301234");
    EXPECT_EQ(GetTabField(line, 7), "17"); // last field runs to the end
    EXPECT_EQ(GetTabField(line, 8), "");   // fewer than n tabs
    EXPECT_EQ(GetTabField(line, 100), "");
    EXPECT_EQ(GetTabField(line, 0), "01.02.2003");
}

TEST(GetTabField, EdgesOfTheLine) {
    EXPECT_EQ(GetTabField("", 1), "");
    EXPECT_EQ(GetTabField("ohne Tab", 1), "");
    EXPECT_EQ(GetTabField("a\t", 1), ""); // the line ends right after the tab
    EXPECT_EQ(GetTabField("\t\tx", 2), "x");
    EXPECT_EQ(GetTabField("\t\tx", 1), "");
    EXPECT_EQ(GetTabField("a\tb\tc", 2), "c");
    EXPECT_EQ(GetTabField("a\tb\tc", 3), "");
    EXPECT_EQ(GetTabField("a\tb\tc", -1), "a");
    EXPECT_EQ(GetTabField(std::string("a\tb\0c\td", 7), 1), std::string("b\0c", 3));
}

TEST(LastTabNumber, RecordNumberAfterTheLastTab) {
    EXPECT_EQ(LastTabNumber("x\ty\t42"), 42);
    EXPECT_EQ(LastTabNumber("x\t0"), 0);
    EXPECT_EQ(LastTabNumber("42"), -1);
    EXPECT_EQ(LastTabNumber("x\t"), -1);
    EXPECT_EQ(LastTabNumber("x\t4 2"), -1);
    EXPECT_EQ(LastTabNumber("x\t-3"), -1);
    EXPECT_EQ(LastTabNumber("x\t99999999999999999999999"), -1);
}

TEST(ParseZeit, DecimalSecondsAsStored) {
    EXPECT_EQ(ParseZeit("946684799"), 946684799);
    EXPECT_EQ(ParseZeit("946684799 "), 946684799);
    EXPECT_EQ(ParseZeit("  12x"), 12);
    EXPECT_EQ(ParseZeit("-5"), -5);
    EXPECT_EQ(ParseZeit(""), 0);
    EXPECT_EQ(ParseZeit("abc"), 0);
    EXPECT_EQ(ParseZeit("9999999999"), 0); // beyond a signed 32-bit time
    EXPECT_EQ(ParseZeit("2147483647"), 2147483647);
}

// Sets TZ for one test and restores it.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        if (const char* old = std::getenv("TZ")) previous = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (previous)
            setenv("TZ", previous->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::optional<std::string> previous;
};

TEST(AnruferLine, EightFieldsInLocalTime) {
    ZoneGuard zone("Europe/Berlin");
    tAnruf names;
    names.sVorname = "J\xFCrgen";
    names.sName = "M\xFCller";
    names.sGerufener = "B\xFCro";
    // 1999-12-31 23:59:59 UTC is already the new year in Berlin.
    EXPECT_EQ(AnruferLine(946684799, false, names, "J", "0301234", "040999", 7),
              "01.01.2000\t00:59\tJ\xFCrgen M\xFCller\tB\xFCro\tJ\t0301234\t040999\t7");
    names.sVorname.clear();
    EXPECT_EQ(AnruferLine(946684799, true, names, "", "0301234", "040999", 12345),
              "01.01.2000\t00:59   *\tM\xFCller\tB\xFCro\t\t0301234\t040999\t12345");
    // Summer time.
    EXPECT_EQ(GetTabField(AnruferLine(1720000000, false, names, "", "", "", 0), 1), "11:46");
}

TEST(AnruferLine, TabsInTableTextsDoNotShiftTheNumbers) {
    ZoneGuard zone("UTC");
    tAnruf names;
    names.sName = "Meier\tund Co";
    names.sGerufener = "a\tb";
    const std::string line = AnruferLine(0, false, names, "", "030\t1", "040", 3);
    EXPECT_EQ(line, "01.01.1970\t00:00\tMeier und Co\ta b\t\t030 1\t040\t3");
    EXPECT_EQ(GetTabField(line, 6), "040");
}

TEST(TeilnehmerLine, SevenFields) {
    const std::string line =
        TeilnehmerLine("M\xFCller", "Hans", "Hauptstr. 1", "10115", "Berlin", "0301234", 9);
    EXPECT_EQ(line, "M\xFCller\tHans\tHauptstr. 1\t10115\tBerlin\t0301234\t9");
    EXPECT_EQ(GetTabField(line, 6), "9");
    EXPECT_EQ(TeilnehmerLine("", "", "", "", "", "", 0), "\t\t\t\t\t\t0");
}

} // namespace

#include "ui/ListLineModel.h"

namespace {

TEST(ListLineModel, WindowsCharactersShowAndTheLineGivesItsBytesBack) {
    TListLineModel model({QStringLiteral("Name"), QStringLiteral("Ort")}, nullptr);
    // Every byte a table can hold, the five Windows leaves undefined included.
    std::string odd;
    for (int b = 0x80; b < 0x100; ++b)
        odd.push_back(char(b));
    const std::string line = "M\xFCller \x96 \x80\t" + odd + "\t4711\t7";
    model.SetLines(std::vector<std::string>{line});
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), QString::fromUtf8("Müller – €"));
    EXPECT_EQ(model.Line(0), line);
    EXPECT_EQ(GetTabField(model.Line(0), 2), "4711");
    EXPECT_EQ(LastTabNumber(model.Line(0)), 7);
}

} // namespace
