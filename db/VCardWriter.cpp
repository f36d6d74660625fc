// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/VCardWriter.h"

#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/PhoneBookImport.h"
#include "db/TableErrors.h"
#include "db/TableText.h"

#include <map>
#include <vector>

namespace {

struct Card {
    tAnruf first; // name, address and the rest shared by the rows
    std::string note;
    std::vector<std::pair<std::string, std::string>> numbers; // (TYPE, number), table bytes
};

std::string Escape(const std::string& tableText) {
    std::string out;
    for (char c : TableToUtf8(tableText)) {
        if (c == '\\' || c == ',' || c == ';') out += '\\';
        out += c;
    }
    return out;
}

// Folds at 75 bytes without cutting a UTF-8 character.
void AppendLine(std::string& out, const std::string& line) {
    size_t pos = 0, room = 75;
    while (line.size() - pos > room) {
        size_t cut = pos + room;
        while (cut > pos && (uint8_t(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(line, pos, cut - pos);
        out += "\r\n ";
        pos = cut;
        room = 74;
    }
    out.append(line, pos);
    out += "\r\n";
}

std::string TypeOfKind(const std::string& kind) {
    static const std::map<std::string, const char*> kTypes = {
        {"Mobil", "cell"},
        {"Privat", "home"},
        {"Gesch\xE4"
         "ftlich",
         "work"},
        {"Fax", "fax"},
        {"Pager", "pager"},
    };
    const auto it = kTypes.find(kind);
    return it == kTypes.end() ? "voice" : it->second;
}

} // namespace

bool PhoneBookToVCards(const std::string& phoneBook, std::string& vcards, size_t& cards,
                       std::string& error) {
    vcards.clear();
    cards = 0;
    error.clear();
    CBase table;
    if (!table.OpenForReading(phoneBook)) {
        error = DescribeTableError(phoneBook, table.LastError());
        return false;
    }
    std::vector<Card> list;
    std::map<std::string, size_t> byContact;
    for (uint32_t n = 0; n < table.RecCount(); ++n) {
        if (table.GoTo(n) != 1) continue;
        tAnruf row;
        row.sName = table.GetField("NAME");
        row.sVorname = table.GetField("VORNAME");
        row.sTelefon = table.GetField("TELEFON");
        row.sStrasse = table.GetField("STRASSE");
        row.sPlz = table.GetField("PLZORT");
        row.sOrt = table.GetField("ORT");
        row.sEmail = table.GetField("EMAIL");
        row.sFax = table.GetField("FAX");
        row.sAPartner = table.GetField("APARTNER");
        std::string kind, note;
        SplitInfo(table.GetField("INFO"), kind, note);
        std::string key;
        for (const std::string* part : {&row.sName, &row.sVorname, &row.sStrasse, &row.sPlz,
                                        &row.sOrt, &row.sEmail, &row.sAPartner, &note})
            key += *part + '\x1f';
        auto [it, added] = byContact.emplace(key, list.size());
        if (added) list.push_back({row, note, {}});
        Card& card = list[it->second];
        if (!row.sTelefon.empty()) card.numbers.emplace_back(TypeOfKind(kind), row.sTelefon);
        if (!row.sFax.empty() && card.first.sFax.empty()) card.first.sFax = row.sFax;
    }
    for (const Card& card : list) {
        const tAnruf& r = card.first;
        std::string& out = vcards;
        AppendLine(out, "BEGIN:VCARD");
        AppendLine(out, "VERSION:4.0");
        const std::string formatted = r.sVorname.empty() ? r.sName
                                      : r.sName.empty()  ? r.sVorname
                                                         : r.sVorname + " " + r.sName;
        AppendLine(out, "FN:" + Escape(formatted));
        AppendLine(out, "N:" + Escape(r.sName) + ";" + Escape(r.sVorname) + ";;;");
        if (!r.sStrasse.empty() || !r.sPlz.empty() || !r.sOrt.empty())
            AppendLine(out, "ADR:;;" + Escape(r.sStrasse) + ";" + Escape(r.sOrt) + ";;" +
                                Escape(r.sPlz) + ";");
        if (!r.sEmail.empty()) AppendLine(out, "EMAIL:" + Escape(r.sEmail));
        if (!card.note.empty()) AppendLine(out, "NOTE:" + Escape(card.note));
        if (!r.sAPartner.empty())
            AppendLine(out, "RELATED;TYPE=contact;VALUE=text:" + Escape(r.sAPartner));
        bool faxListed = r.sFax.empty();
        for (const auto& [type, number] : card.numbers) {
            AppendLine(out, "TEL;TYPE=" + type + ":" + Escape(number));
            if (type == "fax" && number == r.sFax) faxListed = true;
        }
        // A fax number kept only in FAX (typed into the editor) is not lost.
        if (!faxListed) AppendLine(out, "TEL;TYPE=fax:" + Escape(r.sFax));
        AppendLine(out, "END:VCARD");
        ++cards;
    }
    return true;
}
