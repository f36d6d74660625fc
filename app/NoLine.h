// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallLine.h"

// No line at all ([Leitung] Art=Keine): a workstation that only shows the calls other
// workstations announce, or one whose user has not set up a line yet.
class TNoLine : public TCallLine {
    Q_OBJECT
public:
    using TCallLine::TCallLine;
    CallLineKind Kind() const override { return CallLineKind::None; }
    bool Start(bool) override { return true; }
    void Stop() override {}
    void TakeEvents(std::vector<CallEvent>&) override {}
    QString LostHint() const override { return {}; }
    QString BackHint() const override { return {}; }
    // A network client looks like any monitor; without it nothing would show a call.
    QString NoneHint() const override;
};
