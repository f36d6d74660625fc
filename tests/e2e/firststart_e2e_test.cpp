// SPDX-License-Identifier: GPL-3.0-or-later
// The real program's first start on a workstation without any line: the assistant comes
// only where nothing is set up, a termination signal closes it, and libcapi20's own debug
// lines stay off the terminal unless its settings ask for them.
#include "support/Process.h"
#include "support/Station.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <memory>
#include <thread>

namespace fs = std::filesystem;
using cbtest::ChildProcess;
using cbtest::ReadWholeFile;
using cbtest::WriteWholeFile;

namespace {

class FirstStart : public ::testing::Test {
protected:
    cbtest::TempDir temp;
    fs::path dir = temp.path() / "station";
    std::unique_ptr<ChildProcess> app;

    void SetUp() override {
        cbtest::PrepareStation(dir);
        // The system-wide libcapi20 settings must not decide the outcome.
        if (fs::exists("/dev/capi20") || fs::exists("/etc/capi20.conf"))
            GTEST_SKIP() << "this workstation has a CAPI set-up of its own";
    }
    // Standard error goes to a file: the shell is only there to redirect it.
    void Start(const std::string& options = std::string()) {
        const std::string command = "exec '" + (dir / "callbeacon").string() + "' " + options +
                                    " 2>'" + (dir / "stderr.txt").string() + "'";
        app = std::make_unique<ChildProcess>(
            std::vector<std::string>{"sh", "-c", command},
            std::vector<std::string>{"HOME=" + dir.string(), "QT_QPA_PLATFORM=offscreen",
                                     "CALLBEACON_TRACE=" + (dir / "trace.txt").string()},
            dir.string());
    }
    std::string Err() const { return ReadWholeFile((dir / "stderr.txt").string()); }
};

// Starts with the trace on and returns the trace text once `needle` shows (or on time-out).
std::string WaitInTrace(const fs::path& dir, const std::string& needle, int timeoutMs) {
    std::string text;
    cbtest::WaitUntil(
        [&] {
            text = ReadWholeFile((dir / "trace.txt").string());
            return text.find(needle) != std::string::npos;
        },
        timeoutMs);
    return text;
}

} // namespace

TEST_F(FirstStart, WithoutSettingsOrLineTheAssistantAsksAndASignalClosesIt) {
    app = std::make_unique<ChildProcess>(
        std::vector<std::string>{(dir / "callbeacon").string()},
        std::vector<std::string>{"HOME=" + dir.string(), "QT_QPA_PLATFORM=offscreen",
                                 "CALLBEACON_TRACE=" + (dir / "trace.txt").string()},
        dir.string());
    const std::string shown = WaitInTrace(dir, "dialog Einrichtung", 15000);
    ASSERT_NE(shown.find("dialog Einrichtung"), std::string::npos) << shown;
    // While it asks, nothing else has started.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(ReadWholeFile((dir / "trace.txt").string()).find("hint "), std::string::npos);
    const auto begin = std::chrono::steady_clock::now();
    const int status = app->StopWith(SIGTERM, 8000);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(5));
    EXPECT_TRUE(WIFEXITED(status)) << status;
    const std::string trace = ReadWholeFile((dir / "trace.txt").string());
    EXPECT_NE(trace.find("einrichtung übersprungen"), std::string::npos) << trace;
}

TEST_F(FirstStart, ASettingsFileOrTheSwitchOrACapiLineSkipsIt) {
    const std::string trace = (dir / "trace.txt").string();
    auto startAndWaitForTray = [&](const std::vector<std::string>& args) {
        std::filesystem::remove(trace);
        std::vector<std::string> argv{(dir / "callbeacon").string()};
        argv.insert(argv.end(), args.begin(), args.end());
        app = std::make_unique<ChildProcess>(argv,
                                             std::vector<std::string>{"HOME=" + dir.string(),
                                                                      "QT_QPA_PLATFORM=offscreen",
                                                                      "CALLBEACON_TRACE=" + trace},
                                             dir.string());
        const std::string text = WaitInTrace(dir, "hint CallBeacon", 15000);
        app->StopWith(SIGTERM, 8000);
        return text;
    };
    // The switch.
    std::string text = startAndWaitForTray({"--ohne-einrichtung"});
    EXPECT_NE(text.find("hint CallBeacon"), std::string::npos) << text;
    EXPECT_EQ(text.find("dialog Einrichtung"), std::string::npos) << text;
    // That run saved its settings at the end: the next start does not ask either.
    ASSERT_TRUE(fs::exists(dir / "callbeacon.INI"));
    text = startAndWaitForTray({});
    EXPECT_EQ(text.find("dialog Einrichtung"), std::string::npos) << text;
    // A remote line in libcapi20's settings is a line set up, settings file or not.
    fs::remove(dir / "callbeacon.INI");
    WriteWholeFile((dir / ".capi20rc").string(), "TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 9\n");
    text = startAndWaitForTray({});
    EXPECT_EQ(text.find("dialog Einrichtung"), std::string::npos) << text;
}

TEST_F(FirstStart, LibraryDebugLinesOnlyWhenItsSettingsAskForThem) {
    WriteWholeFile((dir / "callbeacon.INI").string(), "[Anruf]\nSekunden=1\n");
    auto run = [&] {
        Start("--ohne-einrichtung");
        // The library speaks when the program first looks for the line, right at start-up.
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        app->StopWith(SIGTERM, 8000);
        return Err();
    };
    std::string err = run();
    EXPECT_EQ(err.find("CapiDebug"), std::string::npos) << err;
    WriteWholeFile((dir / ".capi20rc").string(), "TRACELEVEL 255\n");
    err = run();
    EXPECT_NE(err.find("CapiDebug"), std::string::npos) << err;
}
