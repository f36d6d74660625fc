// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace cb {

// Help topics of the program's help; 0 is the contents page.
enum HelpTopic {
    HelpContents = 0,
    HelpAnrufer = 102,
    HelpTelefonbuch = 106,
    HelpParameter = 110,
    HelpInfo = 120
};

// Shows the help window (pages compiled into the program) at the given topic.
void ShowHelp(int topic);

// Tests see which topic was asked for instead of opening a window.
void SetHelpHook(std::function<void(int)> hook);

} // namespace cb
