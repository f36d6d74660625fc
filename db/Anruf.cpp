// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/Anruf.h"

#include "db/AreaCodes.h"
#include "db/CBase.h"
#include "db/NumberDescription.h"
#include "db/NumberMatch.h"
#include "platform/ErrorBox.h"

namespace {

constexpr const char* kNotFoundText = "Adressdatenbank konnte nicht gefunden werden";
// Windows-1252, like every table text.
constexpr const char* kNoNumberText = "Keine Rufnr. \xFC"
                                      "bermittelt";

bool OpenPhoneBook(CBase& table) {
    if (table.Open(kPhoneBookFile)) return true;
    cb::ShowErrorBox(kNotFoundText);
    return false;
}

void ReadColumns(const CBase& table, tAnruf& anruf) {
    anruf.sName = table.GetField("NAME");
    anruf.sTelefon = table.GetField("TELEFON");
    anruf.sInfo = table.GetField("INFO");
    anruf.sVorname = table.GetField("VORNAME");
    anruf.sStrasse = table.GetField("STRASSE");
    anruf.sPlz = table.GetField("PLZORT");
    anruf.sOrt = table.GetField("ORT");
    anruf.sEmail = table.GetField("EMAIL");
    anruf.sFax = table.GetField("FAX");
    anruf.sAPartner = table.GetField("APARTNER");
}

// The first active entries whose TELEFON is `called` and `calling` (see NumberFits), found in
// one pass over the phone book; -1 for none. A number without digits is not looked for.
void FindNumbers(CBase& table, const std::string& called, const std::string& calling,
                 int64_t& calledHit, int64_t& callingHit) {
    const std::string calledDigits = NumberDigits(called), callingDigits = NumberDigits(calling);
    calledHit = callingHit = -1;
    bool wantCalled = !calledDigits.empty(), wantCalling = !callingDigits.empty();
    if (!wantCalled && !wantCalling) return;
    std::string digits;
    table.FindIf("TELEFON", [&](std::string_view stored) {
        NumberDigits(stored, digits);
        if (wantCalled && digits == calledDigits) {
            calledHit = table.RecNo();
            wantCalled = false;
        }
        if (wantCalling && digits == callingDigits) {
            callingHit = table.RecNo();
            wantCalling = false;
        }
        return !wantCalled && !wantCalling;
    });
}

enum class PlaceKind { None, AreaCode, Description };

// Where the caller is: from the area-code directory for a German landline number (also one
// written with +49), else a description of the number ("Mobilfunk", "Schweiz") without a
// position, so the map shows no dot. Texts empty when nothing is known.
PlaceKind LookupPlace(const std::string& calling, std::string& place, std::string& plz,
                      std::string& breite, std::string& laenge) {
    place.clear();
    plz.clear();
    breite.clear();
    laenge.clear();
    const std::string digits = NumberDigits(calling);
    if (!digits.starts_with("00") && LookupAreaCode(digits, place, plz, breite, laenge))
        return PlaceKind::AreaCode;
    place = DescribeNumber(digits);
    return place.empty() ? PlaceKind::None : PlaceKind::Description;
}

} // namespace

void AddPhoneBookFields(CBase& table) {
    table.AddField(0, "NAME", 'C', 20, 0);
    table.AddField(1, "TELEFON", 'C', 20, 0);
    table.AddField(2, "INFO", 'C', 250, 0);
    table.AddField(3, "VORNAME", 'C', 20, 0);
    table.AddField(4, "STRASSE", 'C', 30, 0);
    table.AddField(5, "PLZORT", 'C', 7, 0);
    table.AddField(6, "ORT", 'C', 20, 0);
    table.AddField(7, "EMAIL", 'C', 50, 0);
    table.AddField(8, "FAX", 'C', 20, 0);
    table.AddField(9, "APARTNER", 'C', 20, 0);
}

void ClearEntry(tAnruf& anruf) {
    anruf.bOk = false;
    anruf.iRecNo = kNoRecord;
    anruf.sTelefon.clear();
    anruf.sInfo.clear();
    anruf.sName.clear();
    anruf.sVorname.clear();
    anruf.sStrasse.clear();
    anruf.sPlz.clear();
    anruf.sOrt.clear();
    anruf.sGerufener.clear();
    anruf.sEmail.clear();
    anruf.sFax.clear();
    anruf.sAPartner.clear();
}

bool LookupCaller(tAnruf& anruf, const std::string& calling, const std::string& called,
                  bool withArea) {
    CBase table;
    if (!OpenPhoneBook(table)) return false;
    table.SkipDeleted(true);

    ClearEntry(anruf);
    // A lone "0" means no number came; it is not looked for.
    const bool noNumber = calling.size() <= 1;
    int64_t calledHit, found;
    FindNumbers(table, called, noNumber ? std::string() : calling, calledHit, found);
    anruf.sGerufener = called;
    if (calledHit >= 0 && table.GoTo(calledHit) != -1) anruf.sGerufener = table.GetField("NAME");

    if (noNumber) {
        anruf.sName = kNoNumberText;
        anruf.sTelefon = kNoNumberText;
        return false;
    }

    if (found >= 0 && table.GoTo(found) != -1) {
        anruf.iRecNo = static_cast<int32_t>(found);
        ReadColumns(table, anruf);
        table.Close();
        std::string place, plz, breite, laenge;
        if (withArea && LookupPlace(calling, place, plz, breite, laenge) != PlaceKind::None) {
            anruf.sAvonOrt = place;
            anruf.sBreite = breite;
            anruf.sLaenge = laenge;
        }
        return true;
    }

    table.Close();
    anruf.sName = calling;
    anruf.sTelefon = calling;
    std::string place, plz, breite, laenge;
    const PlaceKind kind =
        withArea ? LookupPlace(calling, place, plz, breite, laenge) : PlaceKind::None;
    if (kind != PlaceKind::None) {
        anruf.sAvonOrt = place;
        anruf.sBreite = breite;
        anruf.sLaenge = laenge;
    }
    // Only a town goes where an entry made from this call takes its town from; "Mobilfunk"
    // is shown from sAvonOrt.
    if (kind == PlaceKind::AreaCode) {
        anruf.sOrt = place;
        anruf.sPlz = plz;
    }
    return false;
}

bool LoadEntry(tAnruf& anruf, int32_t recNo) {
    CBase table;
    if (!OpenPhoneBook(table)) return false;
    ClearEntry(anruf);
    if (table.GoTo(recNo) == -1) return false;
    anruf.iRecNo = recNo;
    ReadColumns(table, anruf);
    return true;
}

bool SaveEntry(tAnruf& anruf) {
    CBase table;
    if (!OpenPhoneBook(table)) return false;

    // Columns an older table lacks keep whatever the record holds.
    const bool append = anruf.iRecNo == kNoRecord || table.GoTo(anruf.iRecNo) == -1;
    table.PutField("NAME", anruf.sName);
    table.PutField("VORNAME", anruf.sVorname);
    table.PutField("STRASSE", anruf.sStrasse);
    table.PutField("PLZORT", anruf.sPlz);
    table.PutField("ORT", anruf.sOrt);
    table.PutField("INFO", anruf.sInfo);
    table.PutField("TELEFON", anruf.sTelefon);
    table.PutField("EMAIL", anruf.sEmail);
    table.PutField("FAX", anruf.sFax);
    table.PutField("APARTNER", anruf.sAPartner);

    if (append) {
        if (table.Append() != 1) return false;
        anruf.iRecNo = static_cast<int32_t>(table.RecNo());
        return true;
    }
    return table.Write() == 1;
}
