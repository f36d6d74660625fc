// SPDX-License-Identifier: GPL-3.0-or-later
// Prepares a data folder for the demo: an empty call log and a phone book with a few
// entries. Existing tables are left alone.
#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "db/TableText.h"

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

// The samples are written in UTF-8 here; the tables hold Windows-1252, which has the dash.
std::string TableText(const char* utf8) {
    std::string table;
    if (!Utf8ToTable(utf8, table)) std::fprintf(stderr, "not storable: %s\n", utf8);
    return table;
}

struct Sample {
    const char *name, *vorname, *telefon, *strasse, *plz, *ort, *info, *email;
};

const Sample kSamples[] = {
    {"Meier", "Anna", "0302345678", "Unter den Linden 77", "10117", "Berlin",
     "Kundin seit 2019. Ruft meist wegen der Jahresrechnung an; bitte an Frau Schulz "
     "weiterleiten.",
     "anna.meier@example.de"},
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
            entry.sName = TableText(s.name);
            entry.sVorname = TableText(s.vorname);
            entry.sTelefon = s.telefon;
            entry.sStrasse = TableText(s.strasse);
            entry.sPlz = s.plz;
            entry.sOrt = TableText(s.ort);
            entry.sInfo = TableText(s.info);
            entry.sEmail = s.email;
            if (!SaveEntry(entry)) return 1;
        }
    }
    return 0;
}
