// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Anruf.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// List lines of the history and phone-book dialogs: tab-separated fields whose last field is
// the table record number. Actions take their numbers back out of the line text. No widgets.

// Field n of a list line: skips n tabs and copies up to the next tab or the end. A line with
// fewer than n tabs gives an empty text. n <= 0 gives the text before the first tab.
std::string GetTabField(std::string_view line, int n);

// The text after the last tab as a record number; -1 when it is not a number.
int64_t LastTabNumber(std::string_view line);

// History line: date, time (+ deleted marker), caller as shown, called party as shown, ANG,
// caller number, called number, record number. `names` is the LookupCaller result.
std::string AnruferLine(int64_t zeit, bool deleted, const tAnruf& names, std::string_view ang,
                        std::string_view anrufer, std::string_view gerufener, int64_t recNo);

// Phone-book line: NAME (+ deleted marker), VORNAME, STRASSE, PLZORT, ORT, TELEFON, record
// number.
std::string TeilnehmerLine(std::string_view name, std::string_view vorname,
                           std::string_view strasse, std::string_view plz, std::string_view ort,
                           std::string_view telefon, int64_t recNo, bool deleted = false);

// Ends the time of a deleted call and the name of a deleted entry.
inline constexpr const char* kDeletedMarker = "   *";

// ZEIT column text as seconds since 1970 (leading blanks, sign, digits; anything else 0).
int64_t ParseZeit(std::string_view text);

// The history list, newest record first: every active log record, and the deleted ones too
// when `showDeleted`. Callers and called parties are named from one snapshot of the phone
// book, so a missing phone book is reported once per list, not once per call. A missing call
// log is reported and gives an empty list. With `onlyUnanswered` the calls with the answered
// mark (ANG "J") are left out. A called own number the phone book does not name gets the MSN
// page's name for it.
std::vector<std::string> BuildAnruferLines(bool showDeleted, bool onlyUnanswered = false);

// The phone-book list in record order (the dialog sorts it): every active entry, and the
// deleted ones too when `showDeleted`. A missing phone book is reported and gives an empty list.
std::vector<std::string> BuildTeilnehmerLines(bool showDeleted);

inline constexpr const char* kAnruferFehlt = "Anrufer Datenbank nicht gefunden/geöffnet";
inline constexpr const char* kTeilnehmerFehlt = "Teilnehmer Datenbank nicht gefunden/geöffnet";
inline constexpr const char* kAdressenFehlt = "Adressdatenbank konnte nicht gefunden werden";
