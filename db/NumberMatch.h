// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// How a number written by a person compares with a number as a call delivers it. The phone
// book lookup and the history list's snapshot both decide through these, so they always name
// the same caller.

// The own area code, e.g. "089" (written as people do: "089", "89", "+49 89"). Once set, a
// number whose digits do not begin with 0 (and that has no '+') is a local number: its
// digits get the area code in front, for phone-book numbers and calling numbers alike, so
// "555 1234" in the phone book names the caller 0895551234. Empty, the default: numbers are
// taken as written.
void SetOwnAreaCode(std::string_view areaCode);
const std::string& OwnAreaCode();

// The digits `text` stands for: blanks, '/', '-', '(', ')' and '.' between digits are passed
// over, a leading '+' reads as "00", and a leading "0049" (so also "+49") as the trunk prefix
// "0". The number ends at the first other character; what follows is a note.
// "0049 (30) 234 56-78 Büro" gives "0302345678". With an own area code, local numbers get it
// in front (see SetOwnAreaCode).
std::string NumberDigits(std::string_view text);
// The same into `digits`, reusing its storage.
void NumberDigits(std::string_view text, std::string& digits);

// True when the phone-book number `stored` is the number `number`: the same digits, not merely
// the same beginning. A text without digits fits nothing.
bool NumberFits(std::string_view stored, std::string_view number);
