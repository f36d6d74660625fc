// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

class CBase;

// No phone-book entry: SaveEntry appends.
constexpr int32_t kNoRecord = 2147483647;

// The phone book, in the current directory.
inline constexpr const char* kPhoneBookFile = "Adressen.dbf";

// One caller/call record. Texts hold the table's bytes (Windows-1252); the dialogs convert.
struct tAnruf {
    bool bOk = false;           // entry editor: confirmed with OK
    int32_t iRecNo = kNoRecord; // record number in Adressen.dbf
    std::string sTelefon;
    std::string sInfo;
    std::string sName; // calling number for unknown callers
    std::string sVorname;
    std::string sStrasse;
    std::string sPlz;
    std::string sOrt;
    std::string sGerufener; // called number or the phone-book name of it
    std::string sEmail;
    std::string sFax;
    std::string sAPartner;
    std::string sAvonOrt; // place of the caller's area code
    std::string sBreite;  // its latitude as text
    std::string sLaenge;  // its longitude as text
};

// Empties the record for a new lookup or entry; the three area-code members stay.
void ClearEntry(tAnruf& anruf);
// Fills the record for a call; true only when the caller is in the phone book. An entry
// fits when its TELEFON is the number (NumberFits: separators ignored, a note may follow).
// With `withArea` the place comes from the area-code directory, or for numbers it cannot
// place from DescribeNumber: then only sAvonOrt holds it, without a position.
bool LookupCaller(tAnruf& anruf, const std::string& calling, const std::string& called,
                  bool withArea);
// Fills the record from phone-book entry recNo (deleted or not).
bool LoadEntry(tAnruf& anruf, int32_t recNo);
// Writes the record into the phone book, appending when it has no entry yet. False when the
// table cannot be opened or the record cannot be written.
bool SaveEntry(tAnruf& anruf);

// Sets descriptors 0 to 9 of `table` to the phone-book layout (NAME, TELEFON, INFO, VORNAME,
// STRASSE, PLZORT, ORT, EMAIL, FAX, APARTNER; header 353, record 458 bytes).
void AddPhoneBookFields(CBase& table);
