// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// What kind of number `number` (as a call delivers it, or as a person writes it) is, for
// numbers the area-code directory cannot place: "Mobilfunk", the kind of a German service
// number, or the country of a foreign number in German ("Schweiz"). A table text
// (Windows-1252). Empty for German landline numbers, whose place comes from the directory,
// and for numbers nothing can be told about.
std::string DescribeNumber(std::string_view number);
