// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/NumberMatch.h"
#include "db/PhoneBookCache.h"
#include "support/TableSupport.h"
#include "support/TestSupport.h"

#include <unistd.h>

using namespace tabletest;

namespace {

const std::string kNoNumber = "Keine Rufnr. \xFC"
                              "bermittelt";

class PhoneBookTest : public ::testing::Test {
protected:
    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
};

TEST_F(PhoneBookTest, OwnAreaCodeNamesLocalCallersAndPlacesLocalNumbers) {
    CreatePhoneBook({{"Nachbar", "555 1234"}, {"Fern", "030 777"}, {"Handy", "+49 171 1"}});
    CreateAreaCodes({{"089", "M\xFCnchen", "80331", "48.1371", "11.5754"}});
    // Empty: numbers are taken as written, as before.
    tAnruf a;
    EXPECT_FALSE(LookupCaller(a, "0895551234", "", false));
    for (const char* areaCode : {"089", "89", "+49 89", "0 89"}) {
        SetOwnAreaCode(areaCode);
        EXPECT_EQ(OwnAreaCode(), "089") << areaCode;
        EXPECT_TRUE(LookupCaller(a, "0895551234", "", true)) << areaCode;
        EXPECT_EQ(a.sName, "Nachbar");
        // A router that delivers a local caller without the area code.
        EXPECT_TRUE(LookupCaller(a, "5551234", "", true));
        EXPECT_EQ(a.sName, "Nachbar");
        EXPECT_EQ(a.sAvonOrt, "M\xFCnchen");
        EXPECT_TRUE(LookupCaller(a, "030777", "", false));
        EXPECT_TRUE(LookupCaller(a, "01711", "", false));
        CPhoneBookCache cache;
        ASSERT_TRUE(cache.Load());
        EXPECT_TRUE(cache.LookupCaller(a, "0895551234", ""));
        EXPECT_EQ(a.sName, "Nachbar");
    }
    EXPECT_FALSE(LookupCaller(a, "0305551234", "", false));
    // Another country's code is no area code.
    SetOwnAreaCode("0041 44");
    EXPECT_EQ(OwnAreaCode(), "");
    SetOwnAreaCode("");
    EXPECT_FALSE(LookupCaller(a, "0895551234", "", false));
}

TEST_F(PhoneBookTest, KnownCallerFillsEveryColumnAndNamesTheCalledParty) {
    CreatePhoneBook({{"Meier", "0301234567", false, "Berlin-Mitte"}, {"Eigene MSN", "4711"}});
    CreateAreaCodes({{"030", "Berlin", "10115", "52.5200", "13.4050"}});
    tAnruf a;
    a.bOk = true;
    EXPECT_TRUE(LookupCaller(a, "0301234567", "4711", true));
    EXPECT_FALSE(a.bOk);
    EXPECT_EQ(a.iRecNo, 0);
    EXPECT_EQ(a.sName, "Meier");
    EXPECT_EQ(a.sTelefon, "0301234567");
    EXPECT_EQ(a.sInfo, "Info Meier");
    EXPECT_EQ(a.sVorname, "Vorname Meier");
    EXPECT_EQ(a.sStrasse, "Weg 1");
    EXPECT_EQ(a.sEmail, "a@b.de");
    EXPECT_EQ(a.sFax, "0301");
    EXPECT_EQ(a.sAPartner, "Chef");
    EXPECT_EQ(a.sGerufener, "Eigene MSN");
    // The phone book's own postcode and town stay; the area code only adds the map point.
    EXPECT_EQ(a.sPlz, "12345");
    EXPECT_EQ(a.sOrt, "Berlin-Mitte");
    EXPECT_EQ(a.sAvonOrt, "Berlin");
    EXPECT_EQ(a.sBreite, "52.5200");
    EXPECT_EQ(a.sLaenge, "13.4050");
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(PhoneBookTest, AnEntryFitsOnlyItsOwnNumberWithANoteAfterIt) {
    CreatePhoneBook({{"Wort", "0301234567 privat"}, {"Blank", "030 1234567"}});
    tAnruf a;
    EXPECT_TRUE(LookupCaller(a, "0301234567", "99", false));
    EXPECT_EQ(a.sName, "Wort");
    EXPECT_EQ(a.iRecNo, 0);
    EXPECT_EQ(a.sGerufener, "99");

    // A shorter, different number is somebody else: it used to take the first longer entry.
    CreatePhoneBook({{"Meier", "0301234567 privat"}, {"Anna", "0302345678"}});
    for (const char* other : {"030123456", "030", "03012345678"}) {
        EXPECT_FALSE(LookupCaller(a, other, "0302", false)) << other;
        EXPECT_EQ(a.sName, other);
        EXPECT_EQ(a.iRecNo, kNoRecord);
        EXPECT_EQ(a.sGerufener, "0302"); // the called party neither
    }
}

TEST_F(PhoneBookTest, NumbersWrittenByAnotherProgramInEveryCommonForm) {
    // python-dbf, an independent writer, with the layout of Adressen.dbf.
    RunPython(
        // TELEFON wider than ours: the last form needs 22 characters.
        "t = dbf.Table('Adressen.dbf', 'NAME C(20); TELEFON C(30); INFO C(250); VORNAME C(20); "
        "STRASSE C(30); PLZORT C(7); ORT C(20); EMAIL C(50); FAX C(20); APARTNER C(20)', "
        "dbf_type='db3', codepage='cp1252')\n"
        "t.open(dbf.READ_WRITE)\n"
        "for name, tel in [('Leer', '030 2345678'), ('Schr\\u00e4g', '030/234 56 78'),\n"
        "                  ('Plus', '+49 30 2345678'), ('Null', '0049 (30) 2345678 B\\u00fcro'),\n"
        "                  ('Schweiz', '+41 44 123 45 67'), ('Kurz', '030 234567')]:\n"
        "    t.append((name, tel, '', '', '', '', '', '', '', ''))\n"
        "dbf.delete(t[0])\n"
        "t.close()\n");
    tAnruf a;
    // The first active entry of the four forms is the one named.
    EXPECT_TRUE(LookupCaller(a, "0302345678", "1", false));
    EXPECT_EQ(a.sName, "Schr\xE4g");
    EXPECT_EQ(a.sTelefon, "030/234 56 78"); // the stored text is never changed
    EXPECT_EQ(a.iRecNo, 1);
    for (int rec : {2, 3}) {
        CBase t;
        ASSERT_TRUE(t.Open(kPhoneBookFile));
        ASSERT_EQ(t.Delete(rec - 1), 1); // the earlier forms away: the next form names the call
        t.Close();
        EXPECT_TRUE(LookupCaller(a, "0302345678", "1", false)) << rec;
        EXPECT_EQ(a.iRecNo, rec);
    }
    EXPECT_EQ(a.sTelefon, "0049 (30) 2345678 B\xFCro");
    // In international form, as an exchange may deliver a German number.
    EXPECT_TRUE(LookupCaller(a, "0049302345678", "1", false));
    EXPECT_EQ(a.sName, "Null");
    EXPECT_TRUE(LookupCaller(a, "0041441234567", "1", false));
    EXPECT_EQ(a.sName, "Schweiz");
    // Each number names its own entry, and a shorter, different one is unknown.
    EXPECT_TRUE(LookupCaller(a, "030234567", "1", false));
    EXPECT_EQ(a.sName, "Kurz");
    for (const char* other : {"03023456", "030", "03023456789"}) {
        EXPECT_FALSE(LookupCaller(a, other, "1", false)) << other;
        EXPECT_EQ(a.sName, other);
    }
}

TEST_F(PhoneBookTest, PlacesForeignMobileAndServiceNumbersWithoutAMapPoint) {
    CreatePhoneBook({{"Zuerich", "+41 44 1234567"}});
    CreateAreaCodes({{"0221", "K\xF6ln", "50667", "50.9375", "6.9603"},
                     {"044", "Ganderkesee", "27777", "53.03", "8.54"}});
    tAnruf a;
    // Known caller: the entry's own town stays, the map gets no point.
    a.sBreite = "1";
    a.sLaenge = "1";
    EXPECT_TRUE(LookupCaller(a, "0041441234567", "1", true));
    EXPECT_EQ(a.sAvonOrt, "Schweiz");
    EXPECT_EQ(a.sOrt, "Ort");
    EXPECT_EQ(a.sBreite, "");
    EXPECT_EQ(a.sLaenge, "");

    struct Case {
        const char* number;
        const char* ort;
        const char* plz;
    } cases[] = {
        {"00441632960000", "Vereinigtes K\xF6nigreich", ""},
        {"0049221123456", "K\xF6ln", "50667"}, // German number in international form
        {"01711234567", "Mobilfunk", ""},
        {"08001234567", "Kostenlose Servicenummer", ""},
        {"0221123456", "K\xF6ln", "50667"},
        {"0891234", "", ""}, // landline the directory does not know: nothing made up
    };
    for (const Case& c : cases) {
        tAnruf u;
        EXPECT_FALSE(LookupCaller(u, c.number, "1", true)) << c.number;
        EXPECT_EQ(u.sName, c.number);
        const bool town = *c.plz != '\0';
        EXPECT_EQ(u.sAvonOrt, c.ort) << c.number;
        EXPECT_EQ(u.sOrt, town ? c.ort : "")
            << c.number; // an entry made from it gets no "Mobilfunk"
        EXPECT_EQ(u.sPlz, c.plz) << c.number;
        EXPECT_EQ(u.sBreite.empty(), std::string(c.plz).empty()) << c.number;
    }
}

TEST_F(PhoneBookTest, LowerRecordWinsAndDeletedNeverWins) {
    CreatePhoneBook({{"Geloescht", "040555", true}, {"Erster", "040555"}, {"Zweiter", "040555"}});
    tAnruf a;
    EXPECT_TRUE(LookupCaller(a, "040555", "1", false));
    EXPECT_EQ(a.sName, "Erster");
    EXPECT_EQ(a.iRecNo, 1);

    CreatePhoneBook({{"Weg", "040555", true}, {"Auch weg", "040555", true}});
    EXPECT_FALSE(LookupCaller(a, "040555", "1", false));
    EXPECT_EQ(a.sName, "040555");
    // A deleted own number does not name the called party either.
    CreatePhoneBook({{"Alte MSN", "4711", true}});
    LookupCaller(a, "040555", "4711", false);
    EXPECT_EQ(a.sGerufener, "4711");
}

TEST_F(PhoneBookTest, MissingNumberIsNamedAndNotLookedUp) {
    // An entry "0..." would fit a lone 0 as a prefix; it must not name the caller.
    CreatePhoneBook({{"Null", "0301"}});
    CreateAreaCodes({{"0", "Irgendwo", "1", "50.0", "10.0"}});
    for (const std::string calling : {"0", ""}) {
        tAnruf a;
        EXPECT_FALSE(LookupCaller(a, calling, "4711", true)) << calling;
        EXPECT_EQ(a.sName, kNoNumber);
        EXPECT_EQ(a.sTelefon, kNoNumber);
        EXPECT_EQ(a.iRecNo, kNoRecord);
        EXPECT_EQ(a.sAvonOrt, "");
        EXPECT_EQ(a.sOrt, "");
        EXPECT_EQ(a.sGerufener, "4711");
    }
}

TEST_F(PhoneBookTest, UnknownCallerGetsThePlaceOfItsAreaCode) {
    CreatePhoneBook({{"Meier", "0301234567"}});
    CreateAreaCodes({{"0331", "Potsdam", "14467", "52.3989", "13.0657"}});
    tAnruf a;
    EXPECT_FALSE(LookupCaller(a, "0331998877", "4711", true));
    EXPECT_EQ(a.sName, "0331998877");
    EXPECT_EQ(a.sTelefon, "0331998877");
    EXPECT_EQ(a.sOrt, "Potsdam");
    EXPECT_EQ(a.sAvonOrt, "Potsdam");
    EXPECT_EQ(a.sPlz, "14467");
    EXPECT_EQ(a.sBreite, "52.3989");
    EXPECT_EQ(a.sLaenge, "13.0657");

    tAnruf b;
    EXPECT_FALSE(LookupCaller(b, "0891234", "4711", true));
    EXPECT_EQ(b.sName, "0891234");
    EXPECT_EQ(b.sOrt, "");
    EXPECT_EQ(b.sAvonOrt, "");
    EXPECT_EQ(b.sBreite, "");

    // Without the flag the directory is not consulted.
    tAnruf c;
    EXPECT_FALSE(LookupCaller(c, "0331998877", "4711", false));
    EXPECT_EQ(c.sOrt, "");
    EXPECT_EQ(c.sAvonOrt, "");
}

TEST_F(PhoneBookTest, EmptyCalledNumberIsNotNamedAfterTheFirstEntry) {
    CreatePhoneBook({{"Erster", "0301"}});
    tAnruf a;
    LookupCaller(a, "0401", "", false);
    EXPECT_EQ(a.sGerufener, "");
}

TEST_F(PhoneBookTest, MissingPhoneBookShowsItsMessageAndLeavesTheRecord) {
    tAnruf a;
    a.sName = "bleibt";
    a.iRecNo = 3;
    EXPECT_FALSE(LookupCaller(a, "0301", "1", true));
    EXPECT_EQ(a.sName, "bleibt");
    EXPECT_EQ(a.iRecNo, 3);
    EXPECT_FALSE(LoadEntry(a, 0));
    EXPECT_FALSE(SaveEntry(a));
    ASSERT_EQ(boxes.texts().size(), 3u);
    for (const std::string& text : boxes.texts())
        EXPECT_EQ(text, "Adressdatenbank konnte nicht gefunden werden");
    EXPECT_FALSE(std::filesystem::exists(kPhoneBookFile));
}

TEST_F(PhoneBookTest, LoadAndSaveKeepRecordNumbersAndRestoreDeletedEntries) {
    CreatePhoneBook({{"A", "01"}, {"B", "02", true}});
    tAnruf a;
    a.sAvonOrt = "bleibt";
    EXPECT_TRUE(LoadEntry(a, 1));
    EXPECT_EQ(a.iRecNo, 1);
    EXPECT_EQ(a.sName, "B");
    EXPECT_EQ(a.sAvonOrt, "bleibt"); // area members are not the phone book's

    a.sFax = "0999";
    EXPECT_TRUE(SaveEntry(a));
    int state = -1;
    EXPECT_EQ(Field(kPhoneBookFile, 1, "FAX", &state), "0999");
    EXPECT_EQ(state, 1); // saving brought it back

    EXPECT_FALSE(LoadEntry(a, 2));
    EXPECT_EQ(a.iRecNo, kNoRecord);
    EXPECT_EQ(a.sName, "");
    EXPECT_FALSE(LoadEntry(a, -1));

    // A cleared record and one whose entry vanished (packed away) are both appended.
    tAnruf fresh;
    fresh.sName = "Neu";
    EXPECT_TRUE(SaveEntry(fresh));
    EXPECT_EQ(fresh.iRecNo, 2);
    tAnruf stale;
    stale.iRecNo = 40;
    stale.sName = "Alt";
    EXPECT_TRUE(SaveEntry(stale));
    EXPECT_EQ(stale.iRecNo, 3);
    CBase table(kPhoneBookFile);
    EXPECT_EQ(table.RecCount(), 4u);
    ASSERT_EQ(table.GoTo(3), 1);
    EXPECT_EQ(table.GetField("NAME"), "Alt");
    EXPECT_EQ(table.GetField("TELEFON"), ""); // every column written, nothing left over
}

TEST_F(PhoneBookTest, ValuesAreCutToTheirColumnsAndKeepTheirBytes) {
    CreatePhoneBook({});
    tAnruf a;
    a.sName = std::string(25, 'N');
    a.sInfo = std::string(300, 'i');
    a.sPlz = "D-12345678";
    a.sOrt = "M\xFCnchen \xE4\xF6\xDF";
    EXPECT_TRUE(SaveEntry(a));
    tAnruf b;
    ASSERT_TRUE(LoadEntry(b, 0));
    EXPECT_EQ(b.sName, std::string(20, 'N'));
    EXPECT_EQ(b.sInfo, std::string(250, 'i'));
    EXPECT_EQ(b.sPlz, "D-12345");
    EXPECT_EQ(b.sOrt, a.sOrt);
    EXPECT_EQ(cbtest::ReadWholeFile(kPhoneBookFile).size(), 353u + 458u + 1u);
}

TEST_F(PhoneBookTest, OddLayoutsReadMissingColumnsAsEmptyAndKeepExtraOnes) {
    // Narrow NAME, wide TELEFON, no INFO/EMAIL/FAX/APARTNER, an extra column.
    CBase table;
    table.AddField(0, "telefon", 'C', 60, 0);
    table.AddField(1, "NAME", 'C', 5, 0);
    table.AddField(2, "ORT", 'C', 20, 0);
    table.AddField(3, "EXTRA", 'C', 10, 0);
    ASSERT_TRUE(table.Create(kPhoneBookFile));
    table.PutField("TELEFON", std::string("0301") + std::string(50, '9'));
    table.PutField("NAME", "Kurz");
    table.PutField("ORT", "Haan");
    table.PutField("EXTRA", "behalten");
    ASSERT_EQ(table.Append(), 1);
    table.Close();

    tAnruf a;
    const std::string longNumber = std::string("0301") + std::string(300, '9');
    EXPECT_FALSE(LookupCaller(a, longNumber, longNumber, false)); // longer than the column
    EXPECT_FALSE(LookupCaller(a, "030199", "", false));           // only its beginning
    EXPECT_TRUE(LookupCaller(a, std::string("0301") + std::string(50, '9'), "", false));
    EXPECT_EQ(a.sName, "Kurz");
    EXPECT_EQ(a.sInfo, "");
    EXPECT_EQ(a.sAPartner, "");

    a.sName = "Laenger";
    a.sEmail = "geht@verloren";
    EXPECT_TRUE(SaveEntry(a));
    ASSERT_TRUE(table.Open(kPhoneBookFile));
    ASSERT_EQ(table.GoTo(0), 1);
    EXPECT_EQ(table.GetField("NAME"), "Laeng");
    EXPECT_EQ(table.GetField("EXTRA"), "behalten");
    EXPECT_EQ(table.RecCount(), 1u);
}

TEST_F(PhoneBookTest, UnwritablePhoneBookIsReportedAsMissing) {
    if (geteuid() == 0) GTEST_SKIP() << "root may write any file";
    CreatePhoneBook({{"A", "01"}});
    std::filesystem::permissions(kPhoneBookFile, std::filesystem::perms::owner_read);
    tAnruf a;
    EXPECT_FALSE(LookupCaller(a, "01", "", false));
    EXPECT_EQ(boxes.texts().size(), 1u);
}

} // namespace

namespace {

// dbfread picks the code page from the table's mark when it is not told one.
TEST_F(PhoneBookTest, TablesWeWriteReadRightInDbfreadWithoutNamingACodePage) {
    CreatePhoneBook({{"Alt", "01", true}});
    tAnruf a;
    a.sName = "M\xFCller \x96 B\xFCro";
    a.sInfo = "Preis 5 \x80, \x84gern\x93";
    ASSERT_TRUE(SaveEntry(a));
    {
        CBase table;
        ASSERT_TRUE(table.Open(kPhoneBookFile));
        ASSERT_TRUE(table.Pack()); // the mark survives packing
    }
    const int status = std::system(
        "/usr/bin/python3 -c \"import dbfread, sys\n"
        "for r in dbfread.DBF('Adressen.dbf'):\n"
        "    sys.stdout.buffer.write((r['NAME'] + '|' + r['INFO'] + '\\n').encode('utf-8'))\""
        " > dbfread.txt 2>&1");
    EXPECT_EQ(status, 0) << cbtest::ReadWholeFile("dbfread.txt");
    EXPECT_EQ(cbtest::ReadWholeFile("dbfread.txt"), "Müller – Büro|Preis 5 €, „gern“\n");
}

} // namespace
