// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CBase.h"

#include <string>

// German words for why a table file cannot be used, for the boxes the user sees.

// The file as the user finds it: its full path.
std::string TableDisplayPath(const std::string& file);

// E.g. "/home/anna/isdn/Anrufe.dbf ist beschädigt (ungültige Kopflänge)".
std::string DescribeTableError(const std::string& file, CBase::Error error);

// Checked at start-up, before anything touches the tables: each of the phone book and the
// call log that exists (in any spelling) must open as a writable table, and the data folder
// (the current one) must be writable, since packing and converting replace table files.
// Shows the box naming the file and the reason and returns false otherwise; the files are
// left untouched. Missing tables are no problem here: the conversion creates them.
bool CheckTablesAtStartUp();
