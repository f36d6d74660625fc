// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/RouterPhoneBookReader.h"

#include "db/TextDecoding.h"

#include <expat.h>
#include <unicode/ucnv.h>

#include <algorithm>
#include <cstring>

namespace {

struct ParseState {
    std::vector<tContact> contacts;
    std::vector<std::string> path; // element names from the root
    bool inContact = false;
    tContact contact;
    std::string text;       // character data of the element being read
    std::string numberType; // type attribute of the number being read
};

bool PathEndsWith(const std::vector<std::string>& path, const char* a, const char* b) {
    return path.size() >= 2 && path[path.size() - 2] == a && path.back() == b;
}

NumberKind KindOfType(const std::string& type, std::string& label) {
    const std::string t = AsciiLower(type);
    if (t == "mobile") return NumberKind::Mobile;
    if (t == "home") return NumberKind::Home;
    if (t == "work") return NumberKind::Work;
    if (t.starts_with("fax")) return NumberKind::Fax;
    if (t == "pager") return NumberKind::Pager;
    if (t == "intern")
        label = "Intern";
    else if (t == "memo")
        label = "Memo";
    else if (t != "other" && !t.empty())
        label = type;
    return NumberKind::Other;
}

void XMLCALL OnStart(void* data, const XML_Char* name, const XML_Char** attributes) {
    auto& s = *static_cast<ParseState*>(data);
    s.path.emplace_back(name);
    s.text.clear();
    if (s.path.back() == "contact") {
        s.inContact = true;
        s.contact = tContact();
    } else if (s.inContact && s.path.back() == "number") {
        s.numberType.clear();
        for (int i = 0; attributes[i]; i += 2)
            if (std::strcmp(attributes[i], "type") == 0) s.numberType = attributes[i + 1];
    }
}

void XMLCALL OnEnd(void* data, const XML_Char*) {
    auto& s = *static_cast<ParseState*>(data);
    if (s.path.empty()) return;
    const std::string& name = s.path.back();
    if (s.inContact) {
        const std::string value(TrimBlanks(s.text));
        if (name == "realName" && PathEndsWith(s.path, "person", "realName")) {
            s.contact.sFormattedName = value;
        } else if (name == "number" && PathEndsWith(s.path, "telephony", "number")) {
            if (!value.empty()) {
                tContactNumber number;
                number.sNumber = value;
                number.kind = KindOfType(s.numberType, number.sLabel);
                s.contact.aNumbers.push_back(std::move(number));
            }
        } else if (name == "email" && s.contact.sEmail.empty()) {
            s.contact.sEmail = value;
        } else if (name == "contact") {
            s.contacts.push_back(std::move(s.contact));
            s.contact = tContact();
            s.inContact = false;
        }
    }
    s.text.clear();
    s.path.pop_back();
}

void XMLCALL OnText(void* data, const XML_Char* text, int length) {
    auto& s = *static_cast<ParseState*>(data);
    if (s.inContact && s.text.size() < 64 * 1024) s.text.append(text, size_t(length));
}

// Single-byte encodings expat does not know itself (windows-1252, ISO-8859-15 ...), mapped
// byte by byte through ICU.
int XMLCALL OnUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
    UErrorCode status = U_ZERO_ERROR;
    UConverter* converter = ucnv_open(name, &status);
    if (U_FAILURE(status)) return XML_STATUS_ERROR;
    const bool singleByte = ucnv_getMaxCharSize(converter) == 1;
    if (singleByte) {
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            UChar unit[2];
            status = U_ZERO_ERROR;
            const int32_t n = ucnv_toUChars(converter, unit, 2, &byte, 1, &status);
            info->map[b] = (U_SUCCESS(status) && n == 1) ? int(unit[0]) : -1;
        }
        // Markup bytes must stay ASCII for the parser.
        for (int b = 0; b < 0x80; ++b)
            if (info->map[b] != b) info->map[b] = b;
    }
    ucnv_close(converter);
    if (!singleByte) return XML_STATUS_ERROR;
    info->data = nullptr;
    info->convert = nullptr;
    info->release = nullptr;
    return XML_STATUS_OK;
}

// Routers that declare ISO-8859-1 write "€" and "„" the Windows way, bytes 0x80-0x9F that
// Latin-1 leaves to control characters; the Windows superset reads those files as meant.
bool DeclaresLatin1(std::string_view bytes) {
    const std::string head = AsciiLower(bytes.substr(
        0,
        bytes.find("?>") == std::string_view::npos ? 0 : std::min<size_t>(bytes.find("?>"), 200)));
    if (!head.starts_with("<?xml") && !head.starts_with("\xef\xbb\xbf<?xml")) return false;
    for (const char* name : {"\"iso-8859-1\"", "'iso-8859-1'", "\"latin1\"", "'latin1'"})
        if (head.find(std::string("encoding=") + name) != std::string::npos) return true;
    return false;
}

} // namespace

std::vector<tContact> ReadRouterPhoneBook(std::string_view bytes, std::string& error) {
    error.clear();
    ParseState state;
    XML_Parser parser = XML_ParserCreate(DeclaresLatin1(bytes) ? "windows-1252" : nullptr);
    if (!parser) {
        error = "Kein Speicher f\u00fcr das Lesen der XML-Datei.";
        return {};
    }
    XML_SetUserData(parser, &state);
    XML_SetElementHandler(parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(parser, OnText);
    XML_SetUnknownEncodingHandler(parser, OnUnknownEncoding, nullptr);
    // Pieces below INT_MAX, the length expat takes.
    bool ok = true;
    size_t pos = 0;
    do {
        const size_t piece = std::min<size_t>(bytes.size() - pos, 1 << 24);
        const bool last = pos + piece >= bytes.size();
        if (XML_Parse(parser, bytes.data() + pos, int(piece), last) == XML_STATUS_ERROR) {
            ok = false;
            break;
        }
        pos += piece;
    } while (pos < bytes.size());
    if (!ok) {
        error = "Die XML-Datei ist fehlerhaft (Zeile " +
                std::to_string(XML_GetCurrentLineNumber(parser)) + ": " +
                XML_ErrorString(XML_GetErrorCode(parser)) + ").";
        XML_ParserFree(parser);
        return {};
    }
    XML_ParserFree(parser);
    return std::move(state.contacts);
}

bool LooksLikeXml(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    if (bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF"))
        return bytes.size() >= 4 && (bytes[2] == '<' || bytes[3] == '<');
    const std::string_view t = TrimBlanks(bytes.substr(0, 256));
    return t.starts_with('<');
}
