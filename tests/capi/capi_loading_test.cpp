// SPDX-License-Identifier: GPL-3.0-or-later
// Loading the CAPI library and start-up against stand-in libraries, a missing library and
// the real libcapi20 without a reachable device.
#include "capi/CapiBase.h"
#include "capi/CapiMessages.h"
#include "support/LineProcess.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <string>

namespace {

// libcapi20 reads HOME at its first call, so this process gets one HOME whose .capi20rc
// names a port nobody listens on.
class NoDeviceHome {
public:
    NoDeviceHome() {
        cbtest::WriteWholeFile(dir_.file(".capi20rc"), "TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 " +
                                                           std::to_string(cbtest::PickFreePort()) +
                                                           "\n");
        setenv("HOME", dir_.path().c_str(), 1);
    }

private:
    cbtest::TempDir dir_{false};
};

void UseNoDeviceHome() {
    static NoDeviceHome home;
}

// The stand-in as the test sees it; CapiBase loads the very same instance.
class StandIn {
public:
    explicit StandIn(const char* path) : handle_(dlopen(path, RTLD_NOW | RTLD_NODELETE)) {}
    ~StandIn() {
        if (handle_) dlclose(handle_);
    }
    template <typename Fn> Fn Get(const char* name) {
        return reinterpret_cast<Fn>(handle_ ? dlsym(handle_, name) : nullptr);
    }
    void Setup(unsigned installed, unsigned registerResult, unsigned putResult) {
        Get<void (*)(unsigned, unsigned, unsigned)>("standin_setup")(installed, registerResult,
                                                                     putResult);
    }
    unsigned Releases() { return Get<unsigned (*)()>("standin_releases")(); }
    unsigned Gets() { return Get<unsigned (*)()>("standin_gets")(); }
    bool Loaded() const { return handle_ != nullptr; }

private:
    void* handle_;
};

class CapiLoading : public ::testing::Test {
protected:
    void SetUp() override {
        CapiResetProcessState();
        ASSERT_TRUE(full.Loaded());
        ASSERT_TRUE(nine.Loaded());
        full.Setup(0, 0, 0);
        nine.Setup(0, 0, 0);
    }
    void ExpectNothingFilled() {
        EXPECT_FALSE(bCapiActive);
        EXPECT_STREQ(szCapiManufacturer, "");
        EXPECT_STREQ(szCapiVersion, "");
        EXPECT_TRUE(boxes.texts().empty());
    }

    cbtest::ErrorBoxCapture boxes;
    StandIn full{CB_STANDIN_FULL};
    StandIn nine{CB_STANDIN_NINE};
};

TEST_F(CapiLoading, MissingLibraryIsSilent) {
    CapiBase capi("libcallbeacon-no-such-capi.so.3");
    EXPECT_FALSE(capi.bAvailable);
    EXPECT_EQ(capi.hCapiDll, nullptr);
    EXPECT_TRUE(CapiStartUp(capi));
    ExpectNothingFilled();
    const uint8_t* msg = reinterpret_cast<const uint8_t*>(1);
    EXPECT_NE(capi.GetMessageNonBlocking(&msg), 0u);
    EXPECT_EQ(msg, nullptr);
    EXPECT_NE(capi.SendAlertReq(0x101), 0u);
    CapiShutdown(capi);
}

TEST_F(CapiLoading, LibraryLackingOneNameCountsAsMissing) {
    CapiBase capi(CB_STANDIN_NINE);
    EXPECT_FALSE(capi.bAvailable);
    EXPECT_EQ(capi.hCapiDll, nullptr);
    EXPECT_EQ(capi.CAPI_REGISTER, nullptr);
    EXPECT_TRUE(CapiStartUp(capi));
    ExpectNothingFilled();
}

TEST_F(CapiLoading, NoReachableDeviceCountsAsMissing) {
    full.Setup(0x1009, 0, 0);
    {
        CapiBase capi(CB_STANDIN_FULL);
        EXPECT_FALSE(capi.bAvailable);
        EXPECT_TRUE(CapiStartUp(capi));
    }
    ExpectNothingFilled();
    EXPECT_EQ(full.Releases(), 0u);

    // The real library on a workstation whose configured line is not there.
    UseNoDeviceHome();
    CapiBase real;
    EXPECT_FALSE(real.bAvailable);
    EXPECT_TRUE(CapiStartUp(real));
    ExpectNothingFilled();
}

TEST_F(CapiLoading, OddDriverTextsDoNotOverrun) {
    CapiBase capi(CB_STANDIN_FULL);
    ASSERT_TRUE(capi.bAvailable);
    ASSERT_TRUE(CapiStartUp(capi));
    EXPECT_TRUE(bCapiActive);
    EXPECT_EQ(std::string(szCapiManufacturer), std::string(79, 'M'));
    EXPECT_EQ(std::string(szCapiVersion),
              std::string("4294967295.4294967295 / 4294967295.4294967295").substr(0, 43));
    EXPECT_TRUE(boxes.texts().empty());
    // The listen request carries the registered id.
    const auto* put = full.Get<const unsigned char* (*)()>("standin_last_put")();
    const auto expected = BuildListenReq(5);
    EXPECT_EQ(std::memcmp(put, expected.data(), expected.size()), 0);
}

TEST_F(CapiLoading, ReleasedExactlyOnce) {
    {
        CapiBase capi(CB_STANDIN_FULL);
        ASSERT_TRUE(CapiStartUp(capi));
        EXPECT_TRUE(capi.bRegistered);
        CapiShutdown(capi);
        CapiShutdown(capi);
        EXPECT_FALSE(capi.bRegistered);
    }
    EXPECT_EQ(full.Releases(), 1u);

    // Without an orderly shutdown the destructor releases.
    full.Setup(0, 0, 0);
    {
        CapiBase capi(CB_STANDIN_FULL);
        ASSERT_TRUE(CapiStartUp(capi));
    }
    EXPECT_EQ(full.Releases(), 1u);
}

TEST_F(CapiLoading, RefusedRegistrationShowsTheBoxAndQuits) {
    full.Setup(0, 0x1008, 0);
    {
        CapiBase capi(CB_STANDIN_FULL);
        EXPECT_FALSE(CapiStartUp(capi));
        EXPECT_FALSE(capi.bRegistered);
        EXPECT_TRUE(bCapiActive);
    }
    ASSERT_EQ(boxes.texts().size(), 1u);
    EXPECT_EQ(boxes.texts()[0], "CAPI Register\nCode:1008");
    EXPECT_EQ(full.Releases(), 0u);
}

TEST_F(CapiLoading, FailedListenRequestShowsTheBoxAndQuits) {
    full.Setup(0, 0, 0x1108);
    {
        CapiBase capi(CB_STANDIN_FULL);
        EXPECT_FALSE(CapiStartUp(capi));
        EXPECT_TRUE(capi.bRegistered);
        CapiShutdown(capi);
    }
    ASSERT_EQ(boxes.texts().size(), 1u);
    EXPECT_EQ(boxes.texts()[0], "CAPI PutMessage\nCode:1108");
    EXPECT_EQ(full.Releases(), 1u);
}

TEST_F(CapiLoading, EmptyQueueNeverReachesTheBlockingGet) {
    CapiBase capi(CB_STANDIN_FULL);
    ASSERT_TRUE(CapiStartUp(capi));
    const uint8_t* msg = nullptr;
    EXPECT_EQ(capi.GetMessageNonBlocking(&msg), CapiBase::kErrQueueEmpty);
    EXPECT_EQ(full.Gets(), 0u);

    full.Get<void (*)()>("standin_queue_message")();
    ASSERT_EQ(capi.GetMessageNonBlocking(&msg), 0u);
    ASSERT_NE(msg, nullptr);
    EXPECT_EQ(CommandWord(msg), CAPI_LISTEN_CONF);
    EXPECT_EQ(capi.GetMessageNonBlocking(&msg), CapiBase::kErrQueueEmpty);
}

} // namespace
