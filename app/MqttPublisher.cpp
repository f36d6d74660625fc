// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/MqttPublisher.h"

#include "app/CallEventJson.h"
#include "core/Settings.h"
#include "core/Version.h"
#include "net/MqttClient.h"
#include "platform/Trace.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>

#include <cctype>

namespace {

// A topic level must not hold the wildcards; a station name must not open further levels.
std::string TopicLevel(std::string text, bool allowSlash) {
    for (char& c : text)
        if (c == '+' || c == '#' || (!allowSlash && c == '/')) c = '_';
    while (allowSlash && !text.empty() && text.back() == '/')
        text.pop_back();
    return text;
}

// Home Assistant's ids take letters, digits, '_' and '-'.
std::string DiscoveryId(const std::string& station) {
    std::string id = "callbeacon_";
    for (unsigned char c : station)
        id += std::isalnum(c) || c == '-' ? static_cast<char>(c) : '_';
    return id;
}

std::string Json(const QJsonObject& o) {
    return QJsonDocument(o).toJson(QJsonDocument::Compact).toStdString();
}

// The discovery configs as Home Assistant's MQTT discovery documents them: a sensor holding
// the last caller (its JSON as attributes) and a binary sensor that is on while a call rings.
std::vector<MqttMessage> DiscoveryMessages(const std::string& base, const std::string& station) {
    const std::string id = DiscoveryId(station);
    const QString qBase = QString::fromStdString(base);
    QJsonObject device;
    device.insert(QStringLiteral("identifiers"), QJsonArray{QString::fromStdString(id)});
    device.insert(QStringLiteral("name"),
                  QStringLiteral("CallBeacon ") + QString::fromStdString(station));
    device.insert(QStringLiteral("manufacturer"), QStringLiteral("CallBeacon"));
    device.insert(QStringLiteral("model"), QStringLiteral("Anrufmonitor"));
    device.insert(QStringLiteral("sw_version"), ProgramVersionText());
    auto common = [&](const char* suffix, const QString& name) {
        QJsonObject o;
        o.insert(QStringLiteral("name"), name);
        o.insert(QStringLiteral("unique_id"), QString::fromStdString(id + suffix));
        o.insert(QStringLiteral("object_id"), QString::fromStdString(id + suffix));
        o.insert(QStringLiteral("availability_topic"), qBase + QStringLiteral("/status"));
        o.insert(QStringLiteral("payload_available"), QStringLiteral("online"));
        o.insert(QStringLiteral("payload_not_available"), QStringLiteral("offline"));
        o.insert(QStringLiteral("device"), device);
        return o;
    };
    QJsonObject caller = common("_last_caller", QStringLiteral("Letzter Anrufer"));
    caller.insert(QStringLiteral("state_topic"), qBase + QStringLiteral("/last_call"));
    caller.insert(
        QStringLiteral("value_template"),
        QStringLiteral("{{ value_json.name if value_json.name else value_json.calling }}"));
    caller.insert(QStringLiteral("json_attributes_topic"), qBase + QStringLiteral("/last_call"));
    caller.insert(QStringLiteral("icon"), QStringLiteral("mdi:phone-incoming"));
    QJsonObject ringing = common("_ringing", QStringLiteral("Klingelt"));
    ringing.insert(QStringLiteral("state_topic"), qBase + QStringLiteral("/event"));
    ringing.insert(QStringLiteral("value_template"),
                   QStringLiteral("{{ 'ON' if value_json.event == 'ring' else 'OFF' }}"));
    ringing.insert(QStringLiteral("payload_on"), QStringLiteral("ON"));
    ringing.insert(QStringLiteral("payload_off"), QStringLiteral("OFF"));
    ringing.insert(QStringLiteral("icon"), QStringLiteral("mdi:phone-ring"));
    return {
        {"homeassistant/sensor/" + id + "_last_caller/config", Json(caller), 1, true},
        {"homeassistant/binary_sensor/" + id + "_ringing/config", Json(ringing), 1, true},
    };
}

} // namespace

TMqttPublisher::TMqttPublisher() : pWake(std::make_shared<WakeTarget>()) {
    pWake->target = this;
}

TMqttPublisher::~TMqttPublisher() {
    Stop();
    std::lock_guard<std::mutex> lock(pWake->mutex);
    pWake->target = nullptr;
}

TMqttPublisher::Config TMqttPublisher::FromSettings() {
    Config c;
    c.host = sMqttHost;
    if (c.host.empty()) return c;
    c.tls = bMqttTls;
    c.port = iMqttPort > 0 && iMqttPort < 65536 ? iMqttPort : (c.tls ? 8883 : 1883);
    c.ca = sMqttCa;
    c.user = sMqttBenutzer;
    c.password = sMqttKennwort;
    c.prefix = TopicLevel(sMqttPraefix.empty() ? "callbeacon" : sMqttPraefix, true);
    c.station = TopicLevel(
        sMqttStation.empty() ? QSysInfo::machineHostName().toStdString() : sMqttStation, false);
    if (c.station.empty()) c.station = "station";
    c.homeAssistant = bMqttHomeAssistant;
    c.announceClient = bClient && AnnounceThroughBroker();
    return c;
}

void TMqttPublisher::OnSettingsChanged() {
    const Config wanted = FromSettings();
    if (bConfigured && wanted == config) return;
    // Home Assistant forgets a device whose discovery configs are emptied: switched off or
    // renamed, the old station does not linger there.
    if (pClient && config.homeAssistant &&
        (!wanted.homeAssistant || wanted.station != config.station)) {
        for (const MqttMessage& m : DiscoveryMessages(sBase.toStdString(), config.station))
            pClient->Publish({m.topic, std::string(), 1, true});
    }
    bConfigured = true;
    config = wanted;
    Connect(config);
}

void TMqttPublisher::Connect(const Config& c) {
    pClient.reset(); // says "offline" and closes
    sBase.clear();
    if (c.host.empty()) {
        if (!sLastState.empty()) cb::Trace("mqtt off");
        sLastState.clear();
        return;
    }
    const std::string base = c.prefix + "/" + c.station;
    sBase = QString::fromStdString(base);
    MqttOptions o;
    o.host = c.host;
    o.port = c.port;
    o.tls = c.tls;
    o.caFile = c.ca;
    o.user = c.user;
    o.password = c.password;
    o.clientId = "callbeacon-" + c.station + "-" + std::to_string(QCoreApplication::applicationPid());
    o.statusTopic = base + "/status";
    pClient = std::make_unique<TMqttClient>(o);
    std::vector<MqttMessage> birth{{o.statusTopic, "online", 1, true}};
    if (c.homeAssistant) {
        auto discovery = DiscoveryMessages(base, c.station);
        birth.insert(birth.end(), discovery.begin(), discovery.end());
    }
    pClient->SetBirthMessages(std::move(birth));
    if (c.announceClient) pClient->SetSubscriptions({c.prefix + "/announce/+"});
    // Called on the network thread: only a queued call comes over, and only one at a time.
    pClient->SetWakeUp([wake = pWake] {
        std::lock_guard<std::mutex> lock(wake->mutex);
        if (!wake->target || wake->posted) return;
        wake->posted = true;
        QMetaObject::invokeMethod(wake->target, &TMqttPublisher::TakeFromNetworkThread,
                                  Qt::QueuedConnection);
    });
    cb::Trace("mqtt broker " + c.host + ":" + std::to_string(c.port) + (c.tls ? " tls" : "") +
              " topics " + base);
    pClient->Start();
}

void TMqttPublisher::TakeFromNetworkThread() {
    {
        std::lock_guard<std::mutex> lock(pWake->mutex);
        pWake->posted = false;
    }
    if (!pClient) return;
    const std::string state = pClient->StateText();
    if (state != sLastState) {
        sLastState = state;
        cb::Trace("mqtt " + state);
    }
    const std::string announcePrefix = config.prefix + "/announce/";
    for (const MqttMessage& m : pClient->TakeReceived()) {
        if (m.topic.rfind(announcePrefix, 0) != 0 || !announcementHandler) continue;
        announcementHandler(m.payload);
    }
}

std::string TMqttPublisher::AnnounceTopic(const std::string& slot) const {
    return config.prefix + "/announce/" + TopicLevel(slot, false);
}

void TMqttPublisher::PublishAnnouncement(const std::string& slot, const std::string& bytes) {
    if (!pClient) return;
    // A call is live for seconds: an announcement is not kept for a broker that is away.
    MqttMessage m{AnnounceTopic(slot), bytes, 1, false};
    m.queueWhileAway = false;
    pClient->Publish(std::move(m));
}

void TMqttPublisher::OnCallEvent(const CallEvent& event) {
    if (!pClient) return;
    const std::string json = CallEventJsonBytes(event).toStdString();
    const std::string base = sBase.toStdString();
    pClient->Publish({base + "/event", json, 1, false});
    if (event.kind == CallEventKind::Ringing)
        pClient->Publish({base + "/last_call", json, 1, true});
}

void TMqttPublisher::Stop() {
    pClient.reset();
}

QString TMqttPublisher::StateText() const {
    if (!pClient) return QStringLiteral("MQTT aus");
    return QString::fromStdString(config.host + ":" + std::to_string(config.port) + " " +
                                  pClient->StateText());
}
