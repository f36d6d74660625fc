// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

// Pictures and icons compiled into the ui library:
//   :/icons/telefon_weiss_<n>.png, :/icons/telefon_rot_<n>.png, :/icons/callbeacon_<n>.png
//     with n = 16, 22, 24, 32, 48, 64, and the drawings telefon_weiss.svg, telefon_rot.svg,
//     callbeacon.svg they are rendered from;
//   :/pictures/titel.png (310 x 44) and :/pictures/seite.png (144 x 270) of the Info dialog.
// cb_ui is a static library, so its resources must be registered once before first use.
void InitUiResources();

namespace cb {

// Tray looks: idle (white telephone) and calls pending (red telephone), and the program's
// own icon; each holds every rendered size so small trays get a sharp picture.
QIcon TelefonWeissIcon();
QIcon TelefonRotIcon();
QIcon ApplicationIcon();
// No connection to the line: the idle telephone greyed and crossed out.
QIcon TelefonGetrenntIcon();

} // namespace cb
