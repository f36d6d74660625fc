// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/PhoneBookImport.h"

#include "db/CBase.h"
#include "db/NumberMatch.h"
#include "db/TableErrors.h"
#include "db/TableText.h"
#include "db/TextDecoding.h"

#include <unordered_set>

namespace {

constexpr size_t kNameWidth = 20, kNumberWidth = 20;
constexpr const char* kInfoSeparator = ": ";

// A number that does not fit TELEFON as written keeps its digits (and a leading '+') so the
// lookup still finds it; "+49 (0)89" and "0049 (0)89" lose the "(0)", which would otherwise
// count as a digit.
std::string StoredNumber(std::string number) {
    const std::string_view trimmed = TrimBlanks(number);
    if (trimmed.starts_with('+') || trimmed.starts_with("00")) {
        for (size_t at; (at = number.find("(0)")) != std::string::npos;)
            number.erase(at, 3);
    }
    std::string stored(TrimBlanks(number));
    if (stored.size() <= kNumberWidth) return stored;
    std::string compact = stored.starts_with('+') ? "+" : "";
    for (char c : stored)
        if (c >= '0' && c <= '9') compact.push_back(c);
    return compact;
}

std::string Join(const std::string& a, const std::string& b, const char* separator) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + separator + b;
}

// Table text cut to the column's width as PutField would, so duplicate keys compare with what
// the table will hold.
std::string Column(const std::string& utf8, size_t width, size_t& replaced) {
    std::string text = Utf8ToTableClosest(utf8, replaced);
    if (text.size() > width) text.resize(width);
    const size_t end = text.find_last_not_of(' ');
    text.resize(end == std::string::npos ? 0 : end + 1);
    return text;
}

std::string KindWord(NumberKind kind) {
    std::string table;
    Utf8ToTable(NumberKindText(kind), table);
    return table;
}

// Keys of the active rows of the table, read under whatever lock the caller holds.
std::unordered_set<std::string> KeysOf(CBase& table) {
    std::unordered_set<std::string> keys;
    const uint32_t count = table.RecCount();
    keys.reserve(count);
    for (uint32_t n = 0; n < count; ++n) {
        if (table.GoTo(n) != 1) continue;
        keys.insert(PhoneBookRowKey(table.GetField("NAME"), table.GetField("VORNAME"),
                                    table.GetField("TELEFON")));
    }
    return keys;
}

} // namespace

std::string PhoneBookRowKey(const std::string& name, const std::string& vorname,
                            const std::string& telefon) {
    std::string key = name;
    key += '\x1f';
    key += vorname;
    key += '\x1f';
    key += NumberDigits(telefon);
    return key;
}

void SplitInfo(const std::string& info, std::string& kind, std::string& rest) {
    kind.clear();
    rest = info;
    for (NumberKind k : {NumberKind::Mobile, NumberKind::Home, NumberKind::Work, NumberKind::Fax,
                         NumberKind::Pager}) {
        const std::string word = KindWord(k);
        if (info == word) {
            kind = word;
            rest.clear();
            return;
        }
        if (info.starts_with(word + kInfoSeparator)) {
            kind = word;
            rest = info.substr(word.size() + 2);
            return;
        }
    }
}

void CPhoneBookImport::Prepare(const std::vector<tContact>& contacts,
                               const std::string& phoneBook) {
    summary = {};
    aRows.clear();
    aRowContact.clear();
    aRowKeys.clear();
    iRowsAdded = 0;
    summary.iContacts = contacts.size();

    std::unordered_set<std::string> keys;
    {
        CBase table; // a missing phone book holds nothing yet
        if (table.OpenForReading(phoneBook)) keys = KeysOf(table);
    }
    for (size_t ci = 0; ci < contacts.size(); ++ci) {
        const tContact& c = contacts[ci];
        size_t replaced = 0;
        tAnruf base;
        // The person's name; a company's name or the e-mail address when there is none.
        std::string name = c.sFamilyName, vorname = c.sGivenName, org = c.sOrganization;
        if (name.empty() && vorname.empty()) name = c.sFormattedName;
        if (name.empty() && vorname.empty()) std::swap(name, org);
        if (name.empty() && vorname.empty()) name = c.sEmail;
        if (name.empty() && vorname.empty()) {
            ++summary.iContactsWithoutName;
            continue;
        }
        base.sName = Column(name, kNameWidth, replaced);
        base.sVorname = Column(vorname, kNameWidth, replaced);
        base.sStrasse = Column(c.sStreet, 30, replaced);
        base.sPlz = Column(c.sPostcode, 7, replaced);
        base.sOrt = Column(c.sTown, 20, replaced);
        base.sEmail = Column(c.sEmail, 50, replaced);
        base.sAPartner = Column(c.sContactPerson, 20, replaced);
        const std::string extra = Join(org, c.sNote, "; ");
        for (const tContactNumber& n : c.aNumbers)
            if (n.kind == NumberKind::Fax && !NumberDigits(n.sNumber).empty()) {
                base.sFax = Column(StoredNumber(n.sNumber), kNumberWidth, replaced);
                break;
            }
        const size_t contactReplaced = replaced;
        for (const tContactNumber& n : c.aNumbers) {
            if (NumberDigits(n.sNumber).empty()) {
                ++summary.iNumbersWithoutDigits;
                continue;
            }
            ++summary.iNumbers;
            size_t rowReplaced = contactReplaced;
            tAnruf row = base;
            row.sTelefon = Column(StoredNumber(n.sNumber), kNumberWidth, rowReplaced);
            row.sInfo = Column(Join(NumberLabel(n), extra, kInfoSeparator), 250, rowReplaced);
            std::string key = PhoneBookRowKey(row.sName, row.sVorname, row.sTelefon);
            if (!keys.insert(key).second) {
                ++summary.iRowsPresent;
                continue;
            }
            if (rowReplaced > 0) ++summary.iRowsReplaced;
            summary.iCharactersReplaced += rowReplaced - contactReplaced;
            aRows.push_back(std::move(row));
            aRowContact.push_back(ci);
            aRowKeys.push_back(std::move(key));
        }
        summary.iCharactersReplaced += contactReplaced;
    }
    summary.iRowsToAdd = aRows.size();
}

CPhoneBookImport::Outcome
CPhoneBookImport::Apply(const std::string& phoneBook,
                        const std::function<bool(size_t, size_t)>& progress, std::string& error) {
    error.clear();
    iRowsAdded = 0;
    CBase table;
    if (!table.Open(phoneBook) && table.LastError() == CBase::Error::Missing) {
        AddPhoneBookFields(table);
        if (!table.Create(phoneBook) || !table.Open(phoneBook)) {
            error = "Das Telefonbuch kann nicht angelegt werden: " +
                    DescribeTableError(phoneBook, table.LastError());
            return Outcome::Failed;
        }
    }
    if (!table.IsOpen()) {
        error = DescribeTableError(phoneBook, table.LastError());
        return Outcome::Failed;
    }
    if (!table.Lock()) {
        error = DescribeTableError(phoneBook, table.LastError());
        return Outcome::Failed;
    }
    // Another program may have added rows since the preview.
    const std::unordered_set<std::string> present = KeysOf(table);
    std::vector<size_t> toAdd;
    toAdd.reserve(aRows.size());
    for (size_t i = 0; i < aRows.size(); ++i)
        if (!present.contains(aRowKeys[i])) toAdd.push_back(i);

    const size_t contacts = summary.iContacts;
    if (toAdd.empty()) { // nothing new: the table is not rewritten
        table.Unlock();
        if (progress) progress(contacts, contacts);
        return Outcome::Done;
    }
    bool cancelled = false;
    const bool ok = table.AppendAll(toAdd.size(), [&](size_t i) {
        const tAnruf& r = aRows[toAdd[i]];
        if (progress && (i % 64 == 0) && !progress(aRowContact[toAdd[i]], contacts)) {
            cancelled = true;
            return false;
        }
        table.PutField("NAME", r.sName);
        table.PutField("TELEFON", r.sTelefon);
        table.PutField("INFO", r.sInfo);
        table.PutField("VORNAME", r.sVorname);
        table.PutField("STRASSE", r.sStrasse);
        table.PutField("PLZORT", r.sPlz);
        table.PutField("ORT", r.sOrt);
        table.PutField("EMAIL", r.sEmail);
        table.PutField("FAX", r.sFax);
        table.PutField("APARTNER", r.sAPartner);
        return true;
    });
    table.Unlock();
    if (cancelled) return Outcome::Cancelled;
    if (!ok) {
        error = DescribeTableError(phoneBook, table.LastError()) +
                ". Das Telefonbuch ist unver\u00e4ndert.";
        return Outcome::Failed;
    }
    iRowsAdded = toAdd.size();
    if (progress) progress(contacts, contacts);
    return Outcome::Done;
}

std::string GermanCount(size_t n) {
    std::string digits = std::to_string(n), out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += '.';
        out += digits[i];
    }
    return out;
}

std::string ImportSummaryText(const tImportSummary& s, size_t rowsAdded, bool done) {
    std::string text;
    const auto line = [&](const std::string& label, size_t n) {
        text += "  " + label + ": " + GermanCount(n) + "\n";
    };
    line("Kontakte in der Datei", s.iContacts);
    line("Rufnummern", s.iNumbers);
    line(done ? "Neue Eintr\u00e4ge im Telefonbuch" : "Neue Eintr\u00e4ge",
         done ? rowsAdded : s.iRowsToAdd);
    line("Schon vorhanden (\u00fcbersprungen)",
         s.iRowsPresent + (done ? s.iRowsToAdd - rowsAdded : 0));
    if (s.iNumbersWithoutDigits)
        line("Nummern ohne Ziffern (\u00fcbersprungen)", s.iNumbersWithoutDigits);
    if (s.iContactsWithoutName)
        line("Kontakte ohne Namen (\u00fcbersprungen)", s.iContactsWithoutName);
    if (s.iRowsReplaced)
        text += "  Eintr\u00e4ge mit ersetzten Zeichen: " + GermanCount(s.iRowsReplaced) + " (" +
                GermanCount(s.iCharactersReplaced) +
                " Zeichen, die das Telefonbuch nicht fassen kann, in \u00e4hnlicher lateinischer "
                "Schreibung)\n";
    return text;
}
