// SPDX-License-Identifier: GPL-3.0-or-later
// The real program on data folders as users have them: unusable tables stop start-up with a
// box and a failing exit code and stay as they were; two programs sharing one data folder
// log every call of the simulated line.
#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "support/Process.h"
#include "support/Station.h"
#include "support/TableSupport.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sys/stat.h>

namespace fs = std::filesystem;
using cbtest::ChildProcess;
using cbtest::ReadWholeFile;
using cbtest::WaitUntil;
using cbtest::WriteWholeFile;

namespace {

const std::string kBuild = cbtest::BuildDir();

// One copy of the program in a folder of its own (its settings file and trace are its own),
// working in the data folder `data`.
class Program {
public:
    Program(const fs::path& home, const fs::path& data, int linePort) : dir(home), data(data) {
        fs::create_directories(dir);
        fs::copy_file(kBuild + "/callbeacon", dir / "callbeacon");
        WriteWholeFile((dir / ".capi20rc").string(), "TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 " +
                                                         std::to_string(linePort) + "\n");
        WriteWholeFile((dir / "callbeacon.INI").string(), "[Anruf]\nAnruferAnzeigen=0\n");
    }
    void Start(std::vector<std::string> env = {}) {
        env.push_back("HOME=" + dir.string());
        env.push_back("XDG_RUNTIME_DIR=" + dir.string());
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("CALLBEACON_TRACE=" + (dir / "trace.txt").string());
        app =
            std::make_unique<ChildProcess>(std::vector<std::string>{(dir / "callbeacon").string()},
                                           env, data.string(), (dir / "stdout.txt").string());
    }
    std::string Trace() const { return ReadWholeFile((dir / "trace.txt").string()); }

    fs::path dir;
    fs::path data;
    std::unique_ptr<ChildProcess> app;
};

void MakeTables(const fs::path& data) {
    fs::create_directories(data);
    cbtest::CreatePhoneBook((data / kPhoneBookFile).string());
    cbtest::CreateCallLog((data / kCallLogFile).string());
}

class DataFolderE2E : public ::testing::Test {
protected:
    cbtest::TempDir temp;
};

TEST_F(DataFolderE2E, UnusableTableStopsStartUpWithItsReasonAndStaysAsItWas) {
    struct Case {
        const char* name;
        std::function<void(const fs::path& data)> spoil;
        const char* reason;
    };
    const std::vector<Case> cases = {
        {"empty", [](const fs::path& d) { WriteWholeFile((d / "Anrufe.dbf").string(), ""); },
         "Anrufe.dbf ist beschädigt"},
        {"capitals, random bytes",
         [](const fs::path& d) {
             fs::remove(d / "Adressen.dbf");
             WriteWholeFile((d / "ADRESSEN.DBF").string(), std::string(3000, '\x5A'));
         },
         "ADRESSEN.DBF ist beschädigt"},
        {"pipe",
         [](const fs::path& d) {
             fs::remove(d / "Anrufe.dbf");
             mkfifo((d / "Anrufe.dbf").c_str(), 0644);
         },
         "Anrufe.dbf ist keine Datei"},
        {"write-protected", [](const fs::path& d) { chmod((d / "Anrufe.dbf").c_str(), 0444); },
         "keine Schreibberechtigung für"},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path data = temp.path() / ("data" + std::to_string(n));
        MakeTables(data);
        c.spoil(data);
        std::map<std::string, std::string> before;
        for (const auto& e : fs::directory_iterator(data))
            if (e.is_regular_file()) before[e.path().string()] = ReadWholeFile(e.path().string());

        Program program(temp.path() / ("home" + std::to_string(n++)), data, cbtest::FreePort());
        program.Start({"CALLBEACON_CAPI_LIBRARY=/nonexistent/libcapi20.so.3"});
        ASSERT_TRUE(
            WaitUntil([&] { return program.Trace().find("box ") != std::string::npos; }, 15000));
        const std::string trace = program.Trace();
        EXPECT_NE(trace.find("box Datenbank kann nicht geöffnet werden: "), std::string::npos)
            << trace;
        EXPECT_NE(trace.find(c.reason), std::string::npos) << trace;
        EXPECT_EQ(trace.find("hint CallBeacon"), std::string::npos) << trace;
        // Ended while its box waits: the exit code says start-up failed.
        EXPECT_EQ(program.app->StopWith(SIGTERM, 15000), 1 << 8);
        for (const auto& [file, bytes] : before)
            EXPECT_EQ(ReadWholeFile(file), bytes) << file;
    }
}

// Two workstations share the data folder on a server, both on the same line: each logs every
// call, and no record is lost to the other's append.
TEST_F(DataFolderE2E, TwoProgramsOnOneDataFolderLogEveryCall) {
    const int linePort = cbtest::FreePort();
    ChildProcess line({kBuild + "/callbeacon-line", "--port", std::to_string(linePort)}, {},
                      temp.path().string());
    ASSERT_TRUE(WaitUntil([&] { return line.running(); }, 2000));
    const fs::path data = temp.path() / "server";
    MakeTables(data);
    Program a(temp.path() / "a", data, linePort);
    Program b(temp.path() / "b", data, linePort);
    a.Start();
    b.Start();
    ASSERT_TRUE(WaitUntil(
        [&] {
            int listening = 0;
            for (const std::string& l : line.lines())
                listening += l.find("recv LISTEN_REQ") != std::string::npos;
            return listening == 2;
        },
        15000));

    std::string commands;
    for (int i = 0; i < 30; ++i) {
        char plci[8];
        std::snprintf(plci, sizeof plci, "%04x", 0x0101 + i);
        commands += std::string("ring ") + plci + " 4711 30" + std::to_string(1000 + i) + "\n";
        commands += std::string("hangup ") + plci + " 3490\n";
    }
    line.Send(commands);

    auto rows = [&] {
        CBase log; // a reader beside the two writers
        return log.OpenForReading((data / kCallLogFile).string()) ? log.RecCount() : 0u;
    };
    EXPECT_TRUE(WaitUntil([&] { return rows() == 60; }, 60000)) << rows();
    CBase log;
    ASSERT_TRUE(log.Open((data / kCallLogFile).string()));
    std::map<std::string, int> perCaller;
    for (uint32_t i = 0; i < log.RecCount(); ++i) {
        ASSERT_EQ(log.GoTo(i), 1);
        ++perCaller[log.GetField("ANRUFER")];
    }
    EXPECT_EQ(perCaller.size(), 30u);
    for (const auto& [caller, count] : perCaller)
        EXPECT_EQ(count, 2) << caller;
    EXPECT_EQ(fs::file_size(data / kCallLogFile), 161u + 60u * 52u + 1u);
    EXPECT_EQ(a.Trace().find("box"), std::string::npos) << a.Trace();
    EXPECT_EQ(b.Trace().find("box"), std::string::npos) << b.Trace();
    EXPECT_EQ(a.app->StopWith(SIGTERM, 15000), 0);
    EXPECT_EQ(b.app->StopWith(SIGTERM, 15000), 0);
}

} // namespace
