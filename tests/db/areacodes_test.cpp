// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TableSupport.h"
#include "support/TestSupport.h"

#include <fstream>
#include <random>
#include <unistd.h>

using namespace tabletest;

namespace {

class AreaCodeTest : public ::testing::Test {
protected:
    // Runs the lookup and tells the place, or "-" when nothing was found.
    static std::string PlaceOf(const std::string& number) {
        std::string place = "-", plz = "-", breite = "-", laenge = "-";
        const bool found = LookupAreaCode(number, place, plz, breite, laenge);
        EXPECT_EQ(found, place != "-");
        if (!found) {
            EXPECT_EQ(plz, "-");
            EXPECT_EQ(breite, "-");
            EXPECT_EQ(laenge, "-");
        }
        return place;
    }

    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
};

TEST_F(AreaCodeTest, CodesArePrefixesAndTheFirstFitWins) {
    CreateAreaCodes({{"030", "Berlin", "10115", "52.52", "13.40"},
                     {"0331", "Potsdam", "14467", "52.39", "13.06"}});
    EXPECT_EQ(PlaceOf("0301234"), "Berlin");
    EXPECT_EQ(PlaceOf("0331 12 34"), "Potsdam"); // blanks after the code do not matter
    EXPECT_EQ(PlaceOf("030"), "Berlin");
    EXPECT_EQ(PlaceOf("03"), "-"); // shorter than every code
    EXPECT_EQ(PlaceOf(""), "-");
    EXPECT_EQ(PlaceOf("03 31"), "-");
    EXPECT_EQ(PlaceOf("089"), "-");

    CreateAreaCodes({{"03", "Grob", "1", "1", "1"}, {"030", "Berlin", "10115", "52.52", "13.40"}});
    EXPECT_EQ(PlaceOf("0301234"), "Grob");
}

TEST_F(AreaCodeTest, FoundValuesComeWithoutTrailingBlanksAndDeletedRecordsCount) {
    CreateAreaCodes({{"0212", "Solingen", "42651", "51.1734", "7.0845"}}, true);
    std::string place, plz, breite, laenge;
    ASSERT_TRUE(LookupAreaCode("02121234", place, plz, breite, laenge));
    EXPECT_EQ(place, "Solingen");
    EXPECT_EQ(plz, "42651");
    EXPECT_EQ(breite, "51.1734");
    EXPECT_EQ(laenge, "7.0845");
}

TEST_F(AreaCodeTest, MissingOrBrokenDirectoryFindsNothingSilently) {
    EXPECT_EQ(PlaceOf("0301234"), "-");

    // Random bytes, and random bytes behind a valid header.
    std::mt19937 random(4711);
    std::string garbage(5000, '\0');
    for (char& c : garbage)
        c = static_cast<char>(random());
    cbtest::WriteWholeFile(kAreaCodeFile, garbage);
    EXPECT_EQ(PlaceOf("0301234"), "-");

    CreateAreaCodes({{"030", "Berlin", "10115", "52.52", "13.40"}});
    std::string file = cbtest::ReadWholeFile(kAreaCodeFile);
    const std::string header = file.substr(0, 32 * 6 + 1);
    cbtest::WriteWholeFile(kAreaCodeFile, header + garbage.substr(0, 300));
    for (int i = 0; i < 50; ++i)
        PlaceOf(std::to_string(random())); // anything but a crash

    // The header promises more records than the file holds.
    file[4] = '\x7F';
    file[5] = '\x7F';
    cbtest::WriteWholeFile(kAreaCodeFile, file);
    EXPECT_EQ(PlaceOf("0301"), "Berlin");
    EXPECT_EQ(PlaceOf("0401"), "-");

    // No VORWAHL column: every record would pass as an empty code.
    CBase table;
    table.AddField(0, "ORT", 'C', 10, 0);
    ASSERT_TRUE(table.Create(kAreaCodeFile));
    table.SetKey(kAreaCodeKey);
    table.PutField("ORT", "Falsch");
    ASSERT_EQ(table.Append(), 1);
    table.Close();
    EXPECT_EQ(PlaceOf("0301"), "-");
    EXPECT_TRUE(boxes.texts().empty());
}

// The directory is only read: a write-protected copy (as installed) and one spelt in
// capitals serve as well.
TEST_F(AreaCodeTest, WriteProtectedDirectoryInCapitalsIsRead) {
    CreateAreaCodes({{"030", "Berlin", "10115", "52.52", "13.40"}});
    std::filesystem::rename(kAreaCodeFile, "AVON.DBF");
    std::filesystem::permissions("AVON.DBF", std::filesystem::perms::owner_read);
    EXPECT_EQ(PlaceOf("0301"), "Berlin");
    EXPECT_TRUE(boxes.texts().empty());
}

// The directory the build makes from the real data.
class RealAreaCodeTest : public AreaCodeTest {
protected:
    void SetUp() override { CopyRealAreaCodes(); }

    static void ExpectPlace(const std::string& number, const std::string& place,
                            const std::string& plzPrefix) {
        SCOPED_TRACE(number);
        std::string p, plz, breite, laenge;
        ASSERT_TRUE(LookupAreaCode(number, p, plz, breite, laenge));
        EXPECT_EQ(p, place);
        EXPECT_EQ(plz.substr(0, plzPrefix.size()), plzPrefix);
        EXPECT_EQ(plz.size(), 5u);
        // The map's frame.
        const double lat = std::stod(breite), lon = std::stod(laenge);
        EXPECT_GE(lat, 47.05);
        EXPECT_LE(lat, 55.315);
        EXPECT_GE(lon, 5.44);
        EXPECT_LE(lon, 15.28);
    }
};

TEST_F(RealAreaCodeTest, KnownCitiesSitWhereTheyBelong) {
    ExpectPlace("0301234567", "Berlin", "1");
    ExpectPlace("089123456", "M\xFCnchen", "8");
    ExpectPlace("0331123456", "Potsdam", "14");
    ExpectPlace("02129555", "Haan Rheinl", "42"); // longer code before the overlapping one
    ExpectPlace("0212555", "Solingen", "42");
    std::string place, plz, breite, laenge;
    LookupAreaCode("0301", place, plz, breite, laenge);
    EXPECT_NEAR(std::stod(breite), 52.52, 0.05);
    EXPECT_NEAR(std::stod(laenge), 13.40, 0.05);
    LookupAreaCode("089", place, plz, breite, laenge);
    EXPECT_NEAR(std::stod(breite), 48.14, 0.05);
    EXPECT_NEAR(std::stod(laenge), 11.58, 0.05);
}

TEST_F(RealAreaCodeTest, ShortOrForeignNumbersFindNothing) {
    EXPECT_EQ(PlaceOf("0"), "-");
    EXPECT_EQ(PlaceOf("02"), "-");
    EXPECT_EQ(PlaceOf("0043123"), "-");
    EXPECT_EQ(PlaceOf("0171234567"), "-"); // mobile, no Ortsnetz
}

TEST_F(RealAreaCodeTest, EveryRowOfTheSourceIsThere) {
    const char* source = std::getenv("CB_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    std::ifstream csv(std::string(source) + "/data/area-codes.csv");
    std::string line;
    std::vector<std::string> codes;
    std::getline(csv, line);
    while (std::getline(csv, line))
        codes.push_back(line.substr(0, line.find(';')));
    CBase table(kAreaCodeFile);
    table.SetKey(kAreaCodeKey);
    ASSERT_EQ(table.RecCount(), codes.size());
    for (uint32_t i = 0; i < codes.size(); ++i) {
        ASSERT_EQ(table.GoTo(i), 1);
        ASSERT_EQ(table.GetField("VORWAHL"), codes[i]) << i;
    }
}

} // namespace
