// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/CardDavXml.h"

#include <expat.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <memory>

namespace {

constexpr std::string_view kDav = "DAV:";
constexpr std::string_view kCardDav = "urn:ietf:params:xml:ns:carddav";
constexpr std::string_view kCalendarServer = "http://calendarserver.org/ns/";
// A server's answer nests a few levels deep; far deeper is an attack on the stack or memory
// of whoever walks it, not an address book.
constexpr size_t kMaxDepth = 64;

// expat hands names as "namespace local" (separator ' ').
struct Name {
    std::string_view ns, local;
};

Name Split(const XML_Char* name) {
    const std::string_view full(name);
    const size_t blank = full.rfind(' ');
    if (blank == std::string_view::npos) return {{}, full};
    return {full.substr(0, blank), full.substr(blank + 1)};
}

int StatusCode(std::string_view line) {
    // "HTTP/1.1 200 OK"
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos) return 0;
    const std::string code(line.substr(blank + 1, 3));
    return std::atoi(code.c_str());
}

struct Walker {
    XML_Parser parser = nullptr;
    tMultistatus result;
    std::vector<Name> stack;       // views into `names`
    std::deque<std::string> names; // a deque keeps its strings in place as it grows
    bool inResponse = false;
    tDavResponse response;
    tDavResponse propstat; // the properties of the current propstat, taken over on 2xx
    int propstatStatus = 0;
    std::string text;
    bool sawMultistatus = false;

    bool Under(std::string_view ns, std::string_view local) const {
        for (const Name& n : stack)
            if (n.ns == ns && n.local == local) return true;
        return false;
    }
    bool ParentIs(std::string_view ns, std::string_view local) const {
        return stack.size() >= 2 && stack[stack.size() - 2].ns == ns &&
               stack[stack.size() - 2].local == local;
    }

    void Start(const XML_Char* raw) {
        if (stack.size() >= kMaxDepth) {
            result.sError = "Die Antwort des Servers ist zu tief verschachtelt.";
            XML_StopParser(parser, XML_FALSE);
            return;
        }
        names.emplace_back(raw);
        stack.push_back(Split(names.back().c_str()));
        const Name n = stack.back();
        text.clear();
        if (n.ns == kDav && n.local == "multistatus") sawMultistatus = true;
        if (n.ns == kDav && n.local == "response") {
            inResponse = true;
            response = {};
        } else if (n.ns == kDav && n.local == "propstat") {
            propstat = {};
            propstatStatus = 0;
        } else if (inResponse && Under(kDav, "resourcetype") && n.ns == kCardDav &&
                   n.local == "addressbook") {
            propstat.bAddressBook = true;
        } else if (inResponse && Under(kDav, "supported-report-set") && n.ns == kDav &&
                   n.local == "sync-collection") {
            propstat.bSyncCollection = true;
        }
    }

    void End() {
        if (stack.empty()) return;
        const Name n = stack.back();
        const bool inPropstat = Under(kDav, "propstat");
        if (n.ns == kDav && n.local == "href") {
            if (inResponse && ParentIs(kDav, "response"))
                response.sHref = text;
            else if (Under(kDav, "current-user-principal"))
                propstat.sPrincipal = text;
            else if (Under(kCardDav, "addressbook-home-set") && propstat.sHomeSet.empty())
                propstat.sHomeSet = text;
        } else if (n.ns == kDav && n.local == "status") {
            if (ParentIs(kDav, "propstat"))
                propstatStatus = StatusCode(text);
            else if (ParentIs(kDav, "response"))
                response.iStatus = StatusCode(text);
        } else if (inPropstat && n.ns == kDav && n.local == "getetag") {
            propstat.sEtag = text;
        } else if (inPropstat && n.ns == kCalendarServer && n.local == "getctag") {
            propstat.sCtag = text;
        } else if (n.ns == kDav && n.local == "sync-token") {
            if (inPropstat)
                propstat.sSyncToken = text;
            else if (ParentIs(kDav, "multistatus"))
                result.sSyncToken = text;
        } else if (inPropstat && n.ns == kCardDav && n.local == "address-data") {
            propstat.sAddressData = text;
        } else if (n.ns == kDav && n.local == "propstat") {
            if (propstatStatus >= 200 && propstatStatus < 300) {
                auto take = [](std::string& to, std::string& from) {
                    if (!from.empty()) to = std::move(from);
                };
                take(response.sEtag, propstat.sEtag);
                take(response.sCtag, propstat.sCtag);
                take(response.sSyncToken, propstat.sSyncToken);
                take(response.sAddressData, propstat.sAddressData);
                take(response.sPrincipal, propstat.sPrincipal);
                take(response.sHomeSet, propstat.sHomeSet);
                response.bAddressBook |= propstat.bAddressBook;
                response.bSyncCollection |= propstat.bSyncCollection;
            }
        } else if (n.ns == kDav && n.local == "response") {
            inResponse = false;
            result.aResponses.push_back(std::move(response));
            response = {};
        }
        stack.pop_back();
        names.pop_back();
        text.clear();
    }
};

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char**) {
    static_cast<Walker*>(data)->Start(name);
}

void XMLCALL OnEnd(void* data, const XML_Char*) {
    static_cast<Walker*>(data)->End();
}

void XMLCALL OnText(void* data, const XML_Char* s, int len) {
    auto* walker = static_cast<Walker*>(data);
    // Only leaf texts matter; a huge text outside them is not collected without bound.
    if (walker->text.size() < (64u << 20)) walker->text.append(s, size_t(len));
}

// Entities declared in the document are how an answer blows up into gigabytes; a server has
// no reason to send any.
void XMLCALL OnEntityDecl(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                          const XML_Char*, const XML_Char*, const XML_Char*) {
    auto* walker = static_cast<Walker*>(data);
    walker->result.sError = "Die Antwort des Servers enthält eine Entity-Deklaration.";
    XML_StopParser(walker->parser, XML_FALSE);
}

} // namespace

tMultistatus ParseMultistatus(std::string_view xml) {
    Walker walker;
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(
        XML_ParserCreateNS(nullptr, ' '), &XML_ParserFree);
    if (!parser) {
        walker.result.sError = "Kein Speicher für die Antwort des Servers.";
        return walker.result;
    }
    walker.parser = parser.get();
    XML_SetUserData(parser.get(), &walker);
    XML_SetElementHandler(parser.get(), OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser.get(), OnText);
    XML_SetEntityDeclHandler(parser.get(), OnEntityDecl);
    // Parsed in slices: expat takes an int length.
    constexpr size_t kSlice = 1 << 20;
    bool ok = true;
    size_t pos = 0;
    do {
        const size_t n = std::min(kSlice, xml.size() - pos);
        const bool last = pos + n == xml.size();
        if (XML_Parse(parser.get(), xml.data() + pos, int(n), last) != XML_STATUS_OK) {
            ok = false;
            break;
        }
        pos += n;
    } while (pos < xml.size());
    tMultistatus& result = walker.result;
    if (!ok) {
        if (result.sError.empty())
            result.sError = "Die Antwort des Servers ist kein gültiges XML (Zeile " +
                            std::to_string(XML_GetCurrentLineNumber(parser.get())) + ": " +
                            XML_ErrorString(XML_GetErrorCode(parser.get())) + ").";
        result.aResponses.clear();
        return result;
    }
    if (!walker.sawMultistatus) {
        result.sError = "Die Antwort des Servers ist keine WebDAV-Multistatus-Antwort.";
        result.aResponses.clear();
        return result;
    }
    result.bOk = true;
    return result;
}
