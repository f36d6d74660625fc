// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Contact.h"

#include <string>
#include <string_view>
#include <vector>

// A contacts file of any kind the program imports, told apart by its content (vCard, the
// router's XML phone book, a CSV export), not by its name.
struct tContactFile {
    std::vector<tContact> aContacts;
    std::string sFormat; // "vCard", "Router-Telefonbuch (XML)", "CSV"; UTF-8
    std::string sError;  // German, UTF-8; empty when the file was read
};

tContactFile ReadContactFile(std::string_view bytes);
