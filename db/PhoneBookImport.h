// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Anruf.h"
#include "db/Contact.h"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// Turns contacts into phone-book rows and adds them to Adressen.dbf in one step. Each number
// of a contact becomes one row with the contact's name, address and e-mail, and the number's
// kind at the start of INFO ("Mobil: note"); fax numbers also go into FAX. Texts are written
// in the table's code page, a character it cannot hold as its closest Latin form. A row whose
// name, first name and number digits are already in the phone book (or earlier in the file)
// is not added again, so importing the same file twice adds nothing the second time.
struct tImportSummary {
    size_t iContacts = 0;             // in the file
    size_t iContactsWithoutName = 0;  // no name, organisation or e-mail: left out
    size_t iNumbers = 0;              // numbers with digits
    size_t iNumbersWithoutDigits = 0; // left out
    size_t iRowsToAdd = 0;
    size_t iRowsPresent = 0;  // already in the phone book or twice in the file
    size_t iRowsReplaced = 0; // rows with a character written as its closest form
    size_t iCharactersReplaced = 0;
};

class CPhoneBookImport {
public:
    // Builds the rows and counts those already in `phoneBook` (a missing table has none).
    void Prepare(const std::vector<tContact>& contacts, const std::string& phoneBook);

    const tImportSummary& Summary() const { return summary; }
    // The rows to add, texts in table bytes (Windows-1252).
    const std::vector<tAnruf>& Rows() const { return aRows; }

    enum class Outcome { Done, Cancelled, Failed };
    // Adds the rows, checking again under the table's lock for rows another program added
    // since Prepare; a missing phone book is created. `progress(contactsDone, contacts)` is
    // called as the rows are written and returns false to cancel. On cancel or failure the
    // table stays as it was and `error` (failure only) says why, in German (UTF-8).
    Outcome Apply(const std::string& phoneBook, const std::function<bool(size_t, size_t)>& progress,
                  std::string& error);
    // Rows Apply added (fewer than Rows() when another program added some meanwhile).
    size_t RowsAdded() const { return iRowsAdded; }

private:
    tImportSummary summary;
    std::vector<tAnruf> aRows;
    std::vector<size_t> aRowContact; // contact index of each row, for the progress
    std::vector<std::string> aRowKeys;
    size_t iRowsAdded = 0;
};

// The duplicate key of a phone-book row: name, first name and the number's digits.
std::string PhoneBookRowKey(const std::string& name, const std::string& vorname,
                            const std::string& telefon);

// The kind word at the start of INFO ("Mobil", "Privat", ...; table bytes) and the rest
// after ": "; kind empty when INFO does not start with one of the kind words.
void SplitInfo(const std::string& info, std::string& kind, std::string& rest);

// The summary of an import (`done`, with the rows Apply added) or of its preview: German,
// UTF-8, one indented line per count.
std::string ImportSummaryText(const tImportSummary& summary, size_t rowsAdded, bool done);

// 12345 as "12.345".
std::string GermanCount(size_t n);
