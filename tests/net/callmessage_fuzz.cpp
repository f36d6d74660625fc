// SPDX-License-Identifier: GPL-3.0-or-later
// Whatever arrives from the network: no overrun, and what is accepted survives a round trip.
#include "net/CallMessage.h"

#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so a read past `size` hits the allocation's end.
    std::vector<char> buf(data, data + size);
    CallMessage msg;
    if (!ParseCallMessage(buf.data(), buf.size(), msg)) return 0;
    if (strnlen(msg.szCalling, sizeof msg.szCalling) >= sizeof msg.szCalling ||
        strnlen(msg.szCalled, sizeof msg.szCalled) >= sizeof msg.szCalled)
        std::abort();
    const std::string again = FormatCallMessage(msg.iSeq, 0, msg.szCalling, msg.szCalled);
    CallMessage back;
    if (!ParseCallMessage(again.c_str(), again.size() + 1, back) || back.iSeq != msg.iSeq ||
        std::strcmp(back.szCalling, msg.szCalling) != 0 ||
        std::strcmp(back.szCalled, msg.szCalled) != 0)
        std::abort();
    return 0;
}
