// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// Bytes of files that other programs wrote, turned into UTF-8. Shared by the contact readers.

bool IsUtf8(std::string_view bytes);

// A file's bytes as UTF-8: a UTF-8 BOM is dropped, UTF-16 with a BOM converted, bytes that are
// valid UTF-8 kept, anything else read as Windows-1252 (which every byte is). `wasUnicode`
// (when given) tells whether the file declared itself Unicode by a BOM.
std::string FileTextToUtf8(std::string_view bytes, bool* wasUnicode = nullptr);

// `bytes` in the character set named `charset` (any name ICU knows: "ISO-8859-1", "UTF-8",
// "windows-1250", "cp850" ...), as UTF-8. An empty or unknown name falls back to UTF-8 when
// the bytes are valid UTF-8 and to Windows-1252 when not, so the result is always text.
std::string CharsetToUtf8(std::string_view bytes, std::string_view charset);

// ASCII-only case-insensitive comparison, for names in files (property names, headers).
bool EqualsNoCase(std::string_view a, std::string_view b);
std::string AsciiLower(std::string_view text);
std::string_view TrimBlanks(std::string_view text);
