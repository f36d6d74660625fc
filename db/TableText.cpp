// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/TableText.h"

#include <unicode/translit.h>
#include <unicode/unistr.h>

#include <cstdint>
#include <memory>

namespace {

// Code points of the bytes 0x80-0x9F.
constexpr char32_t kHighControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(char(c));
    } else if (c < 0x800) {
        out.push_back(char(0xC0 | (c >> 6)));
        out.push_back(char(0x80 | (c & 0x3F)));
    } else {
        out.push_back(char(0xE0 | (c >> 12)));
        out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(char(0x80 | (c & 0x3F)));
    }
}

int TableByte(int32_t c) {
    if (c < 0) return -1;
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return c;
    for (int i = 0; i < 32; ++i)
        if (int32_t(kHighControls[i]) == c) return 0x80 + i;
    return -1;
}

} // namespace

// Next code point of `s` from `pos` (advanced past it); -1 for a malformed sequence, which
// then covers one byte.
int32_t NextCodePoint(std::string_view s, size_t& pos) {
    const uint8_t b = uint8_t(s[pos++]);
    if (b < 0x80) return b;
    int more;
    int32_t c;
    if ((b & 0xE0) == 0xC0) {
        more = 1;
        c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        more = 2;
        c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        more = 3;
        c = b & 0x07;
    } else {
        return -1;
    }
    const size_t start = pos;
    for (int i = 0; i < more; ++i) {
        if (pos >= s.size() || (uint8_t(s[pos]) & 0xC0) != 0x80) {
            pos = start;
            return -1;
        }
        c = (c << 6) | (uint8_t(s[pos++]) & 0x3F);
    }
    static constexpr int32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[more] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return -1;
    return c;
}

std::string TableToUtf8(std::string_view table) {
    std::string out;
    out.reserve(table.size() + table.size() / 8);
    for (char ch : table) {
        const uint8_t b = uint8_t(ch);
        AppendUtf8(out, b >= 0x80 && b < 0xA0 ? kHighControls[b - 0x80] : char32_t(b));
    }
    return out;
}

bool Utf8ToTable(std::string_view utf8, std::string& table, std::string* bad) {
    table.clear();
    table.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) {
        const size_t start = pos;
        const int b = TableByte(NextCodePoint(utf8, pos));
        if (b < 0) {
            if (bad) *bad = std::string(utf8.substr(start, pos - start));
            table.clear();
            return false;
        }
        table.push_back(char(b));
    }
    return true;
}

namespace {

// Built once: creating a transliterator parses its rules, which takes milliseconds.
const icu::Transliterator* ClosestLatin() {
    static const std::unique_ptr<icu::Transliterator> t = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::Transliterator> made(
            icu::Transliterator::createInstance("Any-Latin; Latin-ASCII", UTRANS_FORWARD, status));
        if (U_FAILURE(status)) made.reset();
        return made;
    }();
    return t.get();
}

} // namespace

std::string Utf8ToTableClosest(std::string_view utf8, size_t& replaced) {
    std::string table;
    table.reserve(utf8.size());
    for (size_t pos = 0; pos < utf8.size();) {
        const int32_t c = NextCodePoint(utf8, pos);
        if (c >= 0 && c < 0x20) {
            table.push_back(' '); // tables hold one line per field
            continue;
        }
        const int b = TableByte(c);
        if (b >= 0) {
            table.push_back(char(b));
            continue;
        }
        ++replaced;
        std::string closest;
        if (c >= 0 && ClosestLatin()) {
            icu::UnicodeString one{UChar32(c)};
            ClosestLatin()->transliterate(one);
            for (int32_t i = 0; i < one.length(); ++i) {
                const int tb = TableByte(one.char32At(i));
                if (tb >= 0x20) closest.push_back(char(tb));
                if (one.char32At(i) > 0xFFFF) ++i;
            }
        }
        table += closest.empty() ? std::string("?") : closest;
    }
    return table;
}
