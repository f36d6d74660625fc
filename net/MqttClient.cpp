// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/MqttClient.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Messages received and not yet taken are kept up to this many (a flood must not fill memory).
constexpr size_t kMaxReceived = 256;
constexpr int kMaxBackOffSeconds = 60;

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

const char* StateName(TMqttClient::State state) {
    switch (state) {
    case TMqttClient::State::Stopped:
        return "aus";
    case TMqttClient::State::Connecting:
        return "verbindet";
    case TMqttClient::State::Connected:
        return "verbunden";
    case TMqttClient::State::Waiting:
        return "getrennt";
    }
    return "aus";
}

} // namespace

struct TMqttClient::Shared {
    MqttOptions options;
    std::vector<MqttMessage> birth;
    std::vector<std::string> subscriptions;
    std::function<void()> wakeUp;

    mutable std::mutex mutex;
    std::condition_variable changed;
    bool stopping = false;
    bool finished = false;
    State state = State::Stopped;
    std::string detail;
    bool connected = false; // publications go straight to the library
    std::deque<MqttMessage> queue;
    size_t dropped = 0;
    std::vector<MqttMessage> received;
    // Set by the library's callbacks, handled by the loop outside them.
    int connackResult = -1; // -1: no answer yet
    mosquitto* mosq = nullptr;

    ~Shared() {
        if (mosq) mosquitto_destroy(mosq);
    }

    void Wake() {
        std::function<void()> wake;
        {
            std::lock_guard<std::mutex> lock(mutex);
            wake = wakeUp;
        }
        if (wake) wake();
    }
    void SetState(State s, const std::string& why) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (state == s && detail == why) return;
            state = s;
            detail = why;
        }
        Wake();
    }
    bool Stopping() const {
        std::lock_guard<std::mutex> lock(mutex);
        return stopping;
    }
    void Enqueue(MqttMessage message) {
        // The state of a retained topic needs only its newest value.
        if (message.retain) {
            auto same = std::find_if(queue.begin(), queue.end(), [&](const MqttMessage& m) {
                return m.retain && m.topic == message.topic;
            });
            if (same != queue.end()) queue.erase(same);
        }
        queue.push_back(std::move(message));
        while (queue.size() > kMaxQueued) {
            queue.pop_front();
            ++dropped;
        }
    }
    int Send(const MqttMessage& m) {
        return mosquitto_publish(mosq, nullptr, m.topic.c_str(), static_cast<int>(m.payload.size()),
                                 m.payload.data(), m.qos, m.retain);
    }
    void Run();
    bool Session();
    void Goodbye();
};

// One connection from its start to its loss; true when the broker accepted the login.
bool TMqttClient::Shared::Session() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        connackResult = -1;
    }
    int rc = mosquitto_connect(mosq, options.host.c_str(), options.port, options.keepAliveSeconds);
    if (rc != MOSQ_ERR_SUCCESS) {
        SetState(State::Waiting,
                 "nicht erreichbar: " + std::string(rc == MOSQ_ERR_ERRNO ? std::strerror(errno)
                                                                         : mosquitto_strerror(rc)));
        return false;
    }
    const auto started = Clock::now();
    bool loggedIn = false;
    std::string why = "Verbindung verloren";
    while (!Stopping()) {
        rc = mosquitto_loop(mosq, 100, 1);
        int connack;
        {
            std::lock_guard<std::mutex> lock(mutex);
            connack = connackResult;
            connackResult = -2; // handled
        }
        if (connack > 0) {
            why = std::string("Anmeldung abgelehnt: ") + mosquitto_connack_string(connack);
            break;
        }
        if (connack == 0) {
            loggedIn = true;
            // Status, discovery and subscriptions first, then what waited, in order; only
            // then do new publications go straight out, so that none overtakes a queued one.
            for (const MqttMessage& m : birth)
                Send(m);
            for (const std::string& topic : subscriptions)
                mosquitto_subscribe(mosq, nullptr, topic.c_str(), 1);
            {
                std::lock_guard<std::mutex> lock(mutex);
                while (!queue.empty()) {
                    Send(queue.front());
                    queue.pop_front();
                }
                connected = true;
            }
            SetState(State::Connected, std::string());
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            if (rc == MOSQ_ERR_ERRNO) why += std::string(": ") + std::strerror(errno);
            break;
        }
        if (!loggedIn &&
            Clock::now() - started > std::chrono::milliseconds(options.loginTimeoutMs)) {
            why = "keine Antwort auf die Anmeldung";
            break;
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        connected = false;
    }
    if (Stopping()) return loggedIn;
    mosquitto_disconnect(mosq);
    SetState(State::Waiting, why);
    return loggedIn;
}

// A clean end: the status says so before the connection goes (the last will is only for
// an end the broker notices by itself).
void TMqttClient::Shared::Goodbye() {
    bool wasConnected;
    {
        std::lock_guard<std::mutex> lock(mutex);
        wasConnected = state == State::Connected;
    }
    if (wasConnected) {
        MqttMessage offline{options.statusTopic, "offline", 1, true};
        Send(offline);
        for (int i = 0; i < 8 && mosquitto_want_write(mosq); ++i)
            mosquitto_loop(mosq, 100, 1);
    }
    mosquitto_disconnect(mosq);
    for (int i = 0; i < 4 && mosquitto_want_write(mosq); ++i)
        mosquitto_loop(mosq, 100, 1);
}

void TMqttClient::Shared::Run() {
    int backOff = 1;
    while (!Stopping()) {
        SetState(State::Connecting, std::string());
        if (Session()) backOff = 1;
        if (Stopping()) break;
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait_for(lock, std::chrono::seconds(backOff), [this] { return stopping; });
        backOff = std::min(backOff * 2, kMaxBackOffSeconds);
    }
    Goodbye();
    {
        std::lock_guard<std::mutex> lock(mutex);
        state = State::Stopped;
        finished = true;
    }
    changed.notify_all();
}

TMqttClient::TMqttClient(MqttOptions options) : pShared(std::make_shared<Shared>()) {
    InitLibrary();
    pShared->options = std::move(options);
}

TMqttClient::~TMqttClient() {
    Stop();
}

void TMqttClient::SetBirthMessages(std::vector<MqttMessage> messages) {
    pShared->birth = std::move(messages);
}

void TMqttClient::SetSubscriptions(std::vector<std::string> topics) {
    pShared->subscriptions = std::move(topics);
}

void TMqttClient::SetWakeUp(std::function<void()> wakeUp) {
    pShared->wakeUp = std::move(wakeUp);
}

void TMqttClient::Start() {
    if (bStarted) return;
    Shared& s = *pShared;
    const MqttOptions& o = s.options;
    s.mosq = mosquitto_new(o.clientId.empty() ? nullptr : o.clientId.c_str(), true, &s);
    if (!s.mosq) {
        s.SetState(State::Stopped, "libmosquitto: kein Speicher");
        return;
    }
    mosquitto_threaded_set(s.mosq, true);
    mosquitto_int_option(s.mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    if (!o.user.empty())
        mosquitto_username_pw_set(s.mosq, o.user.c_str(),
                                  o.password.empty() ? nullptr : o.password.c_str());
    if (!o.statusTopic.empty())
        mosquitto_will_set(s.mosq, o.statusTopic.c_str(), 7, "offline", 1, true);
    if (o.tls) {
        const int rc =
            o.caFile.empty()
                ? mosquitto_tls_set(s.mosq, nullptr, "/etc/ssl/certs", nullptr, nullptr, nullptr)
                : mosquitto_tls_set(s.mosq, o.caFile.c_str(), nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            s.SetState(State::Stopped, "TLS: " + std::string(mosquitto_strerror(rc)) +
                                           (o.caFile.empty() ? "" : " (CA " + o.caFile + ")"));
            return;
        }
    }
    mosquitto_connect_callback_set(s.mosq, [](mosquitto*, void* obj, int rc) {
        auto* shared = static_cast<Shared*>(obj);
        std::lock_guard<std::mutex> lock(shared->mutex);
        shared->connackResult = rc;
    });
    mosquitto_message_callback_set(s.mosq, [](mosquitto*, void* obj, const mosquitto_message* m) {
        auto* shared = static_cast<Shared*>(obj);
        {
            std::lock_guard<std::mutex> lock(shared->mutex);
            if (shared->received.size() >= kMaxReceived)
                shared->received.erase(shared->received.begin());
            shared->received.push_back(
                {m->topic ? m->topic : "",
                 std::string(static_cast<const char*>(m->payload),
                             static_cast<size_t>(std::max(0, m->payloadlen))),
                 m->qos, m->retain});
        }
        shared->Wake();
    });
    bStarted = true;
    // The thread holds the shared state: should it hang in a name lookup at shutdown, it is
    // left behind and cleans up after itself.
    std::thread([shared = pShared] { shared->Run(); }).detach();
}

void TMqttClient::Stop() {
    if (!bStarted) return;
    bStarted = false;
    std::unique_lock<std::mutex> lock(pShared->mutex);
    pShared->stopping = true;
    pShared->wakeUp = nullptr;
    pShared->changed.notify_all();
    pShared->changed.wait_for(lock, std::chrono::milliseconds(2500),
                              [this] { return pShared->finished; });
}

void TMqttClient::Publish(MqttMessage message) {
    std::lock_guard<std::mutex> lock(pShared->mutex);
    if (pShared->connected && pShared->Send(message) == MOSQ_ERR_SUCCESS) return;
    if (message.queueWhileAway) pShared->Enqueue(std::move(message));
}

std::vector<MqttMessage> TMqttClient::TakeReceived() {
    std::lock_guard<std::mutex> lock(pShared->mutex);
    std::vector<MqttMessage> out;
    out.swap(pShared->received);
    return out;
}

TMqttClient::State TMqttClient::CurrentState() const {
    std::lock_guard<std::mutex> lock(pShared->mutex);
    return pShared->state;
}

std::string TMqttClient::StateText() const {
    std::lock_guard<std::mutex> lock(pShared->mutex);
    std::string text = StateName(pShared->state);
    if (!pShared->detail.empty()) text += " (" + pShared->detail + ")";
    return text;
}

size_t TMqttClient::Dropped() const {
    std::lock_guard<std::mutex> lock(pShared->mutex);
    return pShared->dropped;
}

size_t TMqttClient::Queued() const {
    std::lock_guard<std::mutex> lock(pShared->mutex);
    return pShared->queue.size();
}
