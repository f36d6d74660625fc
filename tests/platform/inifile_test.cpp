// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ExePath.h"
#include "platform/IniFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using cb::CIniFile;
using cbtest::ReadWholeFile;
using cbtest::TempDir;
using cbtest::WriteWholeFile;

TEST(IniFile, ReadsKeysWithoutRegardToCaseAndTrimsBlanks) {
    TempDir dir;
    WriteWholeFile("a.ini", "; comment\n[Anruf]\n  sekunden =  20 \r\n[MSN]\nNr0=\"0301234\"\n");
    CIniFile ini(dir.file("a.ini"));
    EXPECT_EQ(ini.ReadString("ANRUF", "Sekunden", "x"), "20");
    EXPECT_EQ(ini.ReadInteger("anruf", "SEKUNDEN", 10), 20);
    EXPECT_EQ(ini.ReadString("MSN", "Nr0", ""), "0301234");
    EXPECT_EQ(ini.ReadString("MSN", "Nr1", "def"), "def");
    EXPECT_EQ(ini.ReadString("Nix", "Sekunden", "def"), "def");
}

TEST(IniFile, ParsesIntegersAsTheProfileFunctionsDo) {
    int v = 0;
    EXPECT_TRUE(CIniFile::ParseInteger("0x14", v));
    EXPECT_EQ(v, 20);
    EXPECT_TRUE(CIniFile::ParseInteger("$1F", v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(CIniFile::ParseInteger("-7", v));
    EXPECT_EQ(v, -7);
    EXPECT_TRUE(CIniFile::ParseInteger("+150", v));
    EXPECT_EQ(v, 150);
    EXPECT_TRUE(CIniFile::ParseInteger("0xFFFFFFFF", v));
    EXPECT_EQ(v, -1);
    for (const char* bad : {"", "abc", "0x", "$", "12abc", "yes", "-", "99999999999", "1 2"})
        EXPECT_FALSE(CIniFile::ParseInteger(bad, v)) << bad;
}

TEST(IniFile, WriteKeepsEveryOtherLineAndChangesOnlyTheKey) {
    TempDir dir;
    const std::string before =
        "; hand-written "
        "comment\n[Fremd]\nkey=1\n\n[Anruf]\nSekunden=5\nHistory=1\n\n[WndDetail]\nLeft=10\n";
    WriteWholeFile("a.ini", before);
    CIniFile ini(dir.file("a.ini"));
    ini.WriteInteger("ANRUF", "sekunden", 30);
    ini.WriteString("Anruf", "Blinkend", "1");
    ini.WriteString("MSN", "Nr0", "");
    EXPECT_EQ(ReadWholeFile("a.ini"),
              "; hand-written comment\n[Fremd]\nkey=1\n\n[Anruf]\nsekunden=30\nHistory=1\n"
              "Blinkend=1\n\n[WndDetail]\nLeft=10\n\n[MSN]\nNr0=\n");
}

TEST(IniFile, WriteCreatesMissingFileAndKeepsCrLf) {
    TempDir dir;
    CIniFile fresh(dir.file("new.ini"));
    fresh.WriteInteger("Anruf", "Sekunden", 10);
    EXPECT_EQ(ReadWholeFile("new.ini"), "[Anruf]\nSekunden=10\n");

    WriteWholeFile("dos.ini", "[Anruf]\r\nSekunden=1\r\n");
    CIniFile dos(dir.file("dos.ini"));
    dos.WriteInteger("Anruf", "Sekunden", 2);
    EXPECT_EQ(ReadWholeFile("dos.ini"), "[Anruf]\r\nSekunden=2\r\n");
}

TEST(IniFile, FailedWriteRaisesTheErrorAndLeavesTheFile) {
    TempDir dir;
    WriteWholeFile("ro.ini", "[Anruf]\nSekunden=1\n");
    chmod("ro.ini", 0444);
    CIniFile ro(dir.file("ro.ini"));
    try {
        ro.WriteInteger("Anruf", "Sekunden", 2);
        FAIL() << "write to a read-only file succeeded";
    } catch (const cb::IniWriteError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "nach " + dir.file("ro.ini") + " kann nicht geschrieben werden");
    }
    EXPECT_EQ(ReadWholeFile("ro.ini"), "[Anruf]\nSekunden=1\n");

    CIniFile missingFolder(dir.file("no/such/folder.ini"));
    EXPECT_THROW(missingFolder.WriteInteger("A", "b", 1), cb::IniWriteError);
    // No temporary files left behind.
    int entries = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 1);
}

TEST(IniFile, WriteKeepsPermissionsAndWritesThroughALink) {
    TempDir dir;
    WriteWholeFile("shared.ini", "[Anruf]\nSekunden=1\n");
    chmod("shared.ini", 0664);
    CIniFile(dir.file("shared.ini")).WriteInteger("Anruf", "Sekunden", 3);
    struct stat st {};
    ASSERT_EQ(stat("shared.ini", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0664u);

    ASSERT_EQ(symlink("shared.ini", "link.ini"), 0);
    CIniFile ini(dir.file("link.ini"));
    ini.WriteInteger("Anruf", "Sekunden", 2);
    ASSERT_EQ(lstat("link.ini", &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link was replaced by a file";
    EXPECT_EQ(ReadWholeFile("shared.ini"), "[Anruf]\nSekunden=2\n");
    ASSERT_EQ(stat("shared.ini", &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0664u);
}

TEST(IniFile, BinaryAndHugeContentGiveDefaultsWithoutCrash) {
    TempDir dir;
    std::string garbage;
    for (int i = 0; i < 70000; ++i)
        garbage.push_back(static_cast<char>((i * 7919) & 0xFF));
    WriteWholeFile("bin.ini", garbage);
    CIniFile bin(dir.file("bin.ini"));
    EXPECT_EQ(bin.ReadInteger("Anruf", "Sekunden", 10), 10);

    WriteWholeFile("long.ini", "[MSN]\nNr0=" + std::string(100000, '5') +
                                   "\n[Anruf]\nSekunden=" + std::string(5000, '9') + "\n");
    CIniFile longIni(dir.file("long.ini"));
    EXPECT_EQ(longIni.ReadString("MSN", "Nr0", "").size(), 100000u);
    EXPECT_EQ(longIni.ReadInteger("Anruf", "Sekunden", 10), 10);
    // Writing into such a file keeps the rest intact.
    longIni.WriteInteger("Anruf", "Sekunden", 3);
    EXPECT_EQ(longIni.ReadString("MSN", "Nr0", "").size(), 100000u);
    EXPECT_EQ(longIni.ReadInteger("Anruf", "Sekunden", 10), 3);
}

namespace {

// Every entry of the folder but `keep`, with its permission bits.
std::vector<std::pair<std::string, mode_t>> OthersIn(const std::string& folder,
                                                     const std::string& keep) {
    std::vector<std::pair<std::string, mode_t>> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (entry.path().filename() == keep) continue;
        struct stat st {};
        if (lstat(entry.path().c_str(), &st) == 0)
            found.emplace_back(entry.path().filename().string(), st.st_mode & 07777);
    }
    return found;
}

} // namespace

// The shared key of the announcements is in the settings file: no other user may read it,
// neither in the file nor in a scratch copy while it is written.
TEST(IniFile, AFileWithASecretIsOwnerOnlyFromItsFirstByte) {
    TempDir dir;
    CIniFile::MarkSecretKey("Netzwerk", "Kennwort");
    const mode_t oldMask = umask(022);
    CIniFile fresh(dir.file("fresh.ini"));
    fresh.WriteString("netzwerk", "kennwort", "geheim");
    struct stat st {};
    ASSERT_EQ(stat("fresh.ini", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    WriteWholeFile("shared.ini", "[Anruf]\nSekunden=1\n[Netzwerk]\nKennwort=\n");
    chmod("shared.ini", 0664);
    CIniFile shared(dir.file("shared.ini"));
    shared.WriteInteger("Anruf", "Sekunden", 2); // no key in it: the mode stays
    ASSERT_EQ(stat("shared.ini", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0664u);
    shared.WriteString("Netzwerk", "Kennwort", "geheim");
    ASSERT_EQ(stat("shared.ini", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // Large writes in a child while this process watches the folder: whatever appears beside
    // the file is never readable by others.
    std::string big = "[Netzwerk]\nKennwort=geheim\n[Viel]\n";
    for (int i = 0; i < 200000; ++i)
        big += "k" + std::to_string(i) + "=" + std::string(80, 'x') + "\n";
    WriteWholeFile("big.ini", big);
    chmod("big.ini", 0644);
    const pid_t child = fork();
    if (child == 0) {
        CIniFile ini(dir.file("big.ini"));
        for (int i = 0; i < 10; ++i)
            ini.WriteInteger("Anruf", "Runde", i);
        _exit(0);
    }
    int seen = 0;
    for (int status = 0; waitpid(child, &status, WNOHANG) == 0;) {
        for (const auto& [name, mode] : OthersIn(dir.path().string(), "big.ini")) {
            if (name == "fresh.ini" || name == "shared.ini") continue;
            ++seen;
            EXPECT_EQ(mode & 077, 0u) << name << " is readable by others";
        }
    }
    umask(oldMask);
    ASSERT_EQ(stat("big.ini", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_TRUE(OthersIn(dir.path().string(), "big.ini").size() == 2) << "scratch file left";
    (void)seen;
}

// An end in the middle of a write (SIGKILL, or the shutdown deadline) leaves the old file
// whole and nothing beside it.
TEST(IniFile, AnEndInTheMiddleOfAWriteLeavesTheOldFileAndNoScratch) {
    TempDir dir;
    std::string big = "[Viel]\n";
    for (int i = 0; i < 300000; ++i)
        big += "k" + std::to_string(i) + "=" + std::string(80, 'x') + "\n";
    WriteWholeFile("big.ini", big);
    for (int delayMs : {5, 20, 60}) {
        const pid_t child = fork();
        if (child == 0) {
            CIniFile ini(dir.file("big.ini"));
            for (;;)
                ini.WriteInteger("Anruf", "Runde", 1);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);
        EXPECT_TRUE(OthersIn(dir.path().string(), "big.ini").empty())
            << "left beside the file: " << OthersIn(dir.path().string(), "big.ini")[0].first;
        const std::string now = ReadWholeFile("big.ini");
        EXPECT_TRUE(now == big || now == big + "\n[Anruf]\nRunde=1\n") << now.size();
    }
    // Where the file system had no nameless files, a killed writer left a named one: the
    // next write removes it; a living writer's stays.
    const pid_t dead = fork();
    if (dead == 0) _exit(0);
    waitpid(dead, nullptr, 0);
    WriteWholeFile("big.ini.tmp" + std::to_string(dead), "Kennwort=geheim\n");
    WriteWholeFile("big.ini.tmp1", "init's own\n");
    CIniFile(dir.file("big.ini")).WriteInteger("Anruf", "Runde", 2);
    EXPECT_FALSE(std::filesystem::exists("big.ini.tmp" + std::to_string(dead)));
    EXPECT_TRUE(std::filesystem::exists("big.ini.tmp1"));
}

TEST(ExePath, ReplacesTheExtensionWithIni) {
    EXPECT_EQ(cb::ReplaceExtensionWithIni("/opt/cb/CBMON.exe"), "/opt/cb/CBMON.INI");
    EXPECT_EQ(cb::ReplaceExtensionWithIni("/work/build/callbeacon"), "/work/build/callbeacon.INI");
    EXPECT_EQ(cb::ReplaceExtensionWithIni("/a.b/prog"), "/a.b/prog.INI");
    EXPECT_EQ(cb::ReplaceExtensionWithIni("/home/u/.hidden"), "/home/u/.hidden.INI");
    EXPECT_FALSE(cb::ExecutablePath().empty());
    // A program file replaced while running: the settings stay beside the path it had.
    EXPECT_EQ(cb::WithoutDeletedMark("/work/build/callbeacon (deleted)"), "/work/build/callbeacon");
    EXPECT_EQ(cb::WithoutDeletedMark("/work/build/callbeacon"), "/work/build/callbeacon");
}
