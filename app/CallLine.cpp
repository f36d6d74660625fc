// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CallLine.h"

void TCallLine::SetState(State newState, const QString& detail) {
    const State before = state;
    state = newState;
    sDetail = detail;
    if (newState != before) emit StateChanged(newState, before, detail);
}
