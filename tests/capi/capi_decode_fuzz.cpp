// SPDX-License-Identifier: GPL-3.0-or-later
// Received CAPI messages of any content and length through the decoders.
#include "capi/CapiMessages.h"
#include "core/PhoneNumber.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ConnectInd ind;
    std::memset(&ind, 0x55, sizeof ind); // no help from a zeroed struct
    const bool taken = DecodeConnectInd(data, size, ind);
    if (std::strlen(ind.szCalled) > 39 || std::strlen(ind.szCalling) > 39 ||
        ind.szCalling[0] != '0')
        std::abort();
    // A call taken carries numbers the call log holds whole.
    if (taken &&
        (!IsPlausibleNumberLength(ind.szCalled) || !IsPlausibleNumberLength(ind.szCalling)))
        std::abort();
    uint32_t plci;
    uint16_t reason;
    DecodeDisconnectInd(data, size, plci, reason);
    if (size >= 6) (void)CommandWord(data);
    return 0;
}
