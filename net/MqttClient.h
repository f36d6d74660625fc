// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What an MQTT connection is made of; the settings give it.
struct MqttOptions {
    std::string host;
    int port = 1883;
    bool tls = false;
    std::string caFile; // empty with TLS: the system's certificate authorities
    std::string user;   // empty: anonymous
    std::string password;
    std::string clientId;
    // The status topic: "online" (retained) once connected, "offline" as the last will and
    // before a clean disconnect.
    std::string statusTopic;
    int keepAliveSeconds = 30;
    // A broker that takes the TCP connection but does not answer the login is left after this.
    int loginTimeoutMs = 10000;
};

struct MqttMessage {
    std::string topic;
    std::string payload; // bytes, not necessarily text
    int qos = 0;
    bool retain = false;
    // Kept for the broker's return; false for what is stale by then (an announcement).
    bool queueWhileAway = true;
};

// One connection to an MQTT broker through libmosquitto, run on a network thread of its own:
// no call of this class waits for the broker. Publications made while the broker is away are
// kept (the newest kMaxQueued; a retained one replaces an older one of its topic) and sent once
// it is back; it is sought again with a back-off of 1 s doubling to 60 s. The retained messages
// given to SetBirthMessages are published again on every connect, the topics given to
// SetSubscriptions subscribed again.
//
// The wake-up function is called on the network thread whenever messages were received or the
// state changed; the owner then takes them on its own thread (TakeReceived, StateText).
class TMqttClient {
public:
    static constexpr size_t kMaxQueued = 100;
    enum class State { Stopped, Connecting, Connected, Waiting };

    explicit TMqttClient(MqttOptions options);
    ~TMqttClient(); // Stop()
    TMqttClient(const TMqttClient&) = delete;
    TMqttClient& operator=(const TMqttClient&) = delete;

    // Before Start.
    void SetBirthMessages(std::vector<MqttMessage> messages);
    void SetSubscriptions(std::vector<std::string> topics);
    void SetWakeUp(std::function<void()> wakeUp);

    void Start();
    // Publishes "offline" and disconnects, waiting at most about two seconds for it.
    void Stop();

    void Publish(MqttMessage message);
    std::vector<MqttMessage> TakeReceived();

    State CurrentState() const;
    // For the trace and the settings page: the state and, when lost, why (German).
    std::string StateText() const;
    // Publications dropped so far because the queue was full.
    size_t Dropped() const;
    size_t Queued() const;

    struct Shared; // what the network thread and this object share

private:
    std::shared_ptr<Shared> pShared;
    bool bStarted = false;
};
