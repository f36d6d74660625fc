// SPDX-License-Identifier: GPL-3.0-or-later
// The MQTT listener in the program's own event loop against a real Mosquitto: a settings change
// moves it to another station, and one that had announced itself to Home Assistant takes its
// discovery configs back.
#include "app/MqttPublisher.h"
#include "core/Settings.h"
#include "support/Mosquitto.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using cbtest::Broker;
using cbtest::Subscriber;

namespace {

bool PumpUntil(const std::function<bool()>& condition, int timeoutMs) {
    return cbtest::WaitUntil(
        [&] {
            QCoreApplication::processEvents();
            return condition();
        },
        timeoutMs);
}

} // namespace

TEST(MqttPublisher, ASettingsChangeMovesTheStationAndTakesItsDiscoveryBack) {
    cbtest::TempDir temp;
    Broker broker(temp.path());
    broker.Start();
    Subscriber sub(broker, {"callbeacon/#", "homeassistant/#"});
    ResetSettings();
    sMqttHost = "127.0.0.1";
    iMqttPort = broker.port();
    sMqttStation = "eins";
    bMqttHomeAssistant = true;
    TMqttPublisher publisher;
    publisher.OnSettingsChanged();
    const std::string config = "homeassistant/sensor/callbeacon_eins_last_caller/config";
    ASSERT_TRUE(PumpUntil([&] { return !sub.On(config).empty(); }, 10000));
    EXPECT_NE(publisher.StateText().indexOf("verbunden"), -1)
        << publisher.StateText().toStdString();

    CallEvent ring;
    ring.callId = 7;
    ring.calling = "0301234567";
    publisher.OnCallEvent(ring);
    ASSERT_TRUE(PumpUntil([&] { return !sub.On("callbeacon/eins/event").empty(); }, 5000));

    sMqttStation = "zwei";
    bMqttHomeAssistant = false;
    publisher.OnSettingsChanged();
    ASSERT_TRUE(PumpUntil([&] { return !sub.On("callbeacon/zwei/status").empty(); }, 10000));
    publisher.OnCallEvent(ring);
    EXPECT_TRUE(PumpUntil([&] { return !sub.On("callbeacon/zwei/event").empty(); }, 5000));
    // The old station said goodbye and its configs were emptied (mosquitto_sub shows an empty
    // payload as "(null)").
    EXPECT_EQ(sub.On("callbeacon/eins/status").back(), "offline");
    const auto configs = sub.On(config);
    ASSERT_EQ(configs.size(), 2u);
    EXPECT_EQ(configs[1], "(null)");
    EXPECT_TRUE(sub.On("homeassistant/sensor/callbeacon_zwei_last_caller/config").empty());

    sMqttHost.clear();
    publisher.OnSettingsChanged();
    EXPECT_EQ(publisher.StateText(), "MQTT aus");
    ResetSettings();
}
