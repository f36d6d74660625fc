// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: the command line, the data folder it leads to and the area-code directory read
// from an installed, write-protected copy when the data folder has none.
#include "app/CommandLine.h"
#include "app/DataFolder.h"
#include "db/AreaCodes.h"
#include "support/TableSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace fs = std::filesystem;

namespace {

TCommandLine Parse(const QStringList& arguments) {
    return ParseCommandLine(QStringList{QStringLiteral("callbeacon")} + arguments);
}

std::string PlaceOf(const std::string& number) {
    std::string place = "-", plz, breite, laenge;
    LookupAreaCode(number, place, plz, breite, laenge);
    return place;
}

} // namespace

TEST(CommandLine, OptionsAndGermanErrors) {
    EXPECT_TRUE(Parse({}).sError.isEmpty());
    EXPECT_TRUE(Parse({"--help"}).bHelp);
    EXPECT_TRUE(Parse({"-h"}).bHelp);
    EXPECT_TRUE(Parse({"--version"}).bVersion);
    EXPECT_TRUE(Parse({"-v"}).bVersion);
    EXPECT_EQ(Parse({"--daten", "/srv/cb"}).sDataFolder, "/srv/cb");
    EXPECT_EQ(Parse({"--daten=/srv/cb"}).sDataFolder, "/srv/cb");

    EXPECT_EQ(Parse({"--daten"}).sError, "Nach --daten fehlt der Ordner.");
    EXPECT_EQ(Parse({"--daten", ""}).sError, "Nach --daten fehlt der Ordner.");
    EXPECT_EQ(Parse({"--daten", "a", "--daten", "b"}).sError, "--daten ist mehrfach angegeben.");
    EXPECT_EQ(Parse({"--falsch", "-x"}).sError, "Unbekannte Option: --falsch, -x");
    EXPECT_EQ(Parse({"ordner"}).sError, "Unerwartetes Argument: ordner");
    // --help wins over a fault elsewhere on the line, so the user learns the right spelling.
    EXPECT_TRUE(Parse({"--falsch", "--help"}).bHelp);
    EXPECT_EQ(Parse({"--importieren", "k.vcf", "--daten", "d"}).sImportFile, "k.vcf");
    EXPECT_EQ(Parse({"--importieren=k.vcf"}).sImportFile, "k.vcf");
    EXPECT_EQ(Parse({"--importieren"}).sError, "Nach --importieren fehlt die Datei.");
    EXPECT_EQ(Parse({"--importieren", "a", "--importieren", "b"}).sError,
              "--importieren ist mehrfach angegeben.");
    EXPECT_TRUE(ImportRequested({"callbeacon", "--importieren=x"}));
    EXPECT_FALSE(ImportRequested({"callbeacon", "--daten", "--importieren.vcf"}));

    EXPECT_EQ(CommandLineVersion(), "CallBeacon 1.50");
    EXPECT_TRUE(CommandLineHelp().contains("--daten ORDNER"));
    EXPECT_TRUE(CommandLineHelp().contains("$XDG_CONFIG_HOME/callbeacon/callbeacon.INI"));
}

class DataFolderTest : public ::testing::Test {
protected:
    cbtest::TempDir temp;
    fs::path root = temp.path();
    std::string exe = (root / "usr/bin/callbeacon").string();
    std::string folder, message;

    void SetUp() override {
        setenv("XDG_DATA_HOME", (root / "share").c_str(), 1);
        // An installed directory that knows Berlin, write-protected as a package leaves it.
        fs::create_directories(root / "usr/bin");
        fs::create_directories(root / "usr/share/callbeacon");
        fs::current_path(root / "usr/share/callbeacon");
        tabletest::CreateAreaCodes({{"030", "Berlin", "10115", "52.52", "13.40"}});
        fs::permissions(kAreaCodeFile,
                        fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
        fs::create_directories(root / "work");
        fs::current_path(root / "work");
    }
    void TearDown() override { SetInstalledAreaCodeFile(""); }
};

TEST_F(DataFolderTest, PerUserFolderIsCreatedAndReadsTheInstalledDirectory) {
    ASSERT_TRUE(EnterDataFolder("", exe, folder, message)) << message;
    EXPECT_EQ(folder, (root / "share/callbeacon").string());
    EXPECT_EQ(fs::current_path(), root / "share/callbeacon");
    EXPECT_EQ(PlaceOf("0301234"), "Berlin");
    EXPECT_FALSE(fs::exists(kAreaCodeFile)); // read where it is, not copied
    EXPECT_EQ(PlaceOf("0891234"), "-");

    // A directory of its own in the data folder takes precedence.
    tabletest::CreateAreaCodes({{"089", "München", "80331", "48.14", "11.58"}});
    EXPECT_EQ(PlaceOf("0891234"), "München");
    EXPECT_EQ(PlaceOf("0301234"), "-");
}

TEST_F(DataFolderTest, WorkingFolderWithTablesAndNamedFolder) {
    tabletest::CreateCallLog();
    ASSERT_TRUE(EnterDataFolder("", exe, folder, message)) << message;
    EXPECT_EQ(folder, (root / "work").string());
    EXPECT_FALSE(fs::exists(root / "share/callbeacon"));

    fs::create_directories(root / "server/daten");
    ASSERT_TRUE(EnterDataFolder("../server/./daten", exe, folder, message)) << message;
    EXPECT_EQ(folder, (root / "server/daten").string());
    EXPECT_EQ(fs::current_path(), root / "server/daten");
}

TEST_F(DataFolderTest, UnusableFoldersAreReportedAndNotCreated) {
    EXPECT_FALSE(EnterDataFolder((root / "nicht/da").string(), exe, folder, message));
    EXPECT_EQ(message, "Datenordner " + (root / "nicht/da").string() + " nicht gefunden");
    EXPECT_FALSE(fs::exists(root / "nicht"));
    EXPECT_EQ(fs::current_path(), root / "work");

    cbtest::WriteWholeFile((root / "share").string(), "a file where the folder belongs");
    EXPECT_FALSE(EnterDataFolder("", exe, folder, message));
    EXPECT_EQ(message, "Datenordner " + (root / "share/callbeacon").string() +
                           " kann nicht angelegt werden");
}
