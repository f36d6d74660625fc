// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/NoLine.h"

#include "core/Settings.h"

QString TNoLine::NoneHint() const {
    return bClient ? QString() : QStringLiteral("CallBeacon - keine Leitung eingerichtet");
}
