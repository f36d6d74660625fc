// SPDX-License-Identifier: GPL-3.0-or-later
// The phone book out as vCards and back in: the same rows.
#include "db/PhoneBookImport.h"
#include "db/VCardReader.h"
#include "db/VCardWriter.h"
#include "support/TableSupport.h"
#include "support/TestSupport.h"

#include <algorithm>

namespace {

std::vector<std::string> RowsOf(const std::string& file) {
    std::vector<std::string> rows;
    CBase t;
    EXPECT_TRUE(t.Open(file));
    for (uint32_t n = 0; n < t.RecCount(); ++n) {
        if (t.GoTo(n) != 1) continue;
        std::string row;
        for (const char* c : {"NAME", "TELEFON", "INFO", "VORNAME", "STRASSE", "PLZORT", "ORT",
                              "EMAIL", "FAX", "APARTNER"})
            row += t.GetField(c) + "|";
        rows.push_back(row);
    }
    return rows;
}

void Import(const std::string& vcards, const std::string& file) {
    CPhoneBookImport import;
    import.Prepare(ReadVCards(vcards), file);
    std::string error;
    ASSERT_EQ(import.Apply(file, {}, error), CPhoneBookImport::Outcome::Done) << error;
}

} // namespace

TEST(VCardWriter, ExportAndImportAgainGiveTheSameRows) {
    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
    const std::string source =
        "BEGIN:VCARD\nVERSION:3.0\nN:Wei\u00df;J\u00fcrgen\nORG:Brauerei\\, M\u00fcnchen\n"
        "ADR:;;Bergstra\u00dfe 5;M\u00fcnchen;;80331;\nEMAIL:jw@example.org\n"
        "NOTE:Stammkunde\\; zahlt bar\nTEL;TYPE=cell:+49 171 2345678\nTEL;TYPE=home:089 5550\n"
        "TEL;TYPE=work:089 5552\nTEL;TYPE=work,fax:089/5551\nTEL;PAGER:0161 1\n"
        "item1.TEL:0911 77\nitem1.X-ABLabel:Ferienhaus\nTEL:0911 78\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:4.0\nFN:Caf\u00e9 \u00abZur Post\u00bb mit einem sehr langen Namen "
        "f\u00fcr das Feld\nTEL;TYPE=work:0221 1\nRELATED;TYPE=contact;VALUE=text:Frau Meier\n"
        "END:VCARD\n";
    Import(source, "erst.dbf");
    // A row typed into the editor, fax only in FAX, and a deleted one that stays out.
    cbtest::AddEntries({{.name = "Hand", .telefon = "030 9", .fax = "030 8"},
                        {.name = "Weg", .telefon = "030 7", .deleted = true}},
                       "erst.dbf");

    std::string vcards, error;
    size_t cards = 0;
    ASSERT_TRUE(PhoneBookToVCards("erst.dbf", vcards, cards, error)) << error;
    EXPECT_EQ(cards, 4u); // Weiß's two notes ("Ferienhaus" is a label) make two cards
    for (size_t at = 0, end; (end = vcards.find("\r\n", at)) != std::string::npos; at = end + 2)
        EXPECT_LE(end - at, 75u);
    EXPECT_NE(vcards.find("TEL;TYPE=cell:+49 171 2345678\r\n"), std::string::npos);
    EXPECT_NE(vcards.find("NOTE:Brauerei\\, M\u00fcnchen\\; Stammkunde\\; zahlt bar"),
              std::string::npos);

    Import(vcards, "zweit.dbf");
    std::vector<std::string> before = RowsOf("erst.dbf"), after = RowsOf("zweit.dbf");
    // The same rows, in the order of the cards; the hand-made row's fax comes back as a row
    // of its own.
    before.push_back("Hand|030 8|Fax||||||030 8||");
    std::sort(before.begin(), before.end());
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);

    // The second round changes nothing.
    ASSERT_TRUE(PhoneBookToVCards("zweit.dbf", vcards, cards, error));
    Import(vcards, "zweit.dbf");
    EXPECT_EQ(RowsOf("zweit.dbf").size(), before.size());

    EXPECT_FALSE(PhoneBookToVCards("fehlt.dbf", vcards, cards, error));
    EXPECT_NE(error.find("nicht gefunden"), std::string::npos);
}
