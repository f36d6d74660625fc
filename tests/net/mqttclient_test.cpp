// SPDX-License-Identifier: GPL-3.0-or-later
// The MQTT connection against a real Mosquitto broker on 127.0.0.1: what is published while
// the broker is away waits (the newest kMaxQueued) and arrives in order once it is up; a lost
// broker is sought again; nothing waits for the broker.
#include "net/MqttClient.h"
#include "support/Mosquitto.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>

using cbtest::Broker;
using cbtest::Subscriber;
using cbtest::WaitUntil;

namespace {

MqttOptions OptionsFor(const Broker& broker) {
    MqttOptions o;
    o.host = "127.0.0.1";
    o.port = broker.port();
    o.clientId = "mqttclient-test";
    o.statusTopic = "t/status";
    return o;
}

} // namespace

TEST(MqttClient, WaitsForALateBrokerKeepsTheNewestAndSendsThemInOrder) {
    cbtest::TempDir temp;
    Broker broker(temp.path());
    std::atomic<int> wakeUps{0};
    TMqttClient client(OptionsFor(broker));
    client.SetBirthMessages({{"t/status", "online", 1, true}});
    client.SetWakeUp([&] { ++wakeUps; });
    client.Start();
    ASSERT_TRUE(
        WaitUntil([&] { return client.StateText().find("refused") != std::string::npos; }, 5000))
        << client.StateText();

    // Publishing never waits, whatever the broker does.
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 150; ++i)
        client.Publish({"t/event", "n" + std::to_string(i), 1, false});
    client.Publish({"t/last", "old", 1, true});
    client.Publish({"t/last", "new", 1, true}); // replaces the older retained one
    MqttMessage stale{"t/announce", "x", 1, false};
    stale.queueWhileAway = false;
    client.Publish(stale);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(500));
    EXPECT_EQ(client.Queued(), TMqttClient::kMaxQueued);
    EXPECT_EQ(client.Dropped(), 51u); // 150 events + 1 retained into 100 places
    EXPECT_GT(wakeUps.load(), 0);

    broker.Start();
    Subscriber sub(broker, {"t/#"});
    ASSERT_TRUE(WaitUntil([&] { return sub.On("t/event").size() == 99; }, 20000))
        << sub.On("t/event").size() << " " << client.StateText();
    const auto events = sub.On("t/event");
    for (size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i], "n" + std::to_string(51 + i));
    EXPECT_EQ(sub.On("t/last"), std::vector<std::string>{"new"});
    EXPECT_TRUE(sub.On("t/announce").empty());
    EXPECT_EQ(client.CurrentState(), TMqttClient::State::Connected);

    // Lost and back: found again within the first steps of the back-off.
    broker.Kill();
    ASSERT_TRUE(
        WaitUntil([&] { return client.CurrentState() != TMqttClient::State::Connected; }, 5000));
    client.Publish({"t/event", "while away", 1, false});
    broker.Start();
    Subscriber again(broker, {"t/event"});
    EXPECT_TRUE(WaitUntil([&] { return !again.On("t/event").empty(); }, 10000));
    EXPECT_EQ(again.On("t/event"), std::vector<std::string>{"while away"});

    // A clean stop says "offline" itself.
    Subscriber status(broker, {"t/status"});
    client.Stop();
    EXPECT_TRUE(WaitUntil(
        [&] {
            auto s = status.On("t/status");
            return !s.empty() && s.back() == "offline";
        },
        5000));
}

TEST(MqttClient, ABrokerThatNeverAnswersTheLoginIsLeftAndNothingHangs) {
    // A listening socket that accepts and never speaks MQTT.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    socklen_t len = sizeof a;
    getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    listen(fd, 4);
    MqttOptions o;
    o.host = "127.0.0.1";
    o.port = ntohs(a.sin_port);
    o.statusTopic = "t/status";
    o.loginTimeoutMs = 1000;
    TMqttClient client(o);
    client.Start();
    client.Publish({"t/event", "kept", 1, false});
    EXPECT_TRUE(WaitUntil(
        [&] { return client.StateText().find("keine Antwort") != std::string::npos; }, 6000))
        << client.StateText();
    EXPECT_EQ(client.Queued(), 1u);
    const auto t0 = std::chrono::steady_clock::now();
    client.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(3));
    close(fd);
}
