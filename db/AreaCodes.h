// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

// The area-code directory, delivered with the program and only read.
inline constexpr const char* kAreaCodeFile = "Avon.dbf";
inline constexpr const char* kAreaCodeKey = "qorvex";

// LookupAreaCode reads kAreaCodeFile in the working folder; when there is no such file, it
// reads this one instead (the installed, write-protected copy). Empty: no such fallback.
void SetInstalledAreaCodeFile(const std::string& path);

// First record, in file order, whose VORWAHL begins `number` gives the place, its postcode and
// position (texts cut to 299, 15, 11 and 11 bytes). False, texts untouched, when nothing fits
// or the directory cannot be opened or has no VORWAHL column; never a message.
bool LookupAreaCode(const std::string& number, std::string& place, std::string& plz,
                    std::string& breite, std::string& laenge);
