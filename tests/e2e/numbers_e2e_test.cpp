// SPDX-License-Identifier: GPL-3.0-or-later
// Numbers as they really arrive, checked on the real program against the simulated line: an
// international caller, a German number in international form, and a phone book that another
// program wrote with numbers in the forms people use.
#include "db/CBase.h"
#include "db/CallLog.h"
#include "support/Process.h"
#include "support/Station.h"
#include "support/TableSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;
using cbtest::ChildProcess;
using cbtest::ReadWholeFile;
using cbtest::WaitUntil;
using cbtest::WriteWholeFile;

namespace {

const std::string kBuild = cbtest::BuildDir();

std::vector<std::string> LoggedCallers(const fs::path& folder) {
    CBase log;
    std::vector<std::string> callers;
    if (!log.Open((folder / kCallLogFile).string())) return callers;
    for (uint32_t i = 0; i < log.RecCount(); ++i) {
        log.GoTo(i);
        callers.push_back(log.GetField("ANRUFER"));
    }
    return callers;
}

int Count(const std::string& text, const std::string& needle) {
    int n = 0;
    for (size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1))
        ++n;
    return n;
}

TEST(EndToEndNumbers, InternationalCallersAndWrittenNumbersAreNamedAndPlacedRight) {
    cbtest::TempDir temp;
    const int linePort = cbtest::FreePort();
    ChildProcess line({kBuild + "/callbeacon-line", "--port", std::to_string(linePort)}, {},
                      temp.path().string());
    ASSERT_TRUE(WaitUntil([&] { return line.running(); }, 2000));

    const fs::path dir = temp.path() / "station";
    fs::create_directories(dir / "home");
    fs::copy_file(kBuild + "/callbeacon", dir / "callbeacon");
    fs::copy_file(kBuild + "/Avon.dbf", dir / "Avon.dbf");
    WriteWholeFile((dir / "home/.capi20rc").string(),
                   "TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 " + std::to_string(linePort) + "\n");
    // The phone book as another program writes it (TELEFON wider than ours).
    WriteWholeFile((dir / "writer.py").string(),
                   "import dbf\n"
                   "t = dbf.Table('Adressen.dbf', 'NAME C(20); TELEFON C(30); INFO C(250); "
                   "VORNAME C(20); STRASSE C(30); PLZORT C(7); ORT C(20); EMAIL C(50); FAX C(20); "
                   "APARTNER C(20)', dbf_type='db3', codepage='cp1252')\n"
                   "t.open(dbf.READ_WRITE)\n"
                   "t.append(('Meier', '0049 (30) 2345678 B\\u00fcro', '', 'Anna', '', '', "
                   "'Berlin', '', '', ''))\n"
                   "t.close()\n");
    ASSERT_EQ(std::system(("cd '" + dir.string() + "' && /usr/bin/python3 writer.py").c_str()), 0);
    cbtest::CreateCallLog((dir / kCallLogFile).string());
    WriteWholeFile((dir / "callbeacon.INI").string(), "[Anruf]\nSekunden=1\n");
    ChildProcess app({(dir / "callbeacon").string()},
                     {"HOME=" + (dir / "home").string(), "QT_QPA_PLATFORM=offscreen",
                      "CALLBEACON_TRACE=" + (dir / "trace.txt").string()},
                     dir.string(), (dir / "stdout.txt").string());
    ASSERT_TRUE(line.WaitForLine("recv LISTEN_REQ", 15000));
    const auto trace = [&] { return ReadWholeFile((dir / "trace.txt").string()); };

    const struct {
        const char* ring;
        const char* logged;
        const char* popup;
    } calls[] = {
        {"ring 0101 4711 +41441234567", "0041441234567", "popup 0041441234567 | Schweiz\n"},
        {"ring 0102 4711 +49221123456", "0049221123456", "popup 0049221123456 | 50667 Köln\n"},
        {"ring 0103 4711 302345678", "0302345678", "popup Meier | Berlin\n"},
        {"ring 0104 4711 30234567", "030234567", "popup 030234567 | 10115 Berlin\n"},
    };
    int n = 0;
    for (const auto& call : calls) {
        SCOPED_TRACE(call.ring);
        line.Send(std::string(call.ring) + "\n");
        ++n;
        ASSERT_TRUE(WaitUntil([&] { return Count(trace(), "popup closed") == n; }, 15000))
            << trace();
        ASSERT_EQ(LoggedCallers(dir).size(), size_t(n));
        EXPECT_EQ(LoggedCallers(dir).back(), call.logged);
        EXPECT_EQ(Count(trace(), call.popup), 1) << trace();
    }
    EXPECT_EQ(app.StopWith(SIGTERM, 15000), 0);
}

} // namespace
