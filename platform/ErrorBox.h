// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace cb {

// Every error the user must see goes through here: a box titled "Fehler" with the error icon
// and no owner window. The GUI installs the real box; tests install a collector.
using ErrorBoxHandler = void (*)(const std::string& utf8Text);

void ShowErrorBox(const std::string& utf8Text);
// Returns the previous handler. nullptr restores the default (text to standard error).
ErrorBoxHandler SetErrorBoxHandler(ErrorBoxHandler handler);

} // namespace cb
