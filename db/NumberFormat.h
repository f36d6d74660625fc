// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

// A number as a call delivers it ("0891234567", "0041446681800"), written for people: a blank
// after the area code ("089 1234567", "0171 1234567"), a foreign number in its international
// form ("+41 44 668 18 00"). The numbering plan decides where the area code ends; a number it
// does not know as a valid one (too short, a service range of odd length, no area code) comes
// back as it was given, so nothing is ever split in a wrong place.
std::string NumberForPeople(std::string_view number);
