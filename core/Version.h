// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The program's version as the Info dialog and `callbeacon --version` show it ("1.50"). It is
// written once, in the project() of the top CMakeLists.txt, which hands it over as CB_VERSION.
#ifndef CB_VERSION
#error "CB_VERSION comes from the build (project VERSION in CMakeLists.txt)"
#endif

inline QString ProgramVersionText() {
    return QStringLiteral(CB_VERSION);
}

// One id for the desktop entry, the AppStream component and the icon of an installation.
inline constexpr const char* kApplicationId = "io.github.callbeacon.CallBeacon";
