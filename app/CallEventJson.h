// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallEvent.h"

#include <QByteArray>
#include <QJsonObject>
#include <QProcessEnvironment>

// A call event as the outside world receives it: one JSON object (UTF-8) for MQTT and the
// webhook, the same fields as environment variables for a command. Caller texts are data
// here and nowhere parsed.
QJsonObject CallEventJson(const CallEvent& event);
QByteArray CallEventJsonBytes(const CallEvent& event);
// CALLBEACON_EVENT, CALLBEACON_CALLING, CALLBEACON_NAME, ...: every JSON field, its name in
// capitals after CALLBEACON_, added to `environment`.
void AddCallEventVariables(const CallEvent& event, QProcessEnvironment& environment);
