// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/RouterPhoneBookReader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string error;
    ReadRouterPhoneBook({reinterpret_cast<const char*>(data), size}, error);
    return 0;
}
