// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/TableSupport.h"
#include "support/TestSupport.h"

#include "db/Conversion.h"

#include <csignal>
#include <sys/resource.h>

using namespace tabletest;
namespace fs = std::filesystem;

namespace {

// An old phone book of seven columns and an old call log of three, as older releases kept
// them under their old names, written by python's dbf module rather than our own engine.
constexpr const char* kOldTablesScript = R"(
book = dbf.Table('RingScan.dbf', 'NAME C(20); TELEFON C(20); INFO C(250); VORNAME C(20); '
                 'STRASSE C(30); PLZORT C(7); ORT C(20)', codepage='cp1252', dbf_type='db3')
book.open(dbf.READ_WRITE)
for i in range(25):
    book.append(('Name%d' % i, '0301%04d' % i, 'Info %d' % i, 'M\u00fcller', 'Stra\u00dfe %d' % i,
                 '1011%d' % (i % 10), 'Berlin'))
for i in (0, 7, 24):
    dbf.delete(book[i])
book.close()
log = dbf.Table('calls.dbf', 'ZEIT C(10); ANRUFER C(20); GERUFENER C(20)', codepage='cp1252',
                dbf_type='db3')
log.open(dbf.READ_WRITE)
for i in range(40):
    log.append(('%d' % (999999990 + i), '0891%03d' % i, '4711'))
dbf.delete(log[3])
log.close()
)";

class Progress : public ConversionProgress {
public:
    void SetMax(int table, uint32_t max) override {
        aMax[table] = max;
        ++aCalls[table];
    }
    void SetValue(int table, uint32_t value) override {
        EXPECT_LE(value, aMax[table]);
        aLast[table] = value;
        ++aCalls[table];
    }
    uint32_t aMax[2] = {0, 0};
    uint32_t aLast[2] = {0, 0};
    int aCalls[2] = {0, 0};
};

class ConversionTest : public ::testing::Test {
protected:
    static void ExpectLayout(const char* file, std::vector<std::string> names, uint32_t count) {
        CBase table;
        ASSERT_TRUE(table.Open(file)) << file;
        ASSERT_EQ(table.FieldCount(), static_cast<int>(names.size())) << file;
        for (size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(table.FieldName(int(i)), names[i]);
        EXPECT_EQ(table.RecCount(), count) << file;
        const std::string bytes = cbtest::ReadWholeFile(file);
        const size_t header = names.size() == 10 ? 353 : 161,
                     record = names.size() == 10 ? 458 : 52;
        ASSERT_GE(bytes.size(), 12u);
        EXPECT_EQ(static_cast<unsigned char>(bytes[8]) +
                      256u * static_cast<unsigned char>(bytes[9]),
                  header);
        EXPECT_EQ(static_cast<unsigned char>(bytes[10]) +
                      256u * static_cast<unsigned char>(bytes[11]),
                  record);
        EXPECT_EQ(bytes.size(), header + count * record + 1);
    }
    static const std::vector<std::string>& BookColumns() {
        static const std::vector<std::string> names = {"NAME",    "TELEFON", "INFO", "VORNAME",
                                                       "STRASSE", "PLZORT",  "ORT",  "EMAIL",
                                                       "FAX",     "APARTNER"};
        return names;
    }
    static const std::vector<std::string>& LogColumns() {
        static const std::vector<std::string> names = {"ZEIT", "ANRUFER", "GERUFENER", "ANG"};
        return names;
    }
    static void ExpectNoScratchFiles() {
        EXPECT_FALSE(fs::exists(kConversionBackupFile));
        EXPECT_FALSE(fs::exists(kConversionScratchFile));
    }

    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
};

TEST_F(ConversionTest, LegacyNamesAreTakenOverOnlyWhereTheNewNameIsFree) {
    cbtest::WriteWholeFile("calls.dbf", "old log");
    cbtest::WriteWholeFile("RingScan.dbf", "old book");
    cbtest::WriteWholeFile(kPhoneBookFile, "current book");
    TakeOverLegacyTableNames();
    EXPECT_EQ(cbtest::ReadWholeFile(kCallLogFile), "old log");
    EXPECT_FALSE(fs::exists("calls.dbf"));
    EXPECT_EQ(cbtest::ReadWholeFile(kPhoneBookFile), "current book");
    EXPECT_EQ(cbtest::ReadWholeFile("RingScan.dbf"), "old book");
    fs::remove(kPhoneBookFile);
    fs::remove("RingScan.dbf");
    TakeOverLegacyTableNames(); // nothing to take over: no harm
    EXPECT_FALSE(fs::exists(kPhoneBookFile));
}

TEST_F(ConversionTest, LayoutCheckLooksAtField3AndField7) {
    EXPECT_TRUE(TablesNeedConversion());
    CreatePhoneBook({});
    CreateCallLog();
    EXPECT_FALSE(TablesNeedConversion());
    {
        CBase old;
        old.AddField(0, "ZEIT", 'C', 10, 0);
        old.AddField(1, "ANRUFER", 'C', 20, 0);
        old.AddField(2, "GERUFENER", 'C', 20, 0);
        ASSERT_TRUE(old.Create(kCallLogFile));
    }
    EXPECT_TRUE(TablesNeedConversion());
    CreateCallLog();
    {
        CBase old;
        for (int i = 0; i < 7; ++i)
            old.AddField(i, "F" + std::to_string(i), 'C', 5, 0);
        ASSERT_TRUE(old.Create(kPhoneBookFile));
    }
    EXPECT_TRUE(TablesNeedConversion());
    cbtest::WriteWholeFile(kPhoneBookFile, "no table at all");
    EXPECT_TRUE(TablesNeedConversion());
}

TEST_F(ConversionTest, OldTablesFromAnotherWriterKeepEveryRecordAndMark) {
    RunPython(kOldTablesScript);
    TakeOverLegacyTableNames();
    ASSERT_TRUE(TablesNeedConversion());
    Progress progress;
    EXPECT_EQ(ConvertTables(&progress), 0);
    EXPECT_FALSE(TablesNeedConversion());
    ExpectNoScratchFiles();
    ExpectLayout(kPhoneBookFile, BookColumns(), 25);
    ExpectLayout(kCallLogFile, LogColumns(), 40);
    EXPECT_EQ(cbtest::ReadWholeFile("Adressen.cpg"), "1252\n");
    EXPECT_EQ(cbtest::ReadWholeFile("Anrufe.cpg"), "1252\n");
    EXPECT_FALSE(fs::exists(CBase::CodePageFileOf(kConversionScratchFile)));
    EXPECT_EQ(CBase::CodePageFileOf("/data/ADRESSEN.DBF"), "/data/ADRESSEN.CPG");
    EXPECT_EQ(CBase::CodePageFileOf("./v1.2/calls"), "./v1.2/calls.cpg");

    CBase book(kPhoneBookFile);
    for (uint32_t i = 0; i < 25; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(book.GoTo(i), (i == 0 || i == 7 || i == 24) ? 0 : 1);
        EXPECT_EQ(book.GetField("NAME"), "Name" + std::to_string(i));
        char phone[16];
        std::snprintf(phone, sizeof phone, "0301%04u", i);
        EXPECT_EQ(book.GetField("TELEFON"), phone);
        EXPECT_EQ(book.GetField("INFO"), "Info " + std::to_string(i));
        EXPECT_EQ(book.GetField("VORNAME"), "M\xFCller");
        EXPECT_EQ(book.GetField("STRASSE"), "Stra\xDF"
                                            "e " +
                                                std::to_string(i));
        EXPECT_EQ(book.GetField("PLZORT"), "1011" + std::to_string(i % 10));
        EXPECT_EQ(book.GetField("ORT"), "Berlin");
        EXPECT_EQ(book.GetField("EMAIL", false), std::string(50, ' '));
        EXPECT_EQ(book.GetField("FAX"), "");
        EXPECT_EQ(book.GetField("APARTNER"), "");
    }
    CBase log(kCallLogFile);
    for (uint32_t i = 0; i < 40; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(log.GoTo(i), i == 3 ? 0 : 1);
        EXPECT_EQ(log.GetField("ZEIT"), std::to_string(999999990 + i));
        EXPECT_EQ(log.GetField("GERUFENER"), "4711");
        EXPECT_EQ(log.GetField("ANG", false), " ");
    }
    EXPECT_EQ(progress.aMax[0], 25u);
    EXPECT_EQ(progress.aLast[0], 25u);
    EXPECT_EQ(progress.aMax[1], 40u);
    EXPECT_EQ(progress.aLast[1], 40u);
    EXPECT_TRUE(boxes.texts().empty());

    // The converted tables serve the lookups at once.
    tAnruf a;
    EXPECT_TRUE(LookupCaller(a, "03010005", "", false));
    EXPECT_EQ(a.iRecNo, 5);
    EXPECT_FALSE(LookupCaller(a, "03010007", "", false)); // deleted stays deleted
}

TEST_F(ConversionTest, CurrentTablesComeThroughUnchanged) {
    CreatePhoneBook({{"A", "01", false}, {"B", "02", true}, {"C", "03", false}});
    CreateCallLog();
    LogCall("0301", "4711", 100);
    MarkAnswered(0);
    const std::string book = cbtest::ReadWholeFile(kPhoneBookFile);
    const std::string log = cbtest::ReadWholeFile(kCallLogFile);
    EXPECT_EQ(ConvertTables(nullptr), 0);
    // Only the date bytes of the header may differ.
    EXPECT_EQ(cbtest::ReadWholeFile(kPhoneBookFile).substr(4), book.substr(4));
    EXPECT_EQ(cbtest::ReadWholeFile(kCallLogFile).substr(4), log.substr(4));
    ExpectNoScratchFiles();
}

TEST_F(ConversionTest, OtherWidthsAndExtraColumnsAreFittedToTheLayout) {
    RunPython(R"(
t = dbf.Table('Adressen.dbf', 'EXTRA C(5); NAME C(40); TELEFON C(8); APARTNER C(3)', dbf_type='db3')
t.open(dbf.READ_WRITE)
t.append(('xx', 'N' * 35, '01234567', 'abc'))
t.close()
)");
    CreateCallLog();
    EXPECT_EQ(ConvertTables(nullptr), 0);
    ExpectLayout(kPhoneBookFile, BookColumns(), 1);
    EXPECT_EQ(Field(kPhoneBookFile, 0, "NAME"), std::string(20, 'N'));
    EXPECT_EQ(Field(kPhoneBookFile, 0, "TELEFON"), "01234567");
    EXPECT_EQ(Field(kPhoneBookFile, 0, "APARTNER"), "abc");
    EXPECT_EQ(Field(kPhoneBookFile, 0, "EXTRA"), "");
}

TEST_F(ConversionTest, FreshFolderGetsEmptyTablesAndStartsUp) {
    Progress progress;
    EXPECT_EQ(ConvertTables(&progress), 0);
    ExpectLayout(kPhoneBookFile, BookColumns(), 0);
    ExpectLayout(kCallLogFile, LogColumns(), 0);
    EXPECT_FALSE(TablesNeedConversion());
    ExpectNoScratchFiles();
    EXPECT_EQ(LogCall("0301", "4711", 1), 0);
    // Each table with its character set beside it, and nothing left of the scratch table.
    EXPECT_EQ(cbtest::ReadWholeFile("Adressen.cpg"), "1252\n");
    EXPECT_EQ(cbtest::ReadWholeFile("Anrufe.cpg"), "1252\n");
    EXPECT_FALSE(fs::exists(CBase::CodePageFileOf(kConversionScratchFile)));
}

TEST_F(ConversionTest, MissingCallLogAloneIsCreatedAfterThePhoneBook) {
    CreatePhoneBook({{"A", "01"}});
    EXPECT_EQ(ConvertTables(nullptr), 0);
    ExpectLayout(kPhoneBookFile, BookColumns(), 1);
    ExpectLayout(kCallLogFile, LogColumns(), 0);
}

TEST_F(ConversionTest, UnreadablePhoneBookFailsAndIsLeftAlone) {
    cbtest::WriteWholeFile(kPhoneBookFile, "garbage, not a table");
    CreateCallLog();
    EXPECT_EQ(ConvertTables(nullptr), 1);
    EXPECT_EQ(cbtest::ReadWholeFile(kPhoneBookFile), "garbage, not a table");
    ExpectNoScratchFiles();
}

// A leftover backup and a complete-looking table beside it: the backup may be the only full
// copy (an older release stopped halfway), so it is kept, not deleted.
TEST_F(ConversionTest, LeftoverBackupBesideItsTableIsKept) {
    RunPython(kOldTablesScript);
    TakeOverLegacyTableNames();
    fs::copy_file(kCallLogFile, kConversionBackupFile);
    {
        // The partial copy under the real name, in the current layout.
        CreateCallLog();
        LogCall("0891000", "4711", 999999990);
    }
    const std::string backup = cbtest::ReadWholeFile(kConversionBackupFile);
    EXPECT_EQ(ConvertTables(nullptr), 0);
    EXPECT_EQ(cbtest::ReadWholeFile(std::string(kConversionBackupFile) + ".1"), backup);
    ExpectNoScratchFiles();
    ExpectLayout(kCallLogFile, LogColumns(), 1);

    // A second leftover does not overwrite the first one kept aside.
    cbtest::WriteWholeFile(kConversionBackupFile, "unknown bytes");
    EXPECT_EQ(ConvertTables(nullptr), 0);
    EXPECT_EQ(cbtest::ReadWholeFile(std::string(kConversionBackupFile) + ".1"), backup);
    EXPECT_EQ(cbtest::ReadWholeFile(std::string(kConversionBackupFile) + ".2"), "unknown bytes");
}

// The table was moved to the backup and the run stopped before the new one was in place.
TEST_F(ConversionTest, LeftoverBackupOfAMissingTableIsRecovered) {
    RunPython(kOldTablesScript);
    TakeOverLegacyTableNames();
    fs::rename(kPhoneBookFile, kConversionBackupFile);
    cbtest::WriteWholeFile(kConversionScratchFile, "half a table");
    EXPECT_EQ(ConvertTables(nullptr), 0);
    ExpectLayout(kPhoneBookFile, BookColumns(), 25);
    ExpectLayout(kCallLogFile, LogColumns(), 40);
    EXPECT_EQ(Field(kPhoneBookFile, 24, "NAME"), "Name24");
    ExpectNoScratchFiles();

    // Same for the call log.
    fs::rename(kCallLogFile, kConversionBackupFile);
    EXPECT_EQ(ConvertTables(nullptr), 0);
    ExpectLayout(kCallLogFile, LogColumns(), 40);
    ExpectNoScratchFiles();
}

TEST_F(ConversionTest, ScratchTableThatCannotBeBuiltLeavesTheTablesAlone) {
    RunPython(kOldTablesScript);
    TakeOverLegacyTableNames();
    fs::create_directory(kConversionScratchFile);
    cbtest::WriteWholeFile(std::string(kConversionScratchFile) + "/keep", "x");
    const std::string book = cbtest::ReadWholeFile(kPhoneBookFile);
    EXPECT_EQ(ConvertTables(nullptr), 1);
    EXPECT_EQ(cbtest::ReadWholeFile(kPhoneBookFile), book);
    EXPECT_FALSE(fs::exists(kConversionBackupFile));
}

// A full disk halfway through the copy: the old table stays whole under its own name.
TEST_F(ConversionTest, FullDiskDuringTheCopyLeavesTheOldTableInPlace) {
    RunPython(kOldTablesScript);
    TakeOverLegacyTableNames();
    const std::string book = cbtest::ReadWholeFile(kPhoneBookFile);
    const std::string log = cbtest::ReadWholeFile(kCallLogFile);

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 353 + 10 * 458; // room for ten of the 25 records
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int tag = ConvertTables(nullptr);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(tag, 1);
    EXPECT_EQ(cbtest::ReadWholeFile(kPhoneBookFile), book);
    EXPECT_EQ(cbtest::ReadWholeFile(kCallLogFile), log);
    ExpectNoScratchFiles();
    EXPECT_TRUE(TablesNeedConversion());

    // With room again the next start converts everything.
    EXPECT_EQ(ConvertTables(nullptr), 0);
    ExpectLayout(kPhoneBookFile, BookColumns(), 25);
    ExpectLayout(kCallLogFile, LogColumns(), 40);
}

TEST_F(ConversionTest, TableCutShortKeepsTheRecordsItHolds) {
    CreatePhoneBook({{"A", "01"}, {"B", "02", true}, {"C", "03"}});
    CreateCallLog();
    std::string bytes = cbtest::ReadWholeFile(kPhoneBookFile);
    bytes.resize(353 + 2 * 458); // the third record and the end marker are gone
    cbtest::WriteWholeFile(kPhoneBookFile, bytes);
    EXPECT_EQ(ConvertTables(nullptr), 0);
    ExpectLayout(kPhoneBookFile, BookColumns(), 2);
    int state = -1;
    EXPECT_EQ(Field(kPhoneBookFile, 1, "NAME", &state), "B");
    EXPECT_EQ(state, 0);
}

} // namespace

namespace {

TEST_F(ConversionTest, ConvertedTablesKeepTheirCodePageMark) {
    // python-dbf marks its tables itself; that mark stays.
    RunPython(kOldTablesScript);
    const char pythonMark = cbtest::ReadWholeFile("RingScan.dbf")[29];
    ASSERT_NE(pythonMark, 0);
    TakeOverLegacyTableNames();
    ASSERT_EQ(ConvertTables(nullptr), 0);
    EXPECT_EQ(cbtest::ReadWholeFile(kPhoneBookFile)[29], pythonMark);

    // An old table without a mark gets Windows-1252's, as every new table does.
    fs::remove(kPhoneBookFile);
    fs::remove(kCallLogFile);
    {
        CBase old;
        old.SetCodePageMark(0);
        old.AddField(0, "ZEIT", 'C', 10, 0);
        old.AddField(1, "ANRUFER", 'C', 20, 0);
        old.AddField(2, "GERUFENER", 'C', 20, 0);
        ASSERT_TRUE(old.Create(kCallLogFile));
        ASSERT_EQ(cbtest::ReadWholeFile(kCallLogFile)[29], 0);
    }
    ASSERT_EQ(ConvertTables(nullptr), 0);
    EXPECT_EQ(uint8_t(cbtest::ReadWholeFile(kCallLogFile)[29]), CBase::kWindowsAnsiMark);
    EXPECT_EQ(uint8_t(cbtest::ReadWholeFile(kPhoneBookFile)[29]), CBase::kWindowsAnsiMark);
}

} // namespace
