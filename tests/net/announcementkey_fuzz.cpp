// SPDX-License-Identifier: GPL-3.0-or-later
// A keyed client reading whatever arrives: no overrun, and nothing unsigned is ever taken.
#include "net/AnnouncementKey.h"

#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An exact-size copy, so a read past `size` hits the allocation's end.
    std::vector<char> buf(data, data + size);
    TAnnouncementVerifier client("geheim", "DEDOV");
    if (client.Accept(buf.data(), buf.size(), 1'800'000'000)) std::abort(); // forged code taken
    // A genuine block with the fuzzer's text, cut or not, must not confuse the reader either.
    TAnnouncementSigner server("geheim", "DEDOV");
    const std::string block = server.Sign(std::string(buf.begin(), buf.end()), 1'800'000'000);
    client.Accept(block.data(), size % (block.size() + 1), 1'800'000'000);
    // The same bytes as a state file left by an earlier run.
    const auto seen = TAnnouncementVerifier::ParseState(std::string(buf.begin(), buf.end()));
    if (seen.size() > TAnnouncementVerifier::kMaxSenders) std::abort();
    return 0;
}
