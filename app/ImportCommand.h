// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/PhoneBookImport.h"

#include <cstdio>
#include <string>

// `callbeacon --importieren DATEI [--daten ORDNER]`: reads the contacts file, adds its
// contacts to the phone book of the data folder and prints a German summary, a line per
// 1,000 contacts while writing. Exit code 0, or 1 with the reason on `err`. Texts UTF-8.
int RunImportCommand(const std::string& file, const std::string& namedDataFolder,
                     const std::string& exePath, std::FILE* out, std::FILE* err);
