// SPDX-License-Identifier: GPL-3.0-or-later
// The tables on data folders as users bring them: the start-up check, the call log when it
// cannot write, the conversion of tables spelt in capitals, shared or linked, and backups
// left by an interrupted conversion.
#include "support/TableSupport.h"
#include "support/TestSupport.h"

#include "db/Conversion.h"
#include "db/TableErrors.h"

#include <csignal>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace tabletest;
namespace fs = std::filesystem;

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class DataFolderTest : public ::testing::Test {
protected:
    // The one box shown so far.
    std::string OnlyBox() {
        EXPECT_EQ(boxes.texts().size(), 1u);
        return boxes.texts().empty() ? std::string() : boxes.texts().back();
    }

    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
};

TEST_F(DataFolderTest, StartUpNamesTheUnusableTableAndItsReasonAndLeavesItAlone) {
    CreatePhoneBook({{"A", "01"}});
    CreateCallLog();
    LogCall("0301", "4711", 100);
    EXPECT_TRUE(CheckTablesAtStartUp());
    EXPECT_TRUE(boxes.texts().empty());
    const std::string good = cbtest::ReadWholeFile(kCallLogFile);

    struct Case {
        const char* what;
        std::string bytes;
        const char* reason;
    };
    std::string noTerminator = good;
    noTerminator[160] = ' ';
    std::string zeroWidth = good;
    zeroWidth[32 + 16] = 0;
    std::string zeroRecord = good;
    zeroRecord[10] = zeroRecord[11] = 0;
    const std::vector<Case> cases = {
        {"empty", "", "beschädigt (kürzer als der Dateikopf)"},
        {"cut header", good.substr(0, 100), "beschädigt (ungültige Kopflänge)"},
        {"random bytes", std::string(4000, '\xA7'), "beschädigt"},
        {"no terminator", noTerminator, "beschädigt (Ende der Feldbeschreibungen fehlt)"},
        {"width 0", zeroWidth, "beschädigt (ungültige Feldbeschreibung)"},
        {"record length 0", zeroRecord, "beschädigt (ungültige Satzlänge)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.clear();
        cbtest::WriteWholeFile("ANRUFE.DBF", c.bytes);
        fs::remove(kCallLogFile);
        EXPECT_FALSE(CheckTablesAtStartUp());
        const std::string box = OnlyBox();
        EXPECT_TRUE(Contains(box, "Datenbank kann nicht geöffnet werden: ")) << box;
        EXPECT_TRUE(Contains(box, dir.file("ANRUFE.DBF"))) << box;
        EXPECT_TRUE(Contains(box, c.reason)) << box;
        EXPECT_EQ(cbtest::ReadWholeFile("ANRUFE.DBF"), c.bytes);
    }
    fs::remove("ANRUFE.DBF");

    // Things that are no files; a named pipe must not make start-up wait for a writer.
    fs::create_directory(kCallLogFile);
    boxes.clear();
    EXPECT_FALSE(CheckTablesAtStartUp());
    EXPECT_TRUE(Contains(OnlyBox(), dir.file(kCallLogFile) + " ist keine Datei"));
    fs::remove(kCallLogFile);
    ASSERT_EQ(mkfifo(kCallLogFile, 0644), 0);
    boxes.clear();
    EXPECT_FALSE(CheckTablesAtStartUp());
    EXPECT_TRUE(Contains(OnlyBox(), "ist keine Datei"));
    fs::remove(kCallLogFile);

    // Write-protected table, then a write-protected folder with good tables.
    cbtest::WriteWholeFile(kCallLogFile, good);
    ASSERT_EQ(chmod(kCallLogFile, 0444), 0);
    boxes.clear();
    EXPECT_FALSE(CheckTablesAtStartUp());
    EXPECT_EQ(OnlyBox(), "Datenbank kann nicht geöffnet werden: keine Schreibberechtigung für " +
                             dir.file(kCallLogFile));
    ASSERT_EQ(chmod(kCallLogFile, 0644), 0);
    ASSERT_EQ(chmod(".", 0555), 0);
    boxes.clear();
    EXPECT_FALSE(CheckTablesAtStartUp());
    EXPECT_TRUE(Contains(OnlyBox(), "keine Schreibberechtigung für den Datenordner"));
    ASSERT_EQ(chmod(".", 0755), 0);
    EXPECT_EQ(cbtest::ReadWholeFile(kCallLogFile), good);

    // Missing tables are the conversion's to create.
    fs::remove(kCallLogFile);
    fs::remove(kPhoneBookFile);
    boxes.clear();
    EXPECT_TRUE(CheckTablesAtStartUp());
    EXPECT_TRUE(boxes.texts().empty());
}

// A header that counts more records than the file holds: each call is lost, the user hears
// of it once, and again only after calls were logged in between.
TEST_F(DataFolderTest, LostCallsAreReportedOncePerEpisode) {
    CreateCallLog();
    ASSERT_EQ(LogCall("0301", "4711", 100), 0);
    std::string cut = cbtest::ReadWholeFile(kCallLogFile);
    cut.resize(cut.size() - 10);
    cbtest::WriteWholeFile(kCallLogFile, cut);

    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(LogCall("0302", "4711", 200 + i), -1);
    EXPECT_EQ(OnlyBox(), "Anruf konnte nicht gespeichert werden: " + dir.file(kCallLogFile) +
                             " ist beschädigt (der Dateikopf zählt mehr Datensätze, als die "
                             "Datei enthält)");
    EXPECT_EQ(cbtest::ReadWholeFile(kCallLogFile), cut);

    CreateCallLog();
    ASSERT_EQ(LogCall("0303", "4711", 300), 0);
    fs::remove(kCallLogFile);
    EXPECT_EQ(LogCall("0304", "4711", 400), -1);
    EXPECT_EQ(LogCall("0305", "4711", 500), -1);
    ASSERT_EQ(boxes.texts().size(), 2u);
    EXPECT_EQ(boxes.texts()[1], "Anrufer Datenbank nicht gefunden/geöffnet");
    CreateCallLog();
    EXPECT_EQ(LogCall("0306", "4711", 600), 0);
}

// The next call may come while the box is still open (the tick goes on under it): it is
// part of the same episode.
TEST_F(DataFolderTest, CallLostWhileTheBoxIsOpenAddsNoSecondBox) {
    static int boxCount = 0;
    boxCount = 0;
    cb::ErrorBoxHandler previous = cb::SetErrorBoxHandler([](const std::string&) {
        if (++boxCount == 1) LogCall("0302", "4711", 201);
    });
    cbtest::WriteWholeFile(kCallLogFile, "kaputt");
    EXPECT_EQ(LogCall("0301", "4711", 200), -1);
    cb::SetErrorBoxHandler(previous);
    EXPECT_EQ(boxCount, 1);
    CreateCallLog();
    EXPECT_EQ(LogCall("0303", "4711", 300), 0); // ends the episode for the tests after this
}

TEST_F(DataFolderTest, FullDiskLosesTheCallVisiblyAndLeavesAReadableTable) {
    CreateCallLog();
    ASSERT_EQ(LogCall("0301", "4711", 100), 0);
    const std::string before = cbtest::ReadWholeFile(kCallLogFile);

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = before.size() + 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int32_t first = LogCall("0302", "4711", 200);
    const int32_t second = LogCall("0303", "4711", 300);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(first, -1);
    EXPECT_EQ(second, -1);
    EXPECT_EQ(OnlyBox(), "Anruf konnte nicht gespeichert werden: kein Platz mehr auf dem "
                         "Datenträger für " +
                             dir.file(kCallLogFile));
    EXPECT_EQ(cbtest::ReadWholeFile(kCallLogFile), before);
    EXPECT_EQ(LogCall("0304", "4711", 400), 1);
}

// Tables from a DOS or Windows installation, spelt in capitals: converted where they are,
// under their own names; nothing new appears beside them.
TEST_F(DataFolderTest, TablesInCapitalsAreConvertedInPlace) {
    RunPython(R"(
book = dbf.Table('ADRESSEN.DBF', 'NAME C(20); TELEFON C(20); INFO C(250); VORNAME C(20); '
                 'STRASSE C(30); PLZORT C(7); ORT C(20)', dbf_type='db3')
book.open(dbf.READ_WRITE)
book.append(('Anna', '0301', 'x', 'A', 'Weg', '10115', 'Berlin'))
book.close()
log = dbf.Table('CALLS.DBF', 'ZEIT C(10); ANRUFER C(20); GERUFENER C(20)', dbf_type='db3')
log.open(dbf.READ_WRITE)
log.append(('100', '0301', '4711'))
log.close()
)");
    TakeOverLegacyTableNames();
    EXPECT_FALSE(fs::exists("CALLS.DBF"));
    ASSERT_TRUE(fs::exists(kCallLogFile));
    EXPECT_FALSE(fs::exists(kPhoneBookFile)); // ADRESSEN.DBF is the phone book
    EXPECT_TRUE(CheckTablesAtStartUp());
    ASSERT_TRUE(TablesNeedConversion());
    EXPECT_EQ(ConvertTables(nullptr), 0);
    EXPECT_FALSE(TablesNeedConversion());
    EXPECT_FALSE(fs::exists(kPhoneBookFile));
    EXPECT_EQ(Field("ADRESSEN.DBF", 0, "NAME"), "Anna");
    EXPECT_EQ(CBase("ADRESSEN.DBF").FieldCount(), 10);
    tAnruf a;
    EXPECT_TRUE(LookupCaller(a, "0301", "", false));
    EXPECT_EQ(a.sName, "Anna");
    EXPECT_TRUE(boxes.texts().empty());
}

// On a shared folder the converted table must stay open to the others: same permissions,
// same owner, and written where the link leads.
TEST_F(DataFolderTest, ConversionKeepsPermissionsOwnerAndLink) {
    fs::create_directory("server");
    {
        CBase old;
        old.AddField(0, "ZEIT", 'C', 10, 0);
        old.AddField(1, "ANRUFER", 'C', 20, 0);
        old.AddField(2, "GERUFENER", 'C', 20, 0);
        ASSERT_TRUE(old.Create("server/Anrufe.dbf"));
        old.PutField("ZEIT", "100");
        ASSERT_EQ(old.Append(), 1);
    }
    ASSERT_EQ(chmod("server/Anrufe.dbf", 0660), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown("server/Anrufe.dbf", 4321, 4322), 0);
    }
    fs::create_symlink("server/Anrufe.dbf", kCallLogFile);
    CreatePhoneBook({});

    EXPECT_EQ(ConvertTables(nullptr), 0);
    ASSERT_TRUE(fs::is_symlink(kCallLogFile));
    struct stat st {};
    ASSERT_EQ(stat("server/Anrufe.dbf", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
    }
    EXPECT_EQ(CBase("server/Anrufe.dbf").FieldCount(), 4);
    EXPECT_EQ(Field(kCallLogFile, 0, "ZEIT"), "100");
    std::set<std::string> files;
    for (const auto& e : fs::directory_iterator("server"))
        files.insert(e.path().filename().string());
    // Nothing left of the conversion; the code-page file lies beside the real table.
    EXPECT_EQ(files, (std::set<std::string>{"Anrufe.dbf", "Anrufe.cpg"}));
}

TEST_F(DataFolderTest, KeptBackupIsMentionedOnceWithItsPath) {
    CreatePhoneBook({{"A", "01"}});
    CreateCallLog();
    fs::copy_file(kCallLogFile, kConversionBackupFile);
    EXPECT_EQ(ConvertTables(nullptr), 0);
    EXPECT_EQ(OnlyBox(), "Eine unterbrochene Datenbank-Umstellung hat eine Sicherung "
                         "hinterlassen. Sie wurde aufbewahrt als " +
                             dir.file(std::string(kConversionBackupFile) + ".1"));
    EXPECT_EQ(ConvertTables(nullptr), 0);
    EXPECT_EQ(boxes.texts().size(), 1u);
}

TEST_F(DataFolderTest, FailedConversionSaysWhy) {
    CreatePhoneBook({{"A", "01"}});
    cbtest::WriteWholeFile("calls.dbf", "kein dBASE");
    ASSERT_EQ(chmod("calls.dbf", 0644), 0);
    // The legacy call log could not be taken over (say, the new name was taken a moment ago
    // and is gone again): the conversion will not replace it.
    EXPECT_EQ(ConvertTables(nullptr), 1);
    EXPECT_TRUE(Contains(OnlyBox(), "Datenbank update fehlgeschlagen: " + dir.file("calls.dbf") +
                                        " konnte nicht in Anrufe.dbf umbenannt werden"));
    EXPECT_EQ(cbtest::ReadWholeFile("calls.dbf"), "kein dBASE");
}

} // namespace
