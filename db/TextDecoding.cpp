// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/TextDecoding.h"

#include "db/TableText.h"

#include <unicode/ucnv.h>

#include <cstdint>
#include <vector>

bool IsUtf8(std::string_view s) {
    for (size_t pos = 0; pos < s.size();)
        if (NextCodePoint(s, pos) < 0) return false;
    return true;
}

namespace {

std::string IcuToUtf8(std::string_view bytes, const char* charset, bool& ok) {
    ok = false;
    std::string out;
    if (bytes.empty()) {
        ok = true;
        return out;
    }
    UErrorCode status = U_ZERO_ERROR;
    out.resize(bytes.size() * 3 + 16);
    const int32_t length = ucnv_convert("UTF-8", charset, out.data(), int32_t(out.size()),
                                        bytes.data(), int32_t(bytes.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
        status = U_ZERO_ERROR;
        out.resize(size_t(length) + 1);
        ucnv_convert("UTF-8", charset, out.data(), int32_t(out.size()), bytes.data(),
                     int32_t(bytes.size()), &status);
    }
    if (U_FAILURE(status)) return {};
    out.resize(size_t(length));
    ok = true;
    return out;
}

std::string Utf8OrWindows(std::string_view bytes) {
    return IsUtf8(bytes) ? std::string(bytes) : TableToUtf8(bytes);
}

} // namespace

std::string FileTextToUtf8(std::string_view bytes, bool* wasUnicode) {
    if (wasUnicode) *wasUnicode = false;
    const auto starts = [&](std::string_view bom) { return bytes.starts_with(bom); };
    if (starts("\xEF\xBB\xBF")) {
        if (wasUnicode) *wasUnicode = true;
        return Utf8OrWindows(bytes.substr(3));
    }
    const bool le = starts("\xFF\xFE"), be = starts("\xFE\xFF");
    if (le || be) {
        if (wasUnicode) *wasUnicode = true;
        bool ok;
        // An odd last byte cannot be a character; ICU would report it as an error.
        std::string_view body = bytes.substr(2);
        if (body.size() % 2) body.remove_suffix(1);
        std::string text = IcuToUtf8(body, le ? "UTF-16LE" : "UTF-16BE", ok);
        if (ok) return text;
    }
    return Utf8OrWindows(bytes);
}

std::string CharsetToUtf8(std::string_view bytes, std::string_view charset) {
    if (charset.empty() || EqualsNoCase(charset, "UTF-8") || EqualsNoCase(charset, "UTF8"))
        return Utf8OrWindows(bytes);
    // Exporters that name Latin-1 nearly always mean Windows' superset of it.
    if (EqualsNoCase(charset, "ISO-8859-1") || EqualsNoCase(charset, "ISO8859-1") ||
        EqualsNoCase(charset, "LATIN1") || EqualsNoCase(charset, "windows-1252") ||
        EqualsNoCase(charset, "cp1252") || EqualsNoCase(charset, "us-ascii"))
        return TableToUtf8(bytes);
    const std::string name(charset.substr(0, 60));
    bool ok;
    std::string text = IcuToUtf8(bytes, name.c_str(), ok);
    if (ok && IsUtf8(text)) return text;
    return Utf8OrWindows(bytes);
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = char(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = char(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return out;
}

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}
