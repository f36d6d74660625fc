// SPDX-License-Identifier: GPL-3.0-or-later
#include "ErrorBox.h"

#include <cstdio>

namespace cb {

namespace {
void WriteToStderr(const std::string& text) {
    std::fprintf(stderr, "Fehler: %s\n", text.c_str());
}
ErrorBoxHandler g_handler = &WriteToStderr;
} // namespace

void ShowErrorBox(const std::string& utf8Text) {
    g_handler(utf8Text);
}

ErrorBoxHandler SetErrorBoxHandler(ErrorBoxHandler handler) {
    ErrorBoxHandler previous = g_handler;
    g_handler = handler ? handler : &WriteToStderr;
    return previous;
}

} // namespace cb
