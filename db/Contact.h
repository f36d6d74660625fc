// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

// A contact as address books keep it, before it becomes phone-book rows. Every text is UTF-8,
// whatever encoding the file had; the phone book's code page is applied only when rows are
// written. The readers (vCard, router phone book, CSV) all fill this one shape.

enum class NumberKind { Other, Mobile, Home, Work, Fax, Pager };

struct tContactNumber {
    std::string sNumber; // as the file wrote it ("+49 89 123-45"), a "tel:" URI already taken off
    NumberKind kind = NumberKind::Other;
    std::string sLabel; // the file's own name for the number when it gives one ("Oma", "Boot")
};

struct tContact {
    std::string sFormattedName; // FN, the router's realName, Google's "Name"
    std::string sFamilyName;
    std::string sGivenName;
    std::string sOrganization;
    std::string sStreet;
    std::string sPostcode;
    std::string sTown;
    std::string sEmail; // the first one
    std::string sNote;
    std::string sContactPerson; // the phone book's "Ansprechpartner" (vCard 4 RELATED text)
    std::vector<tContactNumber> aNumbers;
};

// The German word a number's kind is shown as ("Mobil", "Privat", "Geschäftlich", "Fax",
// "Pager"); empty for Other. UTF-8.
const char* NumberKindText(NumberKind kind);
// The label a number is shown with: its own label when the file gave one, else the kind's word.
std::string NumberLabel(const tContactNumber& number);
