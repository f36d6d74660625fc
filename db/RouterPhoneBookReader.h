// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Contact.h"

#include <string>
#include <string_view>
#include <vector>

// Reads a router's phone-book export: XML phonebooks/phonebook/contact, each with
// person/realName and telephony/number elements (type home, mobile, work, fax_work, ...;
// prio, quickdial and vanity attributes are not needed). The encoding the XML declaration
// names is honoured, single-byte ones such as ISO-8859-1 or windows-1252 included. Empty
// numbers are left out. On malformed XML `error` receives a German message with the line and
// the result is empty.
std::vector<tContact> ReadRouterPhoneBook(std::string_view bytes, std::string& error);

// True when the bytes look like XML (a '<' first, after a BOM and blanks).
bool LooksLikeXml(std::string_view bytes);
