// SPDX-License-Identifier: GPL-3.0-or-later
// Where settings, tables and the lock of one user go, on real folders and files.
#include "platform/Autostart.h"
#include "platform/InstanceLock.h"
#include "platform/UserPaths.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using cbtest::ReadWholeFile;
using cbtest::WriteWholeFile;

namespace {

// Sets environment variables for one test and puts the old values back.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : sName(name) {
        if (const char* old = std::getenv(name)) {
            bHad = true;
            sOld = old;
        }
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (bHad)
            setenv(sName.c_str(), sOld.c_str(), 1);
        else
            unsetenv(sName.c_str());
    }

private:
    std::string sName, sOld;
    bool bHad = false;
};

class UserPathsTest : public ::testing::Test {
protected:
    cbtest::TempDir temp;
    fs::path root = temp.path();
    ScopedEnv home{"HOME", (temp.path() / "home").string()};
    ScopedEnv config{"XDG_CONFIG_HOME", (temp.path() / "cfg").string()};
    ScopedEnv data{"XDG_DATA_HOME", (temp.path() / "share").string()};
};

} // namespace

TEST_F(UserPathsTest, XdgFoldersFollowTheVariablesAndIgnoreRelativeOnes) {
    EXPECT_EQ(cb::XdgConfigHome(), (root / "cfg").string());
    EXPECT_EQ(cb::XdgDataHome(), (root / "share").string());
    ScopedEnv relative("XDG_CONFIG_HOME", "relative/cfg");
    ScopedEnv empty("XDG_DATA_HOME", "");
    EXPECT_EQ(cb::XdgConfigHome(), (root / "home/.config").string());
    EXPECT_EQ(cb::XdgDataHome(), (root / "home/.local/share").string());
}

TEST_F(UserPathsTest, SettingsBesideAPortableCopyElseInTheConfigFolder) {
    fs::create_directories(root / "portable");
    const std::string portable = (root / "portable/callbeacon").string();
    EXPECT_EQ(cb::ChooseSettingsFile(portable), (root / "portable/callbeacon.INI").string());

    // Installed: share/callbeacon/Avon.dbf beside the bin folder. Even a writable bin
    // folder (root's /usr/bin) gets no settings file.
    fs::create_directories(root / "usr/bin");
    fs::create_directories(root / "usr/share/callbeacon");
    WriteWholeFile((root / "usr/share/callbeacon/Avon.dbf").string(), "x");
    const std::string installed = (root / "usr/bin/callbeacon").string();
    EXPECT_EQ(cb::InstalledDataFolder(installed), (root / "usr/share/callbeacon").string());
    EXPECT_EQ(cb::InstalledAreaCodeFile(installed),
              (root / "usr/share/callbeacon/Avon.dbf").string());
    EXPECT_EQ(cb::ChooseSettingsFile(installed), (root / "cfg/callbeacon/callbeacon.INI").string());
    EXPECT_EQ(cb::InstalledAreaCodeFile(portable), "");

    if (geteuid() != 0) {
        fs::permissions(root / "portable", fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_EQ(cb::ChooseSettingsFile(portable),
                  (root / "cfg/callbeacon/callbeacon.INI").string());
    }
    EXPECT_EQ(cb::ChooseSettingsFile(""), (root / "cfg/callbeacon/callbeacon.INI").string());
}

TEST_F(UserPathsTest, DataFolderNamedElseWorkingFolderWithTablesElsePerUser) {
    fs::create_directories(root / "work");
    const std::string work = (root / "work").string();
    EXPECT_EQ(cb::ChooseDataFolder("/srv/daten", work), "/srv/daten");
    EXPECT_EQ(cb::ChooseDataFolder("", work), (root / "share/callbeacon").string());
    for (const char* table :
         {"Anrufe.dbf", "Adressen.dbf", "Avon.dbf", "calls.dbf", "RingScan.dbf"}) {
        WriteWholeFile((root / "work" / table).string(), "");
        EXPECT_EQ(cb::ChooseDataFolder("", work), work) << table;
        fs::remove(root / "work" / table);
    }
    // Tables copied from DOS or Windows count in capitals.
    WriteWholeFile((root / "work" / "ANRUFE.DBF").string(), "");
    EXPECT_EQ(cb::ChooseDataFolder("", work), work);
    fs::remove(root / "work" / "ANRUFE.DBF");
    // A folder of that name is no table.
    fs::create_directories(root / "work/Anrufe.dbf");
    EXPECT_FALSE(cb::FolderHoldsTables(work));
}

TEST_F(UserPathsTest, EnsureFolderCreatesPrivateFoldersAndReportsFailure) {
    const fs::path folder = root / "share/a/callbeacon";
    ASSERT_TRUE(cb::EnsureFolder(folder.string()));
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_TRUE(cb::EnsureFolder(folder.string()));
    WriteWholeFile((root / "file").string(), "");
    EXPECT_FALSE(cb::EnsureFolder((root / "file/below").string()));
}

TEST_F(UserPathsTest, AutostartEntryIsWrittenQuotedAndRemoved) {
    EXPECT_FALSE(cb::AutostartEnabled());
    const std::string exe = root.string() + "/Meine Programme/call$beacon";
    ASSERT_TRUE(cb::SetAutostart(true, exe, "/srv/daten 100%"));
    EXPECT_EQ(cb::AutostartFilePath(), (root / "cfg/autostart/callbeacon.desktop").string());
    EXPECT_TRUE(cb::AutostartEnabled());
    const std::string text = ReadWholeFile(cb::AutostartFilePath());
    EXPECT_NE(text.find("[Desktop Entry]\nType=Application\n"), std::string::npos) << text;
    // Quoted, $ escaped inside the quotes, the backslash escaped again for the file, % doubled.
    EXPECT_NE(text.find("\nExec=\"" + root.string() +
                        "/Meine Programme/call\\\\$beacon\" --daten "
                        "\"/srv/daten 100%%\"\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(cb::DesktopExecLine("/usr/bin/callbeacon", ""), "/usr/bin/callbeacon");

    // Switched off by the desktop's own tool.
    WriteWholeFile(cb::AutostartFilePath(), text + "Hidden=true\n");
    EXPECT_FALSE(cb::AutostartEnabled());
    ASSERT_TRUE(cb::SetAutostart(false, exe, ""));
    EXPECT_FALSE(fs::exists(cb::AutostartFilePath()));
    EXPECT_TRUE(cb::SetAutostart(false, exe, "")); // nothing to remove is no failure

    // An autostart folder that cannot be made is reported.
    fs::remove_all(root / "cfg/autostart");
    WriteWholeFile((root / "cfg/autostart").string(), "a file");
    EXPECT_FALSE(cb::SetAutostart(true, exe, ""));
}

TEST_F(UserPathsTest, OneInstanceLockPerSettingsFileWhateverTheEnvironmentOrSpelling) {
    using Result = cb::CInstanceLock::Result;
    fs::create_directories(root / "cfg");
    const std::string ini = (root / "cfg/callbeacon.INI").string();
    ScopedEnv runtime("XDG_RUNTIME_DIR", (root / "run").string());
    cb::CInstanceLock first(ini);
    ASSERT_EQ(first.TryLock(), Result::Acquired);
    EXPECT_EQ(fs::path(first.Paths()[0]).parent_path(), root / "cfg");
    // Another environment, another spelling of the same file, a link to its folder: the same
    // lock, so no second monitor on one settings file and one call log.
    ScopedEnv none("XDG_RUNTIME_DIR", "");
    cb::CInstanceLock doubled((root / "cfg//./../cfg/callbeacon.INI").string());
    EXPECT_EQ(doubled.TryLock(), Result::HeldByAnother);
    fs::create_directory_symlink(root / "cfg", root / "link");
    cb::CInstanceLock linked((root / "link/callbeacon.INI").string());
    EXPECT_EQ(linked.TryLock(), Result::HeldByAnother);
    // A portable copy with settings of its own is another monitor and may run beside it.
    cb::CInstanceLock portable((root / "usb/callbeacon.INI").string());
    EXPECT_EQ(portable.TryLock(), Result::Acquired);
    // Held for a long time is still held (the monitor runs for days).
    struct timespec old[2] = {{1000000, 0}, {1000000, 0}};
    for (const std::string& path : first.Paths())
        utimensat(AT_FDCWD, path.c_str(), old, 0);
    EXPECT_EQ(doubled.TryLock(), Result::HeldByAnother);

    // A lock left by a process that died is taken over.
    const pid_t child = fork();
    if (child == 0) {
        cb::CInstanceLock dying((root / "other/callbeacon.INI").string());
        _exit(dying.TryLock() == Result::Acquired ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(WEXITSTATUS(status), 0);
    cb::CInstanceLock after((root / "other/callbeacon.INI").string());
    // The child's lock object was never destroyed (_exit), so its files are still there.
    ASSERT_TRUE(fs::exists(after.Paths().back()));
    EXPECT_EQ(after.TryLock(), Result::Acquired);
    EXPECT_NE(after.FailureText().find("Sperrdatei"), std::string::npos);
}
