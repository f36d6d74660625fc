// SPDX-License-Identifier: GPL-3.0-or-later
// Prepares a data folder for the demo: an empty call log and a phone book with a few
// entries (texts in Latin-1, as the tables hold them). Existing tables are left alone.
#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/CallLog.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

std::string Latin1(const char* utf8) {
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p; ++p) {
        if (*p < 0x80) {
            out.push_back(static_cast<char>(*p));
        } else if ((*p & 0xE0) == 0xC0 && p[1]) {
            out.push_back(static_cast<char>(((*p & 0x1F) << 6) | (p[1] & 0x3F)));
            ++p;
        }
    }
    return out;
}

struct Sample {
    const char *name, *vorname, *telefon, *strasse, *plz, *ort, *info, *email;
};

const Sample kSamples[] = {
    {"Meier", "Anna", "0302345678", "Unter den Linden 77", "10117", "Berlin",
     "Kundin seit 2019. Ruft meist wegen der Jahresrechnung an; bitte an Frau Schulz "
     "weiterleiten.", "anna.meier@example.de"},
    {"Müller", "Jürgen", "07111234567", "Königstraße 12", "70173", "Stuttgart",
     "Steuerberater. Rückruf bis 17 Uhr.", "j.mueller@example.de"},
    {"Schröder", "Grete", "03814567890", "Am Markt 3", "18055", "Rostock",
     "Tante Grete – Geburtstag am 3. Mai.", ""},
    {"Weiß", "Dieter", "03319876543", "Brandenburger Straße 5", "14467", "Potsdam",
     "Hausverwaltung, Notfallnummer.", "verwaltung@example.de"},
    {"Büro", "", "4711", "", "", "", "Eigene Nummer (MSN) des Büros.", ""},
    {"Privat", "", "4712", "", "", "", "Eigene Nummer (MSN) privat.", ""},
};

} // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DATA-FOLDER\n", argv[0]);
        return 2;
    }
    std::filesystem::current_path(argv[1]);
    if (!std::filesystem::exists(kCallLogFile)) {
        CBase log;
        AddCallLogFields(log);
        if (!log.Create(kCallLogFile)) {
            std::fprintf(stderr, "cannot create %s\n", kCallLogFile);
            return 1;
        }
    }
    if (!std::filesystem::exists(kPhoneBookFile)) {
        CBase book;
        AddPhoneBookFields(book);
        if (!book.Create(kPhoneBookFile)) {
            std::fprintf(stderr, "cannot create %s\n", kPhoneBookFile);
            return 1;
        }
        book.Close();
        for (const Sample& s : kSamples) {
            tAnruf entry;
            entry.sName = Latin1(s.name);
            entry.sVorname = Latin1(s.vorname);
            entry.sTelefon = s.telefon;
            entry.sStrasse = Latin1(s.strasse);
            entry.sPlz = s.plz;
            entry.sOrt = Latin1(s.ort);
            entry.sInfo = Latin1(s.info);
            entry.sEmail = s.email;
            if (!SaveEntry(entry)) return 1;
        }
    }
    return 0;
}
