// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Contact.h"

#include <string>
#include <string_view>
#include <vector>

// Reads the CSV exports of Google Contacts and of Outlook, in English and German. Columns are
// found by their header names, not by position; ',', ';' or tab as separator (whichever the
// header line uses most); quoted cells with line breaks; UTF-8 with or without BOM, or
// Windows-1252; rows shorter or longer than the header; several values in one cell separated
// by " ::: ". When the header names no name column and no phone column, `error` receives a
// German message and the result is empty.
std::vector<tContact> ReadContactCsv(std::string_view bytes, std::string& error);
