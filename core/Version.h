// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The program's version as the Info dialog and `callbeacon --version` show it ("1.50").
inline constexpr double kProgramVersion = 1.5;

inline QString ProgramVersionText() {
    return QString::asprintf("%1.2f", kProgramVersion);
}

// One id for the desktop entry, the AppStream component and the icon of an installation.
inline constexpr const char* kApplicationId = "io.github.callbeacon.CallBeacon";
