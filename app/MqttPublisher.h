// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallListener.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <mutex>
#include <string>

class TMqttClient;

// The calls to the rest of the house through an MQTT broker ([MQTT], off while Host is empty):
// each call event as JSON to <prefix>/<station>/event, the last caller retained under
// .../last_call, the station's status (online, offline as last will), optional Home Assistant
// discovery. With [Netzwerk] Weg=MQTT it also carries the announcements between workstations
// under <prefix>/announce/<slot>. The broker is served on a thread of its own; nothing here
// waits for it.
class TMqttPublisher : public QObject, public ICallListener {
    Q_OBJECT
public:
    TMqttPublisher();
    ~TMqttPublisher() override;

    const char* ListenerName() const override { return "mqtt"; }
    void OnCallEvent(const CallEvent& event) override;
    // Connects anew when what the connection is made of changed.
    void OnSettingsChanged() override;

    // A server's announcement (the bytes of its datagram) for the clients.
    void PublishAnnouncement(const std::string& slot, const std::string& bytes);
    // Where the announcements received from the broker go (on the GUI thread).
    void SetAnnouncementHandler(std::function<void(const std::string& bytes)> handler) {
        announcementHandler = std::move(handler);
    }
    // Shutdown: "offline" is published and the connection closed.
    void Stop();

    // For the settings page: off, or the broker and the connection's state (German).
    QString StateText() const;
    // The topics, for tests and the help.
    QString EventTopic() const { return sBase + QStringLiteral("/event"); }
    QString StatusTopic() const { return sBase + QStringLiteral("/status"); }

private:
    struct Config {
        std::string host, ca, user, password, prefix, station;
        int port = 1883;
        bool tls = false, homeAssistant = false, announceClient = false;
        bool operator==(const Config&) const = default;
    };
    static Config FromSettings();
    void Connect(const Config& config);
    void TakeFromNetworkThread();
    std::string AnnounceTopic(const std::string& slot) const;

    // The network thread's way back to this object: cleared when it goes.
    struct WakeTarget {
        std::mutex mutex;
        TMqttPublisher* target = nullptr;
        bool posted = false;
    };
    std::shared_ptr<WakeTarget> pWake;
    std::unique_ptr<TMqttClient> pClient;
    Config config;
    bool bConfigured = false;
    QString sBase; // <prefix>/<station>
    std::string sLastState;
    std::function<void(const std::string&)> announcementHandler;
};
