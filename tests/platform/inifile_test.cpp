// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ExePath.h"
#include "platform/IniFile.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
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

TEST(ExePath, ReplacesTheExtensionWithIni) {
    EXPECT_EQ(cb::ReplaceExtensionWithIni("/opt/cb/CBMON.exe"), "/opt/cb/CBMON.INI");
    EXPECT_EQ(cb::ReplaceExtensionWithIni("/work/build/callbeacon"), "/work/build/callbeacon.INI");
    EXPECT_EQ(cb::ReplaceExtensionWithIni("/a.b/prog"), "/a.b/prog.INI");
    EXPECT_EQ(cb::ReplaceExtensionWithIni("/home/u/.hidden"), "/home/u/.hidden.INI");
    EXPECT_FALSE(cb::ExecutablePath().empty());
}
