// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/VCardReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto cards = ReadVCards({reinterpret_cast<const char*>(data), size});
    for (const auto& c : cards)
        for (const auto& n : c.aNumbers)
            (void)NumberLabel(n);
    return 0;
}
