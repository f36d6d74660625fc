// SPDX-License-Identifier: GPL-3.0-or-later
// The real program names callers from an address book on a real Radicale: a caller the phone
// book does not know is named from the server, the phone book still comes first, the names
// stay while the server is stopped, and a wrong password is told in German.
#include "support/Process.h"
#include "support/Radicale.h"
#include "support/Station.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace fs = std::filesystem;
using cbtest::ChildProcess;
using cbtest::RadicaleServer;
using cbtest::ReadWholeFile;
using cbtest::WaitUntil;
using cbtest::WriteWholeFile;

namespace {

class CardDavEndToEnd : public ::testing::Test {
protected:
    cbtest::TempDir temp{false};
    int port = cbtest::FreePort();
    fs::path dir = temp.path() / "station";
    std::unique_ptr<ChildProcess> line, app;

    void SetUp() override {
        cbtest::PrepareStation(dir);
        line = std::make_unique<ChildProcess>(
            std::vector<std::string>{cbtest::BuildDir() + "/callbeacon-line", "--call-monitor",
                                     "--port", std::to_string(port)},
            std::vector<std::string>{}, temp.path().string());
        ASSERT_TRUE(line->WaitForLine("listening", 5000));
    }
    void StartApp(const QString& address, const char* password) {
        WriteWholeFile((dir / "callbeacon.INI").string(),
                       "[Anruf]\nSekunden=1\n[Leitung]\nArt=Anrufmonitor\nAdresse=127.0.0.1\n"
                       "Port=" +
                           std::to_string(port) + "\n[CardDAV]\nAdresse=" + address.toStdString() +
                           "\nBenutzer=" + RadicaleServer::kUser + "\nKennwort=" + password + "\n");
        fs::remove(dir / "trace.txt");
        app = std::make_unique<ChildProcess>(
            std::vector<std::string>{(dir / "callbeacon").string()},
            std::vector<std::string>{"HOME=" + dir.string(), "QT_QPA_PLATFORM=offscreen",
                                     "CALLBEACON_TRACE=" + (dir / "trace.txt").string()},
            dir.string(), (dir / "stdout.txt").string());
    }
    int Connections() {
        int n = 0;
        for (const std::string& l : line->lines())
            n += l.rfind("connected ", 0) == 0;
        return n;
    }
    int Count(const std::string& needle) const { return cbtest::CountInTrace(dir, needle); }
    std::string Trace() const { return ReadWholeFile((dir / "trace.txt").string()); }
};

TEST_F(CardDavEndToEnd, CallersAreNamedFromTheServerAndStayNamedWhileItIsDown) {
    RadicaleServer radicale(temp.path() / "radicale");
    ASSERT_EQ(radicale.MakeBook(), 201);
    ASSERT_EQ(radicale.PutCard("s", "Schulz", "Sabine", "040 1234567"), 201);
    ASSERT_EQ(radicale.PutCard("m", "Anders", "Max", "030 1234567"), 201); // Meier's number

    StartApp(radicale.Root(), RadicaleServer::kPassword);
    ASSERT_TRUE(line->WaitForLine("connected 1", 15000));
    ASSERT_TRUE(WaitUntil([&] { return Count("CardDAV: 2 Kontakte") == 1; }, 20000)) << Trace();
    line->Send("ring 0 4711 0401234567\nhangup 0 3490\n");
    ASSERT_TRUE(WaitUntil([&] { return Count("popup Schulz | ") == 1; }, 10000)) << Trace();
    EXPECT_EQ(Count("name from CardDAV for 0401234567"), 1);
    line->Send("ring 1 4711 0301234567\nhangup 1 3490\n");
    ASSERT_TRUE(WaitUntil([&] { return Count("popup Meier | ") == 1; }, 10000)) << Trace();
    EXPECT_EQ(Count("popup Anders"), 0);
    EXPECT_EQ(app->StopWith(SIGTERM, 15000), 0);

    // The server stopped: the copy from the last sync names the caller.
    radicale.Stop();
    StartApp(radicale.Root(), RadicaleServer::kPassword);
    ASSERT_TRUE(WaitUntil([&] { return Connections() == 2; }, 15000));
    ASSERT_TRUE(WaitUntil([&] { return Count("ist nicht erreichbar") == 1; }, 20000)) << Trace();
    EXPECT_EQ(Count("CardDAV: 2 Kontakte aus der letzten Kopie"), 1);
    line->Send("ring 2 4711 0401234567\nhangup 2 3490\n");
    ASSERT_TRUE(WaitUntil([&] { return Count("popup Schulz | ") == 1; }, 10000)) << Trace();
    EXPECT_EQ(app->StopWith(SIGTERM, 15000), 0);

    // A wrong password.
    radicale.Start();
    StartApp(radicale.Root(), "falsch");
    ASSERT_TRUE(WaitUntil(
        [&] { return Count("Anmeldung abgelehnt – Benutzer oder Kennwort falsch") == 1; }, 20000))
        << Trace();
    EXPECT_EQ(app->StopWith(SIGTERM, 15000), 0);
}

} // namespace
