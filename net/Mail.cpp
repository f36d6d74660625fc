// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/Mail.h"

#include <cstring>

void TMailServer::SendText(const char* text) {
    if (!text) text = "";
    WriteBlock(text, static_cast<uint32_t>(std::strlen(text) + 1));
}
