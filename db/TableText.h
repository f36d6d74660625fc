// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Table texts are Windows-1252 bytes: Latin-1 except 0x80-0x9F, where Windows puts "€", "„",
// "“", "–" and their kin. The five bytes Windows leaves undefined there (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) map to the control characters of the same number, so every table byte survives
// a round trip through UTF-8.

std::string TableToUtf8(std::string_view table);

// The next code point of the UTF-8 text `s` from `pos` (advanced past it); -1 for a malformed,
// overlong or truncated sequence, which then covers one byte.
int32_t NextCodePoint(std::string_view s, size_t& pos);

// False when `utf8` is not valid UTF-8 or holds a character Windows-1252 cannot hold; `table`
// is then empty and `bad` (when given) receives the first such character as UTF-8.
bool Utf8ToTable(std::string_view utf8, std::string& table, std::string* bad = nullptr);

// As Utf8ToTable, but never fails: a character Windows-1252 cannot hold is written as its
// closest Latin form ("ł" as "l", "Ω" as "O", "я" as "ya"), and as '?' only when there is
// none; control characters become blanks. `replaced` counts the characters written otherwise
// than given.
std::string Utf8ToTableClosest(std::string_view utf8, size_t& replaced);
