// SPDX-License-Identifier: GPL-3.0-or-later
// `callbeacon --importieren` as a user runs it: the real program on files written here in the
// formats other programs export, with another station writing to the same folder and with
// the import killed midway.
#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "db/TableText.h"
#include "support/Process.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/wait.h>
#include <thread>

namespace fs = std::filesystem;
using cbtest::ChildProcess;
using cbtest::WriteWholeFile;

namespace {

const std::string kBuild = std::getenv("CB_BUILD_DIR") ? std::getenv("CB_BUILD_DIR") : "build";

struct Outcome {
    int exitCode;
    std::vector<std::string> lines; // standard output and error
    std::string Text() const {
        std::string t;
        for (const auto& l : lines)
            t += l + "\n";
        return t;
    }
};

class ImportCommandTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(data); }

    std::unique_ptr<ChildProcess> Start(const std::string& file) {
        const std::string command = "exec " + fs::absolute(kBuild + "/callbeacon").string() +
                                    " --importieren " + file + " --daten " + data.string() +
                                    " 2>&1";
        // No display: the import must not need one.
        return std::make_unique<ChildProcess>(
            std::vector<std::string>{"/bin/sh", "-c", command},
            std::vector<std::string>{"HOME=" + dir.path().string(), "QT_QPA_PLATFORM=", "DISPLAY="},
            dir.path().string());
    }
    Outcome Import(const std::string& file) {
        auto p = Start(file);
        const int status = p->WaitExit(60000);
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, p->lines()};
    }
    // The phone-book row naming the caller, looked up as a call would be.
    std::string NameOf(const std::string& number) {
        const fs::path back = fs::current_path();
        fs::current_path(data);
        tAnruf a;
        const bool found = LookupCaller(a, number, "", false);
        fs::current_path(back);
        return found ? TableToUtf8(a.sName + "|" + a.sVorname + "|" + a.sInfo) : "-";
    }
    uint32_t Rows() {
        CBase t;
        EXPECT_TRUE(t.Open((data / kPhoneBookFile).string()));
        return t.RecCount();
    }

    cbtest::TempDir dir{false};
    cbtest::ErrorBoxCapture boxes;
    fs::path data = fs::path(dir.path()) / "daten";
};

std::string Ansi(const std::string& utf8) {
    std::string t;
    EXPECT_TRUE(Utf8ToTable(utf8, t));
    return t;
}

// `count` cards with two numbers each, as a phone writes them.
std::string ManyCards(int count, int first = 0) {
    std::string s;
    for (int i = first; i < first + count; ++i)
        s += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Person" + std::to_string(i) +
             ";Vorname\r\nTEL;TYPE=CELL:0170" + std::to_string(1000000 + i) +
             "\r\nTEL;TYPE=HOME:030 " + std::to_string(2000000 + i) + "\r\nEND:VCARD\r\n";
    return s;
}

} // namespace

TEST_F(ImportCommandTest, FilesOfEveryKindNameTheirCallersAndASecondImportAddsNothing) {
    const std::string dirPath = dir.path().string() + "/";
    WriteWholeFile(dirPath + "telefon.vcf",
                   "BEGIN:VCARD\r\nVERSION:2.1\r\nN;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:"
                   "Gro=C3=9F;J=C3=B6rg\r\nTEL;CELL:+49 (0)171 5551\r\nTEL;WORK;FAX:089 5552\r\n"
                   "END:VCARD\r\n");
    WriteWholeFile(dirPath + "router.xml",
                   Ansi("<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<phonebooks><phonebook>"
                        "<contact><person><realName>Bäckerei Süß</realName></person><telephony>"
                        "<number type=\"work\" prio=\"1\" quickdial=\"3\" vanity=\"\">0221 5553"
                        "</number><number type=\"mobile\"></number></telephony></contact>"
                        "</phonebook></phonebooks>\n"));
    WriteWholeFile(dirPath + "outlook.csv",
                   Ansi("Vorname;Nachname;Mobiltelefon;Telefon privat;Notizen\r\n"
                        "Änne;Weiß;0172 5554;;\"zwei\r\nZeilen\"\r\n"));
    WriteWholeFile(dirPath + "google.csv",
                   "\xEF\xBB\xBFName,Given Name,Family Name,Phone 1 - Type,Phone 1 - Value\n"
                   "Zoë Ünal,Zoë,Ünal,* Mobile ::: Home,0173 5555 ::: 0911 5556\n");

    for (const char* file : {"telefon.vcf", "router.xml", "outlook.csv", "google.csv"}) {
        const Outcome run = Import(file);
        EXPECT_EQ(run.exitCode, 0) << file << "\n" << run.Text();
        EXPECT_NE(run.Text().find("Importiert in"), std::string::npos) << run.Text();
    }
    EXPECT_EQ(NameOf("01715551"), "Groß|Jörg|Mobil");
    EXPECT_EQ(NameOf("0895552"), "Groß|Jörg|Fax");
    EXPECT_EQ(NameOf("02215553"), "Bäckerei Süß||Geschäftlich");
    EXPECT_EQ(NameOf("01725554"), "Weiß|Änne|Mobil: zwei  Zeilen");
    EXPECT_EQ(NameOf("01735555"), "Ünal|Zoë|Mobil");
    EXPECT_EQ(NameOf("09115556"), "Ünal|Zoë|Privat");
    EXPECT_EQ(Rows(), 6u);

    const Outcome again = Import("telefon.vcf");
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_NE(again.Text().find("Neue Eintr\u00e4ge im Telefonbuch: 0"), std::string::npos)
        << again.Text();
    EXPECT_EQ(Rows(), 6u);
}

TEST_F(ImportCommandTest, ProgressLinesAndClearFailures) {
    WriteWholeFile(dir.file("viele.vcf"), ManyCards(2500));
    const Outcome run = Import("viele.vcf");
    ASSERT_EQ(run.exitCode, 0) << run.Text();
    EXPECT_NE(run.Text().find("1.000 von 2.500 Kontakten geschrieben"), std::string::npos);
    EXPECT_NE(run.Text().find("2.000 von 2.500 Kontakten geschrieben"), std::string::npos);
    EXPECT_NE(run.Text().find("Neue Eintr\u00e4ge im Telefonbuch: 5.000"), std::string::npos);

    WriteWholeFile(dir.file("liste.csv"), "Spalte A,Spalte B\n1,2\n");
    WriteWholeFile(dir.file("kaputt.xml"), "<?xml version=\"1.0\"?><phonebooks><contact>");
    const std::pair<const char*, const char*> failures[] = {
        {"fehlt.vcf", "gibt es nicht"},
        {"liste.csv", "Kopfzeile"},
        {"kaputt.xml", "fehlerhaft"},
        {".", "Ordner"},
    };
    for (const auto& [file, reason] : failures) {
        const Outcome failed = Import(file);
        EXPECT_EQ(failed.exitCode, 1) << file;
        EXPECT_NE(failed.Text().find(reason), std::string::npos) << failed.Text();
    }
    EXPECT_EQ(Rows(), 5000u);
}

TEST_F(ImportCommandTest, AnotherStationWritingMeanwhileLosesNothing) {
    {
        CBase book;
        AddPhoneBookFields(book);
        ASSERT_TRUE(book.Create((data / kPhoneBookFile).string()));
        CBase log;
        AddCallLogFields(log);
        ASSERT_TRUE(log.Create((data / kCallLogFile).string()));
    }
    WriteWholeFile(dir.file("a.vcf"), ManyCards(3000, 0));
    WriteWholeFile(dir.file("b.vcf"), ManyCards(3000, 3000));
    constexpr int kStationRows = 400;
    const pid_t station = fork();
    if (station == 0) {
        if (chdir(data.c_str()) != 0) _exit(2);
        for (int i = 0; i < kStationRows; ++i) {
            if (LogCall("0301234", "4711", 1700000000 + i) < 0) _exit(1);
            tAnruf a;
            a.sName = "Station" + std::to_string(i);
            a.sTelefon = "0401" + std::to_string(i);
            if (!SaveEntry(a)) _exit(1);
        }
        _exit(0);
    }
    const Outcome first = Import("a.vcf");
    const Outcome second = Import("b.vcf");
    int status = 0;
    waitpid(station, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(first.exitCode, 0) << first.Text();
    EXPECT_EQ(second.exitCode, 0) << second.Text();
    EXPECT_EQ(Rows(), 12000u + kStationRows);
    CBase log;
    ASSERT_TRUE(log.Open((data / kCallLogFile).string()));
    EXPECT_EQ(log.RecCount(), uint32_t(kStationRows));
    EXPECT_EQ(NameOf("0401399"), "Station399||");
    EXPECT_EQ(NameOf("0301234567"), "-");
    EXPECT_EQ(NameOf("01701005999"), "Person5999|Vorname|Mobil");
}

TEST_F(ImportCommandTest, KilledImportLeavesAllOrNothing) {
    {
        CBase book;
        AddPhoneBookFields(book);
        ASSERT_TRUE(book.Create((data / kPhoneBookFile).string()));
        book.PutField("NAME", "Alt");
        book.PutField("TELEFON", "0301111");
        ASSERT_EQ(book.Append(), 1);
    }
    WriteWholeFile(dir.file("gross.vcf"), ManyCards(20000));
    // Killed at different moments of the write; the table holds the old row alone or every
    // new one besides, and opens without damage.
    for (int delayMs : {0, 5, 20, 60}) {
        auto p = Start("gross.vcf");
        ASSERT_TRUE(p->WaitForLine("Lese", 60000));
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        p->StopWith(SIGKILL, 10000);
        const uint32_t rows = Rows();
        EXPECT_TRUE(rows == 1 || rows == 40001) << rows << " after " << delayMs << " ms";
        if (rows != 1) break;
    }
    const Outcome finish = Import("gross.vcf");
    EXPECT_EQ(finish.exitCode, 0) << finish.Text();
    EXPECT_EQ(Rows(), 40001u);
    EXPECT_EQ(NameOf("0301111"), "Alt||");
}

TEST_F(ImportCommandTest, AnOlderReleasesPhoneBookIsTakenOverNotPassedBy) {
    {
        CBase old;
        AddPhoneBookFields(old);
        ASSERT_TRUE(old.Create((data / "RingScan.dbf").string()));
        old.PutField("NAME", "Alt");
        old.PutField("TELEFON", "0301111");
        ASSERT_EQ(old.Append(), 1);
    }
    WriteWholeFile(dir.file("k.vcf"), ManyCards(2));
    const Outcome run = Import("k.vcf");
    ASSERT_EQ(run.exitCode, 0) << run.Text();
    EXPECT_FALSE(fs::exists(data / "RingScan.dbf"));
    EXPECT_EQ(Rows(), 5u);
    EXPECT_EQ(NameOf("0301111"), "Alt||");
}
