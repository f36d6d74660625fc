// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CallEventJson.h"

#include "db/TableText.h"

#include <QDateTime>
#include <QJsonDocument>

namespace {

QString Utf8(const std::string& tableText) {
    return QString::fromStdString(TableToUtf8(tableText));
}

// Local time with its offset, so that a reader elsewhere knows the moment.
QString IsoTime(int32_t unixTime) {
    const QDateTime local = QDateTime::fromSecsSinceEpoch(unixTime);
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
}

QString DisplayName(const CallEvent& event) {
    if (!event.known) return QString();
    const QString first = Utf8(event.caller.sVorname).trimmed();
    const QString last = Utf8(event.caller.sName).trimmed();
    return first.isEmpty() ? last : last.isEmpty() ? first : first + QLatin1Char(' ') + last;
}

} // namespace

QJsonObject CallEventJson(const CallEvent& event) {
    QJsonObject o;
    o.insert(QStringLiteral("event"), QString::fromLatin1(CallEventName(event.kind)));
    o.insert(QStringLiteral("time"), IsoTime(event.time));
    o.insert(QStringLiteral("ring_time"), IsoTime(event.ringTime));
    o.insert(QStringLiteral("line"), QString::fromLatin1(CallLineName(event.line)));
    o.insert(QStringLiteral("call_id"), static_cast<qint64>(event.callId));
    o.insert(QStringLiteral("calling"), QString::fromStdString(event.calling));
    o.insert(QStringLiteral("calling_type"),
             QString::fromLatin1(NumberKindName(event.callingKind)));
    o.insert(QStringLiteral("called"), QString::fromStdString(event.called));
    // The own number as the phone book names it, when it does.
    const QString calledName = Utf8(event.caller.sGerufener);
    o.insert(QStringLiteral("called_name"),
             calledName == QString::fromStdString(event.called) ? QString() : calledName);
    o.insert(QStringLiteral("name"), DisplayName(event));
    o.insert(QStringLiteral("known"), event.known);
    const std::string& place =
        event.caller.sOrt.empty() ? event.caller.sAvonOrt : event.caller.sOrt;
    o.insert(QStringLiteral("place"), Utf8(place));
    if (!event.device.empty()) o.insert(QStringLiteral("device"), Utf8(event.device));
    if (event.durationSeconds >= 0)
        o.insert(QStringLiteral("duration"), static_cast<qint64>(event.durationSeconds));
    return o;
}

QByteArray CallEventJsonBytes(const CallEvent& event) {
    return QJsonDocument(CallEventJson(event)).toJson(QJsonDocument::Compact);
}

void AddCallEventVariables(const CallEvent& event, QProcessEnvironment& environment) {
    const QJsonObject o = CallEventJson(event);
    for (auto it = o.begin(); it != o.end(); ++it) {
        const QJsonValue v = it.value();
        QString text;
        if (v.isBool())
            text = v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        else if (v.isDouble())
            text = QString::number(v.toInteger());
        else
            text = v.toString();
        environment.insert(QStringLiteral("CALLBEACON_") + it.key().toUpper(), text);
    }
}
