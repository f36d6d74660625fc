// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/ServerContacts.h"

#include "db/NumberMatch.h"
#include "db/PhoneBookImport.h"
#include "db/ServerAddressBook.h"

#include <array>

namespace {

constexpr std::string_view kHeader = "CallBeacon CardDAV-Kopie 1\n";

std::shared_ptr<const ICallerNames>& Second() {
    static std::shared_ptr<const ICallerNames> names;
    return names;
}

void Escape(std::string& out, std::string_view text) {
    for (char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out.push_back(c);
        }
    }
}

std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.push_back(text[i]);
            continue;
        }
        const char c = text[++i];
        out.push_back(c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c);
    }
    return out;
}

std::vector<std::string> Fields(std::string_view line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        fields.push_back(Unescape(line.substr(start, tab - start)));
        if (tab == std::string_view::npos) break;
        start = tab + 1;
    }
    return fields;
}

// The row's columns in the order the file holds them.
std::array<std::string tAnruf::*, 10> RowColumns() {
    return {&tAnruf::sName,    &tAnruf::sVorname, &tAnruf::sTelefon, &tAnruf::sInfo,
            &tAnruf::sStrasse, &tAnruf::sPlz,     &tAnruf::sOrt,     &tAnruf::sEmail,
            &tAnruf::sFax,     &tAnruf::sAPartner};
}

} // namespace

void SetSecondCallerNames(std::shared_ptr<const ICallerNames> names) {
    Second() = std::move(names);
}

std::shared_ptr<const ICallerNames> SecondCallerNames() {
    return Second();
}

std::vector<tAnruf> CServerContacts::RowsOf(const tContact& contact) {
    // No phone book to compare with: every row of the contact counts.
    CPhoneBookImport import;
    import.Prepare({contact}, std::string());
    return import.Rows();
}

void CServerContacts::Put(tServerCard card) {
    std::string href = card.sHref;
    aCards.insert_or_assign(std::move(href), std::move(card));
    bIndexed = false;
}

void CServerContacts::Remove(const std::string& href) {
    if (aCards.erase(href) > 0) bIndexed = false;
}

const tServerCard* CServerContacts::Find(const std::string& href) const {
    const auto it = aCards.find(href);
    return it == aCards.end() ? nullptr : &it->second;
}

void CServerContacts::Clear() {
    aCards.clear();
    sCtag.clear();
    sSyncToken.clear();
    bIndexed = false;
}

void CServerContacts::Reindex() const {
    aByNumber.clear();
    aByNumber.reserve(aCards.size() * 2);
    std::string digits;
    for (const auto& [href, card] : aCards)
        for (const tAnruf& row : card.aRows) {
            NumberDigits(row.sTelefon, digits);
            // The first card in href order keeps a number that two cards share.
            if (!digits.empty()) aByNumber.emplace(digits, &row);
        }
    sIndexedAreaCode = OwnAreaCode();
    bIndexed = true;
}

void CServerContacts::PrepareLookups() const {
    if (!bIndexed || sIndexedAreaCode != OwnAreaCode()) Reindex();
}

bool CServerContacts::FindRow(const std::string& calling, tAnruf& row) const {
    PrepareLookups();
    const std::string digits = NumberDigits(calling);
    if (digits.empty()) return false;
    const auto it = aByNumber.find(digits);
    if (it == aByNumber.end()) return false;
    row = *it->second;
    row.iRecNo = kNoRecord;
    return true;
}

bool CServerContacts::NameCaller(tAnruf& caller, const std::string& calling) const {
    tAnruf row;
    if (!FindRow(calling, row)) return false;
    for (auto column : RowColumns())
        caller.*column = row.*column;
    caller.iRecNo = kNoRecord;
    return true;
}

std::string CServerContacts::Serialize() const {
    std::string out(kHeader);
    const auto line = [&](std::string_view tag, std::initializer_list<std::string_view> fields) {
        out += tag;
        for (std::string_view f : fields) {
            out.push_back('\t');
            Escape(out, f);
        }
        out.push_back('\n');
    };
    line("source", {sSourceUrl});
    line("url", {sCollectionUrl});
    line("ctag", {sCtag});
    line("token", {sSyncToken});
    for (const auto& [href, card] : aCards) {
        line("card", {card.sHref, card.sEtag});
        for (const tAnruf& row : card.aRows) {
            out += "row";
            for (auto column : RowColumns()) {
                out.push_back('\t');
                Escape(out, row.*column);
            }
            out.push_back('\n');
        }
    }
    out += "end\n";
    return out;
}

bool CServerContacts::Parse(std::string_view text, std::string& error) {
    Clear();
    sSourceUrl.clear();
    sCollectionUrl.clear();
    const auto fail = [&](const std::string& why) {
        Clear();
        sSourceUrl.clear();
        sCollectionUrl.clear();
        error = why;
        return false;
    };
    if (!text.starts_with(kHeader)) return fail("Die Datei ist keine CardDAV-Kopie.");
    text.remove_prefix(kHeader.size());
    tServerCard card;
    bool inCard = false, ended = false;
    size_t lineNo = 1;
    while (!text.empty()) {
        ++lineNo;
        const size_t nl = text.find('\n');
        if (nl == std::string_view::npos)
            return fail("Die CardDAV-Kopie ist unvollständig (Zeile " + std::to_string(lineNo) +
                        ").");
        const std::vector<std::string> f = Fields(text.substr(0, nl));
        text.remove_prefix(nl + 1);
        const std::string& tag = f[0];
        if (tag == "source" && f.size() == 2)
            sSourceUrl = f[1];
        else if (tag == "url" && f.size() == 2)
            sCollectionUrl = f[1];
        else if (tag == "ctag" && f.size() == 2)
            sCtag = f[1];
        else if (tag == "token" && f.size() == 2)
            sSyncToken = f[1];
        else if (tag == "card" && f.size() == 3) {
            if (inCard) Put(std::move(card));
            card = tServerCard{f[1], f[2], {}};
            inCard = true;
        } else if (tag == "row" && f.size() == 11 && inCard) {
            tAnruf row;
            size_t i = 1;
            for (auto column : RowColumns())
                row.*column = f[i++];
            card.aRows.push_back(std::move(row));
        } else if (tag == "end" && f.size() == 1) {
            ended = true;
            break;
        } else {
            return fail("Die CardDAV-Kopie ist beschädigt (Zeile " + std::to_string(lineNo) + ").");
        }
    }
    if (!ended) return fail("Die CardDAV-Kopie ist unvollständig.");
    if (inCard) Put(std::move(card));
    return true;
}

namespace {
IServerAddressBook*& Book() {
    static IServerAddressBook* book = nullptr;
    return book;
}
} // namespace

void SetServerAddressBook(IServerAddressBook* book) {
    Book() = book;
}

IServerAddressBook* ServerAddressBook() {
    return Book();
}
