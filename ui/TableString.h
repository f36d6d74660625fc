// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <string>
#include <string_view>

// Table texts (Windows-1252 bytes) to and from the widgets' strings.
QString FromTable(std::string_view table);
// Lossless for every string FromTable gives. A character Windows-1252 cannot hold becomes '?';
// the editor refuses such characters before anything is saved (TableCharacterProblem).
std::string ToTable(const QString& text);
// The first character of `text` a table cannot hold, or an empty string when there is none.
QString UnstorableCharacter(const QString& text);
