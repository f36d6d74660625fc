// SPDX-License-Identifier: GPL-3.0-or-later
// The table engine on data folders as users have them: names in capitals, damaged files and
// things that are no files, a full disk, several programs on one table, files with their own
// permissions, owners and links.
#include "db/CBase.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using cbtest::ReadWholeFile;
using cbtest::WriteWholeFile;

constexpr int kHeader = 97; // NAME 10, TEL 5
constexpr int kRecord = 16;

bool MakeSmall(const std::string& file = "t.dbf") {
    CBase db;
    db.AddField(0, "NAME", 'C', 10, 0);
    db.AddField(1, "TEL", 'C', 5, 0);
    return db.Create(file);
}

int Append(CBase& db, const std::string& name) {
    db.PutField("NAME", name);
    db.PutField("TEL", "1");
    return db.Append();
}

// What dbfread, an independent reader, makes of the table: "<count> <records read>", or its
// error.
std::string ReadWithDbfread(const std::string& file) {
    const std::string cmd =
        "/usr/bin/python3 -c \"import sys, dbfread; t = dbfread.DBF(sys.argv[1], raw=True); "
        "print(t.header.numrecords, len(list(t.records)) + len(list(t.deleted)))\" '" +
        file + "' 2>&1";
    std::string out;
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char buf[256];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        pclose(p);
    }
    while (!out.empty() && out.back() == '\n')
        out.pop_back();
    return out;
}

// Runs `body` in a child process; its exit code (0 for success) comes back.
template <class Body> pid_t Spawn(Body body) {
    const pid_t pid = fork();
    if (pid == 0) _exit(body());
    return pid;
}
int Wait(pid_t pid) {
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

class CBaseSharedTest : public ::testing::Test {
protected:
    cbtest::TempDir dir;
};

TEST_F(CBaseSharedTest, NamesInAnotherCaseFindTheExistingTable) {
    ASSERT_TRUE(MakeSmall("ADRESSEN.DBF"));
    {
        CBase db;
        ASSERT_TRUE(db.Open("Adressen.dbf"));
        ASSERT_EQ(Append(db, "Anna"), 1);
    }
    // Create replaces that table instead of putting a second spelling beside it.
    ASSERT_TRUE(MakeSmall("Adressen.dbf"));
    EXPECT_TRUE(fs::exists("ADRESSEN.DBF"));
    EXPECT_FALSE(fs::exists("Adressen.dbf"));
    EXPECT_EQ(CBase("adressen.dbf").RecCount(), 0u);

    // The exact spelling wins where both exist.
    ASSERT_TRUE(MakeSmall("t.dbf"));
    fs::copy_file("t.dbf", "T.dbf");
    {
        CBase upper("T.dbf");
        ASSERT_EQ(Append(upper, "gross"), 1);
    }
    EXPECT_EQ(CBase("t.dbf").RecCount(), 0u);
    EXPECT_EQ(CBase("T.dbf").RecCount(), 1u);
}

TEST_F(CBaseSharedTest, FilesThatAreNoTablesSayWhy) {
    ASSERT_TRUE(MakeSmall());
    {
        CBase db("t.dbf");
        Append(db, "A");
        Append(db, "B");
    }
    const std::string good = ReadWholeFile("t.dbf");
    auto put16 = [](std::string& b, size_t at, int v) {
        b[at] = char(v & 0xff);
        b[at + 1] = char(v >> 8);
    };
    struct Case {
        const char* what;
        std::function<void(std::string&)> change;
        CBase::Error error;
    };
    const std::vector<Case> cases = {
        {"empty", [](std::string& b) { b.clear(); }, CBase::Error::TooShort},
        {"cut header", [](std::string& b) { b.resize(20); }, CBase::Error::TooShort},
        {"header past the end", [](std::string& b) { b.resize(60); },
         CBase::Error::BadHeaderLength},
        {"header length 32", [&](std::string& b) { put16(b, 8, 32); },
         CBase::Error::BadHeaderLength},
        {"record length 0", [&](std::string& b) { put16(b, 10, 0); },
         CBase::Error::BadRecordLength},
        {"record length 2000", [&](std::string& b) { put16(b, 10, 2000); },
         CBase::Error::BadRecordLength},
        {"field width 0", [](std::string& b) { b[32 + 16] = 0; }, CBase::Error::BadField},
        {"fields past the record", [&](std::string& b) { put16(b, 10, 10); },
         CBase::Error::BadField},
        {"no terminator", [](std::string& b) { b[96] = 'x'; }, CBase::Error::NoTerminator},
        {"many fields",
         [&](std::string& b) {
             b.resize(32);
             b += std::string(32 * 60, 'F') + "\r";
             put16(b, 8, 32 * 61 + 1);
         },
         CBase::Error::TooManyFields},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        c.change(bytes);
        WriteWholeFile("d.dbf", bytes);
        CBase db;
        EXPECT_FALSE(db.Open("d.dbf"));
        EXPECT_EQ(db.LastError(), c.error);
        EXPECT_TRUE(CBase::IsDamage(db.LastError()));
        EXPECT_EQ(ReadWholeFile("d.dbf"), bytes); // looked at, never changed
    }

    CBase db;
    EXPECT_FALSE(db.Open("fehlt.dbf"));
    EXPECT_EQ(db.LastError(), CBase::Error::Missing);
    fs::create_directory("ordner.dbf");
    EXPECT_FALSE(db.Open("ordner.dbf"));
    EXPECT_EQ(db.LastError(), CBase::Error::NotAFile);
    // A named pipe would wait for a writer forever if it were opened like a file.
    ASSERT_EQ(mkfifo("rohr.dbf", 0644), 0);
    EXPECT_FALSE(db.Open("rohr.dbf"));
    EXPECT_EQ(db.LastError(), CBase::Error::NotAFile);
    EXPECT_FALSE(db.OpenForReading("rohr.dbf"));
    EXPECT_FALSE(CBase::IsDamage(CBase::Error::NotAFile));
}

// The header counts a record the file does not hold (a copy cut short): appends cannot go
// anywhere sound and say so; nothing is written.
TEST_F(CBaseSharedTest, CountBeyondTheFileRefusesChangesWithItsReason) {
    ASSERT_TRUE(MakeSmall());
    {
        CBase db("t.dbf");
        Append(db, "A");
        Append(db, "B");
    }
    std::string bytes = ReadWholeFile("t.dbf");
    bytes.resize(kHeader + kRecord + 5);
    WriteWholeFile("t.dbf", bytes);
    CBase db;
    ASSERT_TRUE(db.Open("t.dbf"));
    EXPECT_EQ(Append(db, "C"), 0);
    EXPECT_EQ(db.LastError(), CBase::Error::CountBeyondFile);
    EXPECT_EQ(db.Delete(1), 0);
    EXPECT_EQ(db.LastError(), CBase::Error::CountBeyondFile);
    EXPECT_FALSE(db.Pack());
    EXPECT_EQ(db.LastError(), CBase::Error::CountBeyondFile);
    EXPECT_EQ(ReadWholeFile("t.dbf"), bytes);
}

// The disk fills up in the middle of a record: no torn record stays behind, and the count,
// the records and the end marker agree for every reader.
TEST_F(CBaseSharedTest, ShortWriteLeavesNoTornRecord) {
    ASSERT_TRUE(MakeSmall());
    CBase db("t.dbf");
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(Append(db, "N" + std::to_string(i)), 1);
    const std::string before = ReadWholeFile("t.dbf");

    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = kHeader + 3 * kRecord + 7; // the fourth record stops after 6 bytes
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int appended = Append(db, "voll");
    const CBase::Error error = db.LastError();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(appended, 0);
    EXPECT_EQ(error, CBase::Error::DiskFull);
    EXPECT_EQ(db.RecCount(), 3u);
    EXPECT_EQ(ReadWholeFile("t.dbf"), before);
    EXPECT_EQ(ReadWithDbfread("t.dbf"), "3 3");

    // With room again the next call goes where the torn one would have been.
    ASSERT_EQ(Append(db, "wieder"), 1);
    EXPECT_EQ(db.RecNo(), 3u);
    EXPECT_EQ(ReadWithDbfread("t.dbf"), "4 4");
}

// Two programs log into one table at once: every record arrives, none overwrites another,
// and a third one reading all the while sees only whole tables.
TEST_F(CBaseSharedTest, TwoProcessesAppendingLoseNothing) {
    ASSERT_TRUE(MakeSmall());
    auto writer = [](const std::string& prefix) {
        return [prefix] {
            for (int i = 0; i < 30; ++i) {
                CBase db; // open, work, close, as the call log does
                if (!db.Open("t.dbf") || Append(db, prefix + std::to_string(i)) != 1) return 1;
            }
            return 0;
        };
    };
    const pid_t reader = Spawn([] {
        for (int round = 0; round < 200; ++round) {
            CBase db;
            if (!db.OpenForReading("t.dbf")) return 1;
            for (uint32_t i = 0; i < db.RecCount(); ++i)
                if (db.GoTo(i) != 1) return 2;
        }
        return 0;
    });
    const pid_t a = Spawn(writer("a"));
    const pid_t b = Spawn(writer("b"));
    EXPECT_EQ(Wait(a), 0);
    EXPECT_EQ(Wait(b), 0);
    EXPECT_EQ(Wait(reader), 0);

    CBase db("t.dbf");
    ASSERT_EQ(db.RecCount(), 60u);
    std::set<std::string> names;
    for (uint32_t i = 0; i < 60; ++i) {
        ASSERT_EQ(db.GoTo(i), 1);
        names.insert(db.GetField("NAME"));
    }
    EXPECT_EQ(names.size(), 60u);
    EXPECT_EQ(fs::file_size("t.dbf"), uint64_t(kHeader + 60 * kRecord + 1));
    EXPECT_EQ(ReadWithDbfread("t.dbf"), "60 60");
}

// A pack replaces the file while another program appends: the appends that wait for it go to
// the packed table, not to the file it replaced.
TEST_F(CBaseSharedTest, AppendsDuringPacksGoToThePackedTable) {
    ASSERT_TRUE(MakeSmall());
    {
        CBase db("t.dbf");
        for (int i = 0; i < 200; ++i) {
            ASSERT_EQ(Append(db, "alt" + std::to_string(i)), 1);
            ASSERT_EQ(db.Delete(i), 1);
        }
    }
    const pid_t appender = Spawn([] {
        for (int i = 0; i < 40; ++i) {
            CBase db;
            if (!db.Open("t.dbf")) return 100 + int(db.LastError());
            if (Append(db, "neu" + std::to_string(i)) != 1) return 50 + int(db.LastError());
        }
        return 0;
    });
    for (int i = 0; i < 10; ++i) {
        CBase db("t.dbf");
        EXPECT_TRUE(db.Pack());
    }
    EXPECT_EQ(Wait(appender), 0);
    CBase db("t.dbf");
    ASSERT_TRUE(db.Pack());
    EXPECT_EQ(db.RecCount(), 40u);
    for (const auto& e : fs::directory_iterator(dir.path()))
        EXPECT_EQ(e.path().filename().string().find("~temp01"), std::string::npos) << e.path();
}

// Another program holding the lock longer than a change waits: the change fails, saying so,
// and the table is as it was.
TEST_F(CBaseSharedTest, ALockHeldTooLongFailsTheChange) {
    ASSERT_TRUE(MakeSmall());
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = Spawn([&] {
        CBase db("t.dbf");
        if (!db.Lock()) return 1;
        char c = 'x';
        if (write(ready[1], &c, 1) != 1) return 2;
        sleep(7);
        return 0;
    });
    char c = 0;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    CBase db("t.dbf");
    EXPECT_EQ(Append(db, "wartet"), 0);
    EXPECT_EQ(db.LastError(), CBase::Error::Locked);
    EXPECT_EQ(Wait(holder), 0);
    EXPECT_EQ(Append(db, "jetzt"), 1);
    EXPECT_EQ(CBase("t.dbf").RecCount(), 1u);
    close(ready[0]);
    close(ready[1]);
}

TEST_F(CBaseSharedTest, PackKeepsPermissionsOwnerAndLink) {
    fs::create_directory("echt");
    ASSERT_TRUE(MakeSmall("echt/t.dbf"));
    {
        CBase db("echt/t.dbf");
        Append(db, "weg");
        Append(db, "bleibt");
        db.Delete(0);
    }
    ASSERT_EQ(chmod("echt/t.dbf", 0660), 0);
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown("echt/t.dbf", 4321, 4322), 0);
    }
    fs::create_symlink("echt/t.dbf", "t.dbf");

    CBase db("t.dbf");
    ASSERT_TRUE(db.Pack());
    EXPECT_EQ(db.RecCount(), 1u);
    ASSERT_TRUE(fs::is_symlink("t.dbf"));
    EXPECT_EQ(fs::read_symlink("t.dbf"), "echt/t.dbf");
    struct stat st {};
    ASSERT_EQ(stat("echt/t.dbf", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    if (root) {
        EXPECT_EQ(st.st_uid, 4321u);
        EXPECT_EQ(st.st_gid, 4322u);
    }
    EXPECT_EQ(CBase("echt/t.dbf").RecCount(), 1u);
    std::set<std::string> files;
    for (const auto& e : fs::directory_iterator("echt"))
        files.insert(e.path().filename().string());
    // The scratch table went where the table is, and is gone; the code-page file stays.
    EXPECT_EQ(files, (std::set<std::string>{"t.dbf", "t.cpg"}));
}

TEST_F(CBaseSharedTest, ReadOnlyTablesServeReadsAndRefuseChanges) {
    ASSERT_TRUE(MakeSmall());
    {
        CBase db("t.dbf");
        Append(db, "A");
    }
    ASSERT_EQ(chmod("t.dbf", 0444), 0);
    const std::string bytes = ReadWholeFile("t.dbf");
    CBase db;
    EXPECT_FALSE(db.Open("t.dbf"));
    EXPECT_EQ(db.LastError(), CBase::Error::NoAccess);
    ASSERT_TRUE(db.OpenForReading("T.DBF"));
    EXPECT_EQ(db.GoTo(0), 1);
    EXPECT_EQ(db.GetField("NAME"), "A");
    EXPECT_EQ(db.Find("NAME", "A", CBase::FindExact), 0);
    EXPECT_EQ(db.Write(), 0);
    EXPECT_EQ(db.Delete(0), 0);
    EXPECT_FALSE(db.Pack());
    EXPECT_EQ(db.LastError(), CBase::Error::NoAccess);
    EXPECT_EQ(ReadWholeFile("t.dbf"), bytes);
}

} // namespace
