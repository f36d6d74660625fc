// SPDX-License-Identifier: GPL-3.0-or-later
// Whatever a router (or anyone on port 1012) sends: no overrun, no hang, and every event
// handed out carries numbers the call log can hold.
#include "net/CallMonitorParser.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CCallMonitorReader reader;
    std::vector<CCallMonitorReader::Call> calls;
    // The first byte picks how the stream is cut, as TCP may cut it anywhere.
    const size_t step = size ? (data[0] % 64) + 1 : 1;
    for (size_t at = 1; at < size; at += step)
        reader.Feed(reinterpret_cast<const char*>(data) + at, std::min(step, size - at), calls);
    for (const auto& call : calls) {
        if (call.dwCallId == 0) std::abort();
        if (call.event.kind == CallMonitorEvent::Kind::Ring &&
            (call.event.sCalling.empty() || call.event.sCalling.size() > kMaxCallMonitorNumber ||
             call.event.sCalled.size() > kMaxCallMonitorNumber))
            std::abort();
        for (char c : call.event.sCalling + call.event.sCalled)
            if (!((c >= '0' && c <= '9') || c == '*' || c == '#')) std::abort();
    }
    return 0;
}
