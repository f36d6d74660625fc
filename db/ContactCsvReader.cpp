// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/ContactCsvReader.h"

#include "db/TextDecoding.h"

#include <algorithm>
#include <map>

namespace {

using Row = std::vector<std::string>;

// RFC 4180 records: quoted cells may hold separators, doubled quotes and line breaks.
class CsvCursor {
public:
    CsvCursor(std::string_view text, char separator) : sText(text), cSeparator(separator) {}

    bool Next(Row& row) {
        row.clear();
        if (iPos >= sText.size()) return false;
        std::string cell;
        bool quoted = false, wasQuoted = false;
        while (iPos < sText.size()) {
            const char c = sText[iPos++];
            if (quoted) {
                if (c == '"') {
                    if (iPos < sText.size() && sText[iPos] == '"') {
                        cell.push_back('"');
                        ++iPos;
                    } else {
                        quoted = false;
                    }
                } else {
                    cell.push_back(c);
                }
            } else if (c == '"' && !wasQuoted && TrimBlanks(cell).empty()) {
                quoted = wasQuoted = true;
                cell.clear();
            } else if (c == cSeparator) {
                row.push_back(std::move(cell));
                cell.clear();
                wasQuoted = false;
            } else if (c == '\n' || c == '\r') {
                if (c == '\r' && iPos < sText.size() && sText[iPos] == '\n') ++iPos;
                break;
            } else {
                cell.push_back(c);
            }
        }
        row.push_back(std::move(cell));
        return true;
    }

private:
    std::string_view sText;
    char cSeparator;
    size_t iPos = 0;
};

char GuessSeparator(std::string_view text) {
    int comma = 0, semicolon = 0, tab = 0;
    bool quoted = false;
    for (char c : text) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '\n' || c == '\r') break;
        comma += c == ',';
        semicolon += c == ';';
        tab += c == '\t';
    }
    if (tab > comma && tab > semicolon) return '\t';
    return semicolon > comma ? ';' : ',';
}

std::vector<std::string> SplitValues(std::string_view cell) {
    std::vector<std::string> values;
    while (true) {
        const size_t sep = cell.find(":::");
        const std::string_view one = TrimBlanks(cell.substr(0, sep));
        if (!one.empty()) values.emplace_back(one);
        if (sep == std::string_view::npos) break;
        cell.remove_prefix(sep + 3);
    }
    return values;
}

// A phone column with a fixed kind (Outlook).
struct FixedPhone {
    const char* header;
    NumberKind kind;
    const char* label; // nullptr: the kind's word
};

constexpr FixedPhone kFixedPhones[] = {
    {"mobile phone", NumberKind::Mobile, nullptr},
    {"mobiltelefon", NumberKind::Mobile, nullptr},
    {"mobile phone 2", NumberKind::Mobile, nullptr},
    {"mobiltelefon 2", NumberKind::Mobile, nullptr},
    {"home phone", NumberKind::Home, nullptr},
    {"telefon privat", NumberKind::Home, nullptr},
    {"home phone 2", NumberKind::Home, nullptr},
    {"telefon privat 2", NumberKind::Home, nullptr},
    {"business phone", NumberKind::Work, nullptr},
    {"telefon gesch\u00e4ftlich", NumberKind::Work, nullptr},
    {"business phone 2", NumberKind::Work, nullptr},
    {"telefon gesch\u00e4ftlich 2", NumberKind::Work, nullptr},
    {"company main phone", NumberKind::Work, nullptr},
    {"telefon firma", NumberKind::Work, nullptr},
    {"business fax", NumberKind::Fax, nullptr},
    {"fax gesch\u00e4ftlich", NumberKind::Fax, nullptr},
    {"home fax", NumberKind::Fax, nullptr},
    {"fax privat", NumberKind::Fax, nullptr},
    {"other fax", NumberKind::Fax, nullptr},
    {"weiteres fax", NumberKind::Fax, nullptr},
    {"pager", NumberKind::Pager, nullptr},
    {"primary phone", NumberKind::Other, nullptr},
    {"haupttelefon", NumberKind::Other, nullptr},
    {"other phone", NumberKind::Other, nullptr},
    {"weiteres telefon", NumberKind::Other, nullptr},
    {"car phone", NumberKind::Other, "Auto"},
    {"autotelefon", NumberKind::Other, "Auto"},
    {"assistant's phone", NumberKind::Other, "Assistenz"},
    {"telefon assistent", NumberKind::Other, "Assistenz"},
    {"callback", NumberKind::Other, "R\u00fcckruf"},
    {"r\u00fcckmeldung", NumberKind::Other, "R\u00fcckruf"},
    {"isdn", NumberKind::Other, "ISDN"},
    {"radio phone", NumberKind::Other, "Funk"},
    {"funktelefon", NumberKind::Other, "Funk"},
};

NumberKind KindOfLabel(std::string label, std::string& ownLabel) {
    ownLabel.clear();
    std::string_view l = TrimBlanks(label);
    while (l.starts_with('*'))
        l = TrimBlanks(l.substr(1)); // Google marks the primary number with "* "
    const std::string t = AsciiLower(l);
    if (t.find("fax") != std::string::npos) return NumberKind::Fax;
    if (t == "mobile" || t == "mobil" || t == "cell" || t == "mobiltelefon" || t == "handy")
        return NumberKind::Mobile;
    if (t == "home" || t == "privat") return NumberKind::Home;
    if (t == "work" || t == "gesch\u00e4ftlich" || t == "arbeit") return NumberKind::Work;
    if (t == "pager") return NumberKind::Pager;
    if (t == "main" || t == "other" || t == "haupt" || t == "sonstige" || t.empty())
        return NumberKind::Other;
    ownLabel = std::string(l);
    return NumberKind::Other;
}

// Which column holds what, found by the header's names.
struct Columns {
    std::vector<int> given, family, formatted, org, street, town, postcode, email, notes;
    std::vector<std::pair<int, FixedPhone>> fixedPhones;
    std::vector<std::pair<int, int>> pairedPhones; // (label column or -1, value column)

    bool Usable() const {
        return (!given.empty() || !family.empty() || !formatted.empty() || !org.empty()) &&
               (!fixedPhones.empty() || !pairedPhones.empty());
    }
};

// "phone 2 - value" / "telefon 2 - wert": the number 2 and the part after the dash.
bool PairedHeader(const std::string& h, std::string& index, std::string& part) {
    std::string_view v = h;
    if (v.starts_with("phone "))
        v.remove_prefix(6);
    else if (v.starts_with("telefon "))
        v.remove_prefix(8);
    else
        return false;
    const size_t dash = v.find(" - ");
    if (dash == std::string_view::npos || dash == 0) return false;
    index = std::string(v.substr(0, dash));
    for (char c : index)
        if (c < '0' || c > '9') return false;
    part = std::string(v.substr(dash + 3));
    return true;
}

Columns FindColumns(const Row& header) {
    Columns c;
    const auto any = [](const std::string& h, std::initializer_list<const char*> names) {
        for (const char* n : names)
            if (h == n) return true;
        return false;
    };
    std::vector<std::pair<std::string, int>> labels, values;
    // Home address before business address: the order of the lists decides.
    std::vector<std::pair<int, int>> streets, towns, postcodes; // (rank, column)
    for (int i = 0; i < int(header.size()); ++i) {
        const std::string h = AsciiLower(TrimBlanks(header[size_t(i)]));
        if (any(h, {"first name", "given name", "vorname"}))
            c.given.push_back(i);
        else if (any(h, {"last name", "family name", "nachname"}))
            c.family.push_back(i);
        else if (any(h, {"name", "display name", "anzeigename", "file as", "speichern unter"}))
            c.formatted.push_back(i);
        else if (any(h, {"company", "firma", "organization 1 - name", "organization name",
                         "organisation 1 - name"}))
            c.org.push_back(i);
        else if (any(h, {"home street", "stra\u00dfe privat", "address 1 - street",
                         "adresse 1 - stra\u00dfe"}))
            streets.emplace_back(0, i);
        else if (any(h, {"business street", "stra\u00dfe gesch\u00e4ftlich"}))
            streets.emplace_back(1, i);
        else if (any(h, {"home city", "ort privat", "address 1 - city", "adresse 1 - ort"}))
            towns.emplace_back(0, i);
        else if (any(h, {"business city", "ort gesch\u00e4ftlich"}))
            towns.emplace_back(1, i);
        else if (any(h, {"home postal code", "postleitzahl privat", "address 1 - postal code",
                         "adresse 1 - postleitzahl"}))
            postcodes.emplace_back(0, i);
        else if (any(h, {"business postal code", "postleitzahl gesch\u00e4ftlich"}))
            postcodes.emplace_back(1, i);
        else if (any(h, {"e-mail address", "e-mail 1 - value", "e-mail-adresse", "email address",
                         "e-mail 1 - wert", "e-mail"}))
            c.email.push_back(i);
        else if (any(h, {"notes", "notizen", "notiz"}))
            c.notes.push_back(i);
        else {
            bool fixed = false;
            for (const FixedPhone& f : kFixedPhones)
                if (h == f.header) {
                    c.fixedPhones.emplace_back(i, f);
                    fixed = true;
                    break;
                }
            std::string index, part;
            if (!fixed && PairedHeader(h, index, part)) {
                if (part == "value" || part == "wert")
                    values.emplace_back(index, i);
                else if (part == "type" || part == "label" || part == "typ" ||
                         part == "bezeichnung")
                    labels.emplace_back(index, i);
            }
        }
    }
    std::map<std::string, int> labelOf(labels.begin(), labels.end());
    for (const auto& [index, column] : values) {
        const auto it = labelOf.find(index);
        c.pairedPhones.emplace_back(it == labelOf.end() ? -1 : it->second, column);
    }
    const auto ranked = [](std::vector<std::pair<int, int>> v) {
        std::stable_sort(v.begin(), v.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        std::vector<int> out;
        for (const auto& [rank, column] : v)
            out.push_back(column);
        return out;
    };
    c.street = ranked(streets);
    c.town = ranked(towns);
    c.postcode = ranked(postcodes);
    return c;
}

std::string Cell(const Row& row, int column) {
    return column >= 0 && size_t(column) < row.size() ? std::string(TrimBlanks(row[size_t(column)]))
                                                      : std::string();
}

// The first non-empty cell of the columns, the first of several values in it.
std::string FirstOf(const Row& row, const std::vector<int>& columns) {
    for (int column : columns) {
        const auto values = SplitValues(Cell(row, column));
        if (!values.empty()) return values.front();
    }
    return {};
}

std::string JoinedName(const Row& row, const std::vector<int>& columns) {
    std::string out;
    for (int column : columns) {
        const std::string v = Cell(row, column);
        if (v.empty()) continue;
        if (!out.empty()) out += ' ';
        out += v;
    }
    return out;
}

} // namespace

std::vector<tContact> ReadContactCsv(std::string_view bytes, std::string& error) {
    error.clear();
    const std::string text = FileTextToUtf8(bytes);
    CsvCursor cursor(text, GuessSeparator(text));
    Row header;
    if (!cursor.Next(header)) {
        error = "Die Datei ist leer.";
        return {};
    }
    const Columns columns = FindColumns(header);
    if (!columns.Usable()) {
        error = "Die Kopfzeile der CSV-Datei nennt keine bekannten Spalten f\u00fcr Name und "
                "Telefonnummer (erwartet z. B. \u201eFirst Name\u201c/\u201eVorname\u201c und "
                "\u201eMobile Phone\u201c/\u201eMobiltelefon\u201c oder \u201ePhone 1 - "
                "Value\u201c).";
        return {};
    }
    std::vector<tContact> contacts;
    Row row;
    while (cursor.Next(row)) {
        if (row.size() == 1 && TrimBlanks(row[0]).empty()) continue; // blank line
        tContact c;
        c.sGivenName = JoinedName(row, columns.given);
        c.sFamilyName = JoinedName(row, columns.family);
        c.sFormattedName = FirstOf(row, columns.formatted);
        c.sOrganization = FirstOf(row, columns.org);
        c.sStreet = FirstOf(row, columns.street);
        for (char& ch : c.sStreet)
            if (ch == '\n' || ch == '\r') ch = ',';
        c.sTown = FirstOf(row, columns.town);
        c.sPostcode = FirstOf(row, columns.postcode);
        c.sEmail = FirstOf(row, columns.email);
        for (int column : columns.notes)
            if (c.sNote.empty()) c.sNote = Cell(row, column);
        for (const auto& [column, fixed] : columns.fixedPhones)
            for (std::string& value : SplitValues(Cell(row, column))) {
                tContactNumber n;
                n.sNumber = std::move(value);
                n.kind = fixed.kind;
                if (fixed.label) n.sLabel = fixed.label;
                c.aNumbers.push_back(std::move(n));
            }
        for (const auto& [labelColumn, valueColumn] : columns.pairedPhones) {
            const auto values = SplitValues(Cell(row, valueColumn));
            const auto labels = SplitValues(Cell(row, labelColumn));
            for (size_t i = 0; i < values.size(); ++i) {
                tContactNumber n;
                n.sNumber = values[i];
                const std::string label =
                    i < labels.size() ? labels[i] : (labels.empty() ? "" : labels.front());
                n.kind = KindOfLabel(label, n.sLabel);
                c.aNumbers.push_back(std::move(n));
            }
        }
        contacts.push_back(std::move(c));
    }
    return contacts;
}
