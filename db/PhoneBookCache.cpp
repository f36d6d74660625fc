// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/PhoneBookCache.h"

#include "db/CBase.h"
#include "db/NumberMatch.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr const char* kNoNumberText = "Keine Rufnr. \xFC"
                                      "bermittelt";

bool SameNameNoCase(const std::string& a, const char* b) {
    if (a.size() != std::strlen(b)) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = char(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = char(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

} // namespace

bool CPhoneBookCache::Load(const std::string& fileName) {
    bLoaded = false;
    bHasTelefon = false;
    aEntries.clear();
    aByNumber.clear();

    CBase table;
    if (!table.Open(fileName)) return false;
    for (int i = 0; i < table.FieldCount(); ++i)
        if (SameNameNoCase(table.FieldName(i), "TELEFON")) bHasTelefon = true;

    const uint32_t count = table.RecCount();
    aEntries.reserve(count);
    aByNumber.reserve(count);
    for (uint32_t n = 0; n < count; ++n) {
        if (table.GoTo(n) != 1) continue; // deleted entries never fit, unreadable ones neither
        Entry entry;
        entry.iRecNo = static_cast<int32_t>(n);
        tAnruf& c = entry.Columns;
        c.sName = table.GetField("NAME");
        c.sTelefon = table.GetField("TELEFON");
        c.sInfo = table.GetField("INFO");
        c.sVorname = table.GetField("VORNAME");
        c.sStrasse = table.GetField("STRASSE");
        c.sPlz = table.GetField("PLZORT");
        c.sOrt = table.GetField("ORT");
        c.sEmail = table.GetField("EMAIL");
        c.sFax = table.GetField("FAX");
        c.sAPartner = table.GetField("APARTNER");
        // Record order: the first entry with a number keeps it, as in the table search.
        std::string digits = NumberDigits(c.sTelefon);
        if (bHasTelefon && !digits.empty())
            aByNumber.emplace(std::move(digits), static_cast<int32_t>(aEntries.size()));
        aEntries.push_back(std::move(entry));
    }
    table.Close();
    bLoaded = true;
    return true;
}

int32_t CPhoneBookCache::FindNumber(const std::string& number) const {
    const std::string digits = NumberDigits(number);
    if (digits.empty()) return -1;
    const auto it = aByNumber.find(digits);
    return it == aByNumber.end() ? -1 : it->second;
}

bool CPhoneBookCache::LookupCaller(tAnruf& anruf, const std::string& calling,
                                   const std::string& called) {
    if (!bLoaded) return false;
    ClearEntry(anruf);
    anruf.sGerufener = called;
    if (const int32_t hit = FindNumber(called); hit >= 0)
        anruf.sGerufener = aEntries[size_t(hit)].Columns.sName;
    if (calling.size() <= 1) {
        anruf.sName = kNoNumberText;
        anruf.sTelefon = kNoNumberText;
        return false;
    }
    const int32_t hit = FindNumber(calling);
    if (hit < 0) {
        anruf.sName = calling;
        anruf.sTelefon = calling;
        return false;
    }
    const Entry& e = aEntries[size_t(hit)];
    const std::string gerufener = std::move(anruf.sGerufener);
    const std::string avonOrt = std::move(anruf.sAvonOrt), breite = std::move(anruf.sBreite),
                      laenge = std::move(anruf.sLaenge);
    anruf = e.Columns;
    anruf.iRecNo = e.iRecNo;
    anruf.sGerufener = gerufener;
    anruf.sAvonOrt = avonOrt;
    anruf.sBreite = breite;
    anruf.sLaenge = laenge;
    return true;
}
