// SPDX-License-Identifier: GPL-3.0-or-later
// Contacts into the phone book: rows per number, code page, duplicates, one-step append with
// other programs at work on the same folder, and a program killed in the middle.
#include "db/PhoneBookImport.h"
#include "db/TableText.h"
#include "db/VCardReader.h"
#include "support/TableSupport.h"
#include "support/TestSupport.h"

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class PhoneBookImportTest : public ::testing::Test {
protected:
    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
};

std::string Table(const std::string& utf8) {
    std::string t;
    EXPECT_TRUE(Utf8ToTable(utf8, t));
    return t;
}

// `count` contacts, each with a mobile, a home and (every other one) a fax number.
std::vector<tContact> Contacts(int count, const std::string& prefix = "Kontakt") {
    std::vector<tContact> contacts;
    for (int i = 0; i < count; ++i) {
        tContact c;
        c.sFamilyName = prefix + std::to_string(i);
        c.sGivenName = "Vorname";
        c.aNumbers.push_back({"0170 " + std::to_string(1000000 + i), NumberKind::Mobile, ""});
        c.aNumbers.push_back({"030/" + std::to_string(2000000 + i), NumberKind::Home, ""});
        if (i % 2)
            c.aNumbers.push_back({"030-" + std::to_string(3000000 + i), NumberKind::Fax, ""});
        contacts.push_back(c);
    }
    return contacts;
}

} // namespace

TEST_F(PhoneBookImportTest, EveryNumberNamesThePersonAndASecondImportAddsNothing) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{.name = "Alt", .telefon = "0301111"},
                        {.name = "Wei\xDF", .telefon = "089 5550", .vorname = "J\xFCrgen"}});
    const std::string file =
        "BEGIN:VCARD\nVERSION:3.0\nN:Wei\u00df;J\u00fcrgen\nORG:Brauerei\n"
        "ADR;TYPE=home:;;Bergstra\u00dfe 5;M\u00fcnchen;;80331;\n"
        "EMAIL:jw@example.org\nNOTE:Stammkunde\n"
        "TEL;TYPE=cell:+49 (0)171 2345678\nTEL;TYPE=home:089 5550\n"
        "TEL;TYPE=work,fax:089/5551\nitem1.TEL:0911 77\nitem1.X-ABLabel:Ferienhaus\n"
        "TEL:keine Nummer\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:4.0\nFN:\u0141ukasz \u017b\u00f3\u0142w\nTEL:0221 1\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:4.0\nTEL:0221 2\nEND:VCARD\n";
    CPhoneBookImport import;
    import.Prepare(ReadVCards(file), kPhoneBookFile);
    const tImportSummary& s = import.Summary();
    EXPECT_EQ(s.iContacts, 3u);
    EXPECT_EQ(s.iContactsWithoutName, 1u);
    EXPECT_EQ(s.iNumbers, 5u);
    EXPECT_EQ(s.iNumbersWithoutDigits, 1u);
    EXPECT_EQ(s.iRowsPresent, 1u); // Weiß, Jürgen, 089 5550
    EXPECT_EQ(s.iRowsToAdd, 4u);
    EXPECT_EQ(s.iRowsReplaced, 1u);
    EXPECT_EQ(s.iCharactersReplaced, 3u); // Ł, Ż, ł
    std::string error;
    ASSERT_EQ(import.Apply(kPhoneBookFile, {}, error), CPhoneBookImport::Outcome::Done) << error;
    EXPECT_EQ(cbtest::RecordCount(kPhoneBookFile), 6u);

    tAnruf a;
    ASSERT_TRUE(LookupCaller(a, "01712345678", "", false));
    EXPECT_EQ(a.sName, Table("Wei\u00df"));
    EXPECT_EQ(a.sVorname, Table("J\u00fcrgen"));
    EXPECT_EQ(a.sInfo, "Mobil: Brauerei; Stammkunde");
    EXPECT_EQ(a.sStrasse, Table("Bergstra\u00dfe 5"));
    EXPECT_EQ(a.sOrt, Table("M\u00fcnchen"));
    EXPECT_EQ(a.sPlz, "80331");
    EXPECT_EQ(a.sEmail, "jw@example.org");
    EXPECT_EQ(a.sFax, "089/5551");
    ASSERT_TRUE(LookupCaller(a, "0895551", "", false));
    EXPECT_EQ(a.sInfo, "Fax: Brauerei; Stammkunde");
    ASSERT_TRUE(LookupCaller(a, "091177", "", false));
    EXPECT_EQ(a.sInfo, "Ferienhaus: Brauerei; Stammkunde");
    ASSERT_TRUE(LookupCaller(a, "02211", "", false));
    EXPECT_EQ(a.sName, Table("Lukasz Z\u00f3lw")); // ó fits the code page

    CPhoneBookImport again;
    again.Prepare(ReadVCards(file), kPhoneBookFile);
    EXPECT_EQ(again.Summary().iRowsToAdd, 0u);
    EXPECT_EQ(again.Summary().iRowsPresent, 5u);
}

TEST_F(PhoneBookImportTest, RowsAnotherProgramAddedAfterThePreviewAreNotWrittenTwice) {
    CPhoneBookImport import;
    import.Prepare(Contacts(3), kPhoneBookFile); // no phone book yet: it is created
    EXPECT_EQ(import.Summary().iRowsToAdd, 7u);
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{.name = "Kontakt1", .telefon = "030 2000001", .vorname = "Vorname"}});
    std::string error;
    ASSERT_EQ(import.Apply(kPhoneBookFile, {}, error), CPhoneBookImport::Outcome::Done);
    EXPECT_EQ(import.RowsAdded(), 6u);
    EXPECT_EQ(cbtest::RecordCount(kPhoneBookFile), 7u);
}

TEST_F(PhoneBookImportTest, CancelAndWriteFailureLeaveTheTableAsItWas) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{.name = "Alt", .telefon = "0301111"}, {.name = "Weg", .deleted = true}});
    const std::string before = cbtest::ReadWholeFile(kPhoneBookFile);
    CPhoneBookImport import;
    import.Prepare(Contacts(3000), kPhoneBookFile);
    std::string error;
    size_t calls = 0;
    const auto outcome = import.Apply(
        kPhoneBookFile,
        [&](size_t done, size_t total) {
            EXPECT_LE(done, total);
            return ++calls < 20;
        },
        error);
    EXPECT_EQ(outcome, CPhoneBookImport::Outcome::Cancelled);
    EXPECT_EQ(cbtest::ReadWholeFile(kPhoneBookFile), before);

    // A folder nobody may write in: the scratch table cannot be made.
    if (geteuid() != 0) {
        ASSERT_EQ(chmod(".", 0555), 0);
        EXPECT_EQ(import.Apply(kPhoneBookFile, {}, error), CPhoneBookImport::Outcome::Failed);
        EXPECT_NE(error.find("unver\u00e4ndert"), std::string::npos) << error;
        chmod(".", 0755);
        EXPECT_EQ(cbtest::ReadWholeFile(kPhoneBookFile), before);
    }
    // Deleted rows keep their place: record numbers stay valid.
    ASSERT_EQ(import.Apply(kPhoneBookFile, {}, error), CPhoneBookImport::Outcome::Done);
    EXPECT_EQ(cbtest::RecordState(kPhoneBookFile, 1), 0);
    EXPECT_EQ(cbtest::RecordCount(kPhoneBookFile), 2u + 7500u);
}

TEST_F(PhoneBookImportTest, KilledMidwayLeavesTheTableUntouched) {
    cbtest::CreatePhoneBook();
    cbtest::AddEntries({{.name = "Alt", .telefon = "0301111"}});
    const std::string before = cbtest::ReadWholeFile(kPhoneBookFile);
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        CPhoneBookImport import;
        import.Prepare(Contacts(4000), kPhoneBookFile);
        std::string error;
        import.Apply(kPhoneBookFile, [&](size_t done, size_t) {
            if (done > 2000) {
                (void)!write(ready[1], "x", 1);
        pause(); // killed here, half the rows written to the scratch table
    }
    return true;
}, error);
_exit(0);
}
char c;
ASSERT_EQ(read(ready[0], &c, 1), 1);
kill(child, SIGKILL);
waitpid(child, nullptr, 0);
EXPECT_EQ(cbtest::ReadWholeFile(kPhoneBookFile), before);
// The table is usable at once, the lock of the dead program gone with it.
CPhoneBookImport import;
import.Prepare(Contacts(10), kPhoneBookFile);
std::string error;
EXPECT_EQ(import.Apply(kPhoneBookFile, {}, error), CPhoneBookImport::Outcome::Done) << error;
EXPECT_EQ(cbtest::RecordCount(kPhoneBookFile), 1u + 25u);
}

TEST_F(PhoneBookImportTest, AnotherProgramAppendingMeanwhileLosesNothing) {
    cbtest::CreatePhoneBook();
    cbtest::CreateCallLog();
    constexpr int kStationRows = 300;
    const pid_t station = fork();
    if (station == 0) {
        // Another workstation: logs calls and adds phone-book entries as fast as it can.
        for (int i = 0; i < kStationRows; ++i) {
            LogCall("0301234", "4711", 1700000000 + i);
            tAnruf a;
            a.sName = "Station" + std::to_string(i);
            a.sTelefon = "0401" + std::to_string(i);
            if (!SaveEntry(a)) _exit(1);
        }
        _exit(0);
    }
    size_t imported = 0;
    for (int round = 0; round < 6; ++round) {
        CPhoneBookImport import;
        import.Prepare(Contacts(400, "Runde" + std::to_string(round)), kPhoneBookFile);
        std::string error;
        ASSERT_EQ(import.Apply(kPhoneBookFile, {}, error), CPhoneBookImport::Outcome::Done)
            << error;
        imported += import.RowsAdded();
    }
    int status = 0;
    waitpid(station, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(cbtest::RecordCount(kPhoneBookFile), imported + kStationRows);
    EXPECT_EQ(cbtest::RecordCount(kCallLogFile), uint32_t(kStationRows));
    for (int i = 0; i < kStationRows; i += 37) {
        tAnruf a;
        EXPECT_TRUE(LookupCaller(a, "0401" + std::to_string(i), "", false)) << i;
    }
}

TEST_F(PhoneBookImportTest, NumbersTheLookupWouldMisreadAreStoredSoItFindsThem) {
    tContact c;
    c.sFamilyName = "Lang";
    c.aNumbers = {{"0049 (0)30 5", NumberKind::Home, ""},
                  {"+49 (0) 171 / 23 45 67 - 89 (Zentrale)", NumberKind::Work, ""}};
    CPhoneBookImport import;
    import.Prepare({c}, kPhoneBookFile);
    std::string error;
    ASSERT_EQ(import.Apply(kPhoneBookFile, {}, error), CPhoneBookImport::Outcome::Done);
    tAnruf a;
    EXPECT_TRUE(LookupCaller(a, "0305", "", false));
    ASSERT_TRUE(LookupCaller(a, "0171234567 89", "", false)); // longer than TELEFON as written
    EXPECT_EQ(a.sTelefon, "+4917123456789");
}
