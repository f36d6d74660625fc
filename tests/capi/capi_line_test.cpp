// SPDX-License-Identifier: GPL-3.0-or-later
// End to end through the real libcapi20 against the simulated line, and the line's own
// behaviour toward hostile clients.
#include "capi/CapiBase.h"
#include "capi/CapiMessages.h"
#include "support/LineProcess.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

// One line and one HOME for this process: libcapi20 reads its configuration at the first call.
class LineEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        // Never the user's own configuration, even when the line does not come up.
        home = std::make_unique<cbtest::TempDir>(false);
        setenv("HOME", home->path().c_str(), 1);
        cbtest::WriteWholeFile(home->file(".capi20rc"), "TRACELEVEL 0\n");
        line = std::make_unique<cbtest::LineProcess>();
        ASSERT_NE(line->port(), 0) << "callbeacon-line did not start: " << cbtest::LinePath();
        cbtest::WriteWholeFile(home->file(".capi20rc"), "TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 " +
                                                            std::to_string(line->port()) + "\n");
    }
    void TearDown() override {
        line.reset();
        home.reset();
    }
    std::unique_ptr<cbtest::TempDir> home;
    std::unique_ptr<cbtest::LineProcess> line;
};

LineEnvironment* g_env =
    static_cast<LineEnvironment*>(::testing::AddGlobalTestEnvironment(new LineEnvironment));

cbtest::LineProcess& Line() {
    return *g_env->line;
}

// Polls like the timer tick does until a message of the wanted kind arrives; others are
// taken and dropped as the tick would. Returns nullptr on time-out.
const uint8_t* WaitForMessage(CapiBase& capi, uint16_t command) {
    for (auto until = std::chrono::steady_clock::now() + 10s;
         std::chrono::steady_clock::now() < until;) {
        const uint8_t* msg = nullptr;
        if (capi.GetMessageNonBlocking(&msg) == 0) {
            if (CommandWord(msg) == command) return msg;
        } else {
            std::this_thread::sleep_for(10ms);
        }
    }
    return nullptr;
}

class CapiLine : public ::testing::Test {
protected:
    void SetUp() override { CapiResetProcessState(); }
    cbtest::ErrorBoxCapture boxes;
};

TEST_F(CapiLine, StartUpRegistersListensAndReleasesOnce) {
    std::string id;
    {
        CapiBase capi;
        ASSERT_TRUE(capi.bAvailable);
        ASSERT_TRUE(CapiStartUp(capi));
        EXPECT_TRUE(boxes.texts().empty());
        EXPECT_TRUE(bCapiActive);
        EXPECT_STREQ(szCapiManufacturer, "AVM Berlin");
        EXPECT_STREQ(szCapiVersion, "2.00 / 0.05");
        ASSERT_TRUE(capi.bRegistered);
        EXPECT_GE(capi.dwApplId, 1u);
        EXPECT_LE(capi.dwApplId, 1023u);
        id = std::to_string(capi.dwApplId);
        EXPECT_TRUE(Line().WaitFor("registered " + id));
        EXPECT_TRUE(Line().WaitFor("recv LISTEN_REQ controller=1 infomask=0x0 cip=0x1fff03ff"));
        EXPECT_NE(WaitForMessage(capi, CAPI_LISTEN_CONF), nullptr);

        CapiShutdown(capi);
        EXPECT_FALSE(capi.bRegistered);
        EXPECT_TRUE(Line().WaitFor("released " + id));
    }
    // Neither a second shutdown nor the destructor released again.
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(Line().Count("released " + id), 1);
}

TEST_F(CapiLine, CallIsDecodedAlertedAndDisconnected) {
    CapiBase capi;
    ASSERT_TRUE(CapiStartUp(capi));
    const std::string id = std::to_string(capi.dwApplId);
    ASSERT_TRUE(Line().WaitFor("registered " + id));

    struct Ring {
        const char* command;
        const char* called;
        const char* calling;
    } rings[] = {
        {"ring 0101 4711 301234567", "4711", "0301234567"},
        {"ring 0201 4711 0891234", "4711", "0891234"},            // already with its 0
        {"ring 0301 - -", "", "0"},                               // no numbers at all
        {"ring 0302 4711 +41441234567", "4711", "0041441234567"}, // type international
        // The longest real numbers: 15 digits behind the prefix.
        {"ring 0401 123456789012345 +987654321098765", "123456789012345", "00987654321098765"},
    };
    for (const Ring& r : rings) {
        SCOPED_TRACE(r.command);
        Line().Send(r.command);
        const uint8_t* msg = WaitForMessage(capi, CAPI_CONNECT_IND);
        ASSERT_NE(msg, nullptr);
        ConnectInd ind{};
        ASSERT_TRUE(DecodeConnectInd(msg, CapiBase::kReceiveBufferSize, ind));
        EXPECT_STREQ(ind.szCalled, r.called);
        EXPECT_STREQ(ind.szCalling, r.calling);
        char plci[16];
        std::snprintf(plci, sizeof plci, "0x%04x", ind.dwPlci);
        ASSERT_EQ(capi.SendAlertReq(ind.dwPlci), 0u);
        EXPECT_TRUE(Line().WaitFor(std::string("recv ALERT_REQ plci=") + plci));
        EXPECT_NE(WaitForMessage(capi, CAPI_ALERT_CONF), nullptr);
    }

    Line().Send("hangup 0101 349A");
    const uint8_t* msg = WaitForMessage(capi, CAPI_DISCONNECT_IND);
    ASSERT_NE(msg, nullptr);
    uint32_t plci = 0;
    uint16_t reason = 0;
    ASSERT_TRUE(DecodeDisconnectInd(msg, CapiBase::kReceiveBufferSize, plci, reason));
    EXPECT_EQ(plci, 0x101u);
    EXPECT_EQ(reason, 0x349Au);
    ASSERT_EQ(capi.SendDisconnectResp(plci), 0u);
    EXPECT_TRUE(Line().WaitFor("recv DISCONNECT_RESP plci=0x0101"));

    CapiShutdown(capi);
    EXPECT_TRUE(Line().WaitFor("released " + id));
    EXPECT_EQ(Line().CountPrefix("recv CONNECT_RESP"), 0);
}

TEST_F(CapiLine, RefusedRegistrationShowsCode1008) {
    Line().Send("refuse-register 1001");
    {
        CapiBase capi;
        ASSERT_TRUE(capi.bAvailable);
        EXPECT_FALSE(CapiStartUp(capi));
        EXPECT_FALSE(capi.bRegistered);
    }
    ASSERT_EQ(boxes.texts().size(), 1u);
    EXPECT_EQ(boxes.texts()[0], "CAPI Register\nCode:1008");
    EXPECT_TRUE(Line().WaitFor("refused 0x1001"));

    // Only the next registration was refused.
    CapiBase capi;
    EXPECT_TRUE(CapiStartUp(capi));
    EXPECT_TRUE(capi.bRegistered);
}

// Kept last: it takes the line down and brings it back on the same port.
TEST_F(CapiLine, LostLineIsToldApartFromAnEmptyQueueAndDoesNotKill) {
    CapiBase capi;
    ASSERT_TRUE(CapiStartUp(capi));
    ASSERT_NE(WaitForMessage(capi, CAPI_LISTEN_CONF), nullptr);
    const int port = Line().port();
    g_env->line.reset();

    // The library itself answers an empty queue; the closed connection reads as readable, so
    // the access layer tells the two apart.
    const uint8_t* msg = nullptr;
    unsigned got = CapiBase::kErrQueueEmpty;
    for (int i = 0; i < 50 && got == CapiBase::kErrQueueEmpty; ++i) {
        got = capi.GetMessageNonBlocking(&msg);
        if (got == CapiBase::kErrQueueEmpty)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(got, CapiBase::kErrOsResource);
    EXPECT_EQ(capi.GetMessageNonBlocking(&msg), CapiBase::kErrOsResource);
    // The library's second put into the closed connection raises SIGPIPE.
    unsigned rc = 0;
    for (int i = 0; i < 3; ++i)
        rc = capi.SendAlertReq(0x101);
    EXPECT_NE(rc, 0u);
    CapiShutdown(capi);
    EXPECT_FALSE(capi.bRegistered);

    g_env->line = std::make_unique<cbtest::LineProcess>(port);
    EXPECT_NE(Line().port(), 0);
}

} // namespace
