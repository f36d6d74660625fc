// SPDX-License-Identifier: GPL-3.0-or-later
// Tables written by CBase against readers nobody here wrote (python dbfread, shapelib, GDAL),
// and tables written by python-dbf read by CBase. The tools are installed by the test command;
// a missing one fails the test.
#include "db/CBase.h"
#include "db/CallLog.h"
#include "db/Conversion.h"
#include "db/TableText.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <shapefil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

namespace {

struct Record {
    bool bDeleted;
    std::vector<std::string> aValues; // as given to PutField
};

struct Layout {
    std::string sName;
    char cType;
    int iWidth;
};

struct Table {
    std::vector<Layout> aFields;
    std::vector<Record> aRecords;
};

std::string Hex(const std::string& s) {
    static const char* digits = "0123456789abcdef";
    std::string h;
    for (unsigned char c : s) {
        h += digits[c >> 4];
        h += digits[c & 15];
    }
    return h;
}

// The bytes a field holds for a value: cut to the width, padded with blanks.
std::string Padded(const std::string& v, int width) {
    std::string s = v.substr(0, size_t(width));
    s.resize(size_t(width), ' ');
    return s;
}

std::string Trimmed(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string RunTool(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0)
        out.append(buf, n);
    *status = ::pclose(pipe);
    return out;
}

std::string Script() {
    const char* src = std::getenv("CB_SOURCE_DIR");
    return std::string(src ? src : ".") + "/tests/db/cbase_interop.py";
}

// dbfread's view: the lines of the helper script's read command.
std::string DbfreadView(const std::string& file) {
    int status = 0;
    std::string out =
        RunTool("/usr/bin/python3 '" + Script() + "' read '" + file + "' 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    return out;
}

std::string ExpectedDbfreadView(const Table& t) {
    std::ostringstream os;
    os << "count " << t.aRecords.size() << "\n";
    os << "headerlen " << 32 * (t.aFields.size() + 1) + 1 << "\n";
    os << "fields ";
    for (size_t i = 0; i < t.aFields.size(); ++i)
        os << (i ? "," : "") << t.aFields[i].sName << ":" << t.aFields[i].cType << ":"
           << t.aFields[i].iWidth;
    os << "\n";
    for (bool deleted : {false, true})
        for (const Record& r : t.aRecords) {
            if (r.bDeleted != deleted) continue;
            os << (deleted ? "D " : "L ");
            for (size_t i = 0; i < t.aFields.size(); ++i)
                os << (i ? "|" : "") << Hex(Padded(r.aValues[i], t.aFields[i].iWidth));
            os << "\n";
        }
    return os.str();
}

// shapelib's C reader: count, deleted flag and text of every record (shapelib trims blanks).
void ExpectShapelibReads(const std::string& file, const Table& t) {
    DBFHandle h = DBFOpen(file.c_str(), "rb");
    ASSERT_NE(h, nullptr) << file;
    EXPECT_EQ(DBFGetRecordCount(h), int(t.aRecords.size()));
    ASSERT_EQ(DBFGetFieldCount(h), int(t.aFields.size()));
    for (size_t f = 0; f < t.aFields.size(); ++f) {
        char name[12] = {};
        int width = 0, decimals = 0;
        DBFGetFieldInfo(h, int(f), name, &width, &decimals);
        EXPECT_EQ(name, t.aFields[f].sName);
        EXPECT_EQ(width, t.aFields[f].iWidth);
    }
    for (size_t r = 0; r < t.aRecords.size(); ++r) {
        EXPECT_EQ(DBFIsRecordDeleted(h, int(r)) != 0, t.aRecords[r].bDeleted) << r;
        for (size_t f = 0; f < t.aFields.size(); ++f) {
            const char* v = DBFReadStringAttribute(h, int(r), int(f));
            ASSERT_NE(v, nullptr);
            EXPECT_EQ(std::string(v),
                      Trimmed(Padded(t.aRecords[r].aValues[f], t.aFields[f].iWidth)))
                << "record " << r << " field " << f;
        }
    }
    DBFClose(h);
}

// GDAL leaves deleted records out; every live one must come through as written. With an
// empty ENCODING it passes the bytes on unconverted.
void ExpectGdalReads(const std::string& file, const Table& t) {
    std::filesystem::remove("gdal.csv");
    int status = 0;
    std::string out =
        RunTool("ogr2ogr -f CSV gdal.csv '" + file +
                    "' -oo ENCODING= -lco LINEFORMAT=LF -lco STRING_QUOTING=IF_NEEDED 2>&1",
                &status);
    ASSERT_EQ(status, 0) << out;
    std::string expected;
    for (size_t f = 0; f < t.aFields.size(); ++f)
        expected += (f ? "," : "") + t.aFields[f].sName;
    expected += "\n";
    for (const Record& r : t.aRecords) {
        if (r.bDeleted) continue;
        for (size_t f = 0; f < t.aFields.size(); ++f) {
            std::string v = Trimmed(Padded(r.aValues[f], t.aFields[f].iWidth));
            if (t.aFields[f].cType == 'N' && !v.empty()) v = std::to_string(std::stoll(v));
            expected += (f ? "," : "") + v;
        }
        expected += "\n";
    }
    EXPECT_EQ(cbtest::ReadWholeFile("gdal.csv"), expected) << file;
}

void Build(const std::string& file, const Table& t) {
    CBase db;
    for (size_t i = 0; i < t.aFields.size(); ++i)
        db.AddField(int(i), t.aFields[i].sName, t.aFields[i].cType, t.aFields[i].iWidth, 0);
    ASSERT_TRUE(db.Create(file));
    for (size_t r = 0; r < t.aRecords.size(); ++r) {
        for (size_t i = 0; i < t.aFields.size(); ++i)
            db.PutField(t.aFields[i].sName, t.aRecords[r].aValues[i]);
        ASSERT_EQ(db.Append(), 1);
        if (t.aRecords[r].bDeleted) {
            ASSERT_EQ(db.Delete(int64_t(r)), 1);
        }
    }
}

Table Mixed() {
    Table t;
    t.aFields = {{"NAME", 'C', 20}, {"K", 'C', 1}, {"LANG", 'C', 254}, {"ZAHL", 'N', 5}};
    std::string longText;
    for (int i = 0; i < 300; ++i)
        longText += char('A' + i % 26);
    t.aRecords = {
        {true, {"Erster geloescht", "x", "eins", "1"}},
        {false,
         {"M\xfcller", "\xe4",
          "Stra\xdf"
          "e \xd6sterreich",
          "42"}}, // Latin-1
        {false,
         {"M\xc3\xbcller", "u",
          "Stra\xc3\x9f"
          "e \xc3\x96",
          "7"}}, // UTF-8
        {false, {"", "", "", ""}},
        {false, {"Lang", "y", longText, "99999"}},
        {true, {"Mitte geloescht", "m", "\xfc\xfc", "3"}},
        {false, {"Zwanzig Zeichen genau", "z", std::string(254, 'w'), "12345"}},
        {true, {"Letzter geloescht", "l", "ende", "5"}},
    };
    return t;
}

class CBaseInterop : public ::testing::Test {
protected:
    cbtest::TempDir dir;
};

TEST_F(CBaseInterop, ToolsArePresent) {
    EXPECT_TRUE(std::filesystem::exists("/usr/bin/python3"));
    int status = 0;
    std::string out = RunTool("/usr/bin/python3 -c 'import dbfread, dbf' 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    out = RunTool("ogr2ogr --version 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
}

TEST_F(CBaseInterop, TablesWrittenByCBaseReadTheSameElsewhere) {
    Table mixed = Mixed();
    Build("mixed.dbf", mixed);
    Table empty;
    empty.aFields = {{"NAME", 'C', 10}, {"X", 'C', 1}};
    Build("empty.dbf", empty);

    Build("packed.dbf", mixed);
    {
        CBase db;
        ASSERT_TRUE(db.Open("packed.dbf"));
        ASSERT_TRUE(db.Pack());
    }
    Table packed = mixed;
    std::erase_if(packed.aRecords, [](const Record& r) { return r.bDeleted; });

    for (auto& [file, table] : {std::pair<std::string, Table&>{"mixed.dbf", mixed},
                                {"empty.dbf", empty},
                                {"packed.dbf", packed}}) {
        SCOPED_TRACE(file);
        EXPECT_EQ(DbfreadView(file), ExpectedDbfreadView(table));
        ExpectShapelibReads(file, table);
        ExpectGdalReads(file, table);
    }
}

TEST_F(CBaseInterop, TablesWrittenByPythonDbfOpenInCBase) {
    int status = 0;
    std::string out = RunTool("/usr/bin/python3 '" + Script() + "' write fremd.dbf 2>&1", &status);
    ASSERT_EQ(status, 0) << out;

    CBase db;
    ASSERT_TRUE(db.Open("fremd.dbf"));
    ASSERT_EQ(db.FieldCount(), 4);
    EXPECT_EQ(db.FieldName(2), "LANG");
    ASSERT_EQ(db.RecCount(), 5u);

    const int flags[] = {1, 1, 0, 1, 0};
    const char* names[] = {"M\xfcller", "\xc4rger \xdf", "Gel\xf6scht", "Letzter", "Auch weg"};
    const char* kurz[] = {"a", "", "d", "z", ""};
    const char* tel[] = {"123", "0", "7", "99999", "1"};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(db.GoTo(i), flags[i]);
        EXPECT_EQ(db.GetField("name"), names[i]);
        EXPECT_EQ(db.GetField("KURZ", false), Padded(kurz[i], 1));
        EXPECT_EQ(db.GetField("TEL"), std::string(5 - std::strlen(tel[i]), ' ') + tel[i]);
    }
    ASSERT_EQ(db.GoTo(0), 1);
    EXPECT_EQ(db.GetField("LANG"), std::string(254, 'x'));

    // The same table with 13 more header bytes before the records, as some writers leave
    // them: both readers take the records from the header length on.
    {
        std::string b = cbtest::ReadWholeFile("fremd.dbf");
        const size_t headerLength = uint8_t(b[8]) | uint8_t(b[9]) << 8;
        b.insert(headerLength, std::string(13, '\0'));
        b[8] = char((headerLength + 13) & 0xff);
        b[9] = char((headerLength + 13) >> 8);
        cbtest::WriteWholeFile("lang.dbf", b);
        CBase longer;
        ASSERT_TRUE(longer.Open("lang.dbf"));
        ASSERT_EQ(longer.GoTo(4), 0);
        EXPECT_EQ(longer.GetField("NAME"), "Auch weg");
        std::string view = DbfreadView("lang.dbf");
        EXPECT_NE(view.find("D " + Hex(Padded("Auch weg", 20))), std::string::npos) << view;
    }
    ASSERT_EQ(db.GoTo(4), 0);
    EXPECT_EQ(db.GetField("LANG"), std::string(10, '\xe9'));
    EXPECT_EQ(db.Find("NAME", "Letzter", CBase::FindExact), 3);
    db.SkipDeleted(true);
    EXPECT_EQ(db.Find("NAME", "Gel", CBase::FindPrefix), -1);

    // Changed by CBase, the foreign table still reads right for dbfread.
    ASSERT_EQ(db.Recall(2), 1);
    ASSERT_EQ(db.Delete(0), 1);
    db.PutField("NAME", "Neu \xfc");
    db.PutField("KURZ", "n");
    db.PutField("LANG", "");
    db.PutField("TEL", "    5");
    ASSERT_EQ(db.Append(), 1);
    db.Close();
    std::string view = DbfreadView("fremd.dbf");
    EXPECT_NE(view.find("count 6\n"), std::string::npos) << view;
    EXPECT_NE(view.find("L " + Hex(Padded("Gel\xf6scht", 20))), std::string::npos) << view;
    EXPECT_NE(view.find("D " + Hex(Padded("M\xfcller", 20))), std::string::npos) << view;
    EXPECT_NE(view.find("L " + Hex(Padded("Neu \xfc", 20)) + "|6e|" + Hex(Padded("", 254)) + "|" +
                        Hex("    5")),
              std::string::npos)
        << view;
}

TEST_F(CBaseInterop, TablesWrittenByGdalOpenInCBase) {
    cbtest::WriteWholeFile("quelle.csv", "NAME,ORT\nM\xfcller,K\xf6ln\nSchmidt,Berlin\n");
    int status = 0;
    std::string out = RunTool("ogr2ogr -f 'ESRI Shapefile' gdal.dbf quelle.csv -lco ENCODING= "
                              "-oo AUTODETECT_TYPE=NO 2>&1",
                              &status);
    ASSERT_EQ(status, 0) << out;
    CBase db;
    ASSERT_TRUE(db.Open("gdal.dbf"));
    ASSERT_EQ(db.RecCount(), 2u);
    ASSERT_EQ(db.GoTo(0), 1);
    EXPECT_EQ(db.GetField("NAME"), "M\xfcller");
    EXPECT_EQ(db.GetField("ort"), "K\xf6ln");
    EXPECT_EQ(db.Find("ORT", "Berlin", CBase::FindExact), 1);
}

} // namespace

// The tables the program makes at start-up carry their character set in a .cpg file beside
// them; GDAL (and QGIS on top of it) reads the header's mark 0x57 alone as ISO-8859-1 and
// would show Windows-1252's "€", "„", "“", "–" as control characters.
TEST_F(CBaseInterop, GdalReadsTheProgramsTablesInTheirCharacterSet) {
    ASSERT_EQ(ConvertTables(nullptr), 0);
    const std::string name = "\u20ac \u201eZitat\u201c \u2013 B\u00e4r";
    std::string bytes;
    ASSERT_TRUE(Utf8ToTable(name, bytes));
    {
        CBase book("Adressen.dbf");
        ASSERT_TRUE(book.IsOpen());
        book.PutField("NAME", bytes);
        ASSERT_EQ(book.Append(), 1);
    }
    EXPECT_EQ(cbtest::ReadWholeFile("Adressen.cpg"), "1252\n");
    EXPECT_EQ(cbtest::ReadWholeFile("Anrufe.cpg"), "1252\n");
    int status = 0;
    const std::string out = RunTool("ogrinfo -ro -al -q Adressen.dbf 2>&1", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("NAME (String) = " + name), std::string::npos) << out;
}
