// SPDX-License-Identifier: GPL-3.0-or-later
// A server's multistatus answer, and the cache file the answers end up in.
#include "db/CardDavXml.h"
#include "db/ServerContacts.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const tMultistatus answer = ParseMultistatus(bytes);
    CServerContacts contacts;
    for (const tDavResponse& r : answer.aResponses)
        contacts.Put({r.sHref, r.sEtag, {}});
    std::string error;
    if (contacts.Parse(bytes, error)) {
        tAnruf caller;
        contacts.NameCaller(caller, "0301234567");
        (void)contacts.Serialize();
    }
    return 0;
}
