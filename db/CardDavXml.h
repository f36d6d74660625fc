// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>
#include <vector>

// What an address-book server answers to PROPFIND and REPORT: a WebDAV multistatus (RFC 4918)
// with CardDAV (RFC 6352), ctag and sync-collection (RFC 6578) properties. Only properties
// under a propstat of status 2xx count; a response that carries its own status (a card
// removed since the last sync-token) has it in iStatus. Pure: bytes in, values out, so a
// fuzzer can drive it.
struct tDavResponse {
    std::string sHref;            // as sent (percent-encoded path or absolute URL)
    int iStatus = 0;              // the response's own status line, 0 when it has none
    std::string sEtag;            // getetag
    std::string sCtag;            // getctag (calendarserver.org)
    std::string sSyncToken;       // the sync-token property
    std::string sAddressData;     // address-data: the card itself
    std::string sPrincipal;       // current-user-principal's href
    std::string sHomeSet;         // addressbook-home-set's href
    bool bAddressBook = false;    // resourcetype holds addressbook
    bool bSyncCollection = false; // supported-report-set names sync-collection
};

struct tMultistatus {
    bool bOk = false;
    std::string sError; // why not, in German (UTF-8)
    std::vector<tDavResponse> aResponses;
    std::string sSyncToken; // the sync-token of a sync-collection answer
};

tMultistatus ParseMultistatus(std::string_view xml);
