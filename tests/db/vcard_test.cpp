// SPDX-License-Identifier: GPL-3.0-or-later
// vCards as phones, mail programs and address services write them, each variant made here.
#include "db/VCardReader.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Crlf(std::string text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

std::string Utf16Le(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out.push_back(char(c & 0xFF));
        out.push_back(char(c >> 8));
    }
    return out;
}

} // namespace

TEST(VCardReader, Version21FromAnOldPhoneWithQuotedPrintableAndBareTypes) {
    // "Jürgen Weiß", ü and ß as UTF-8 in quoted-printable; the soft break splits the ß.
    const std::string card =
        Crlf("BEGIN:VCARD\n"
             "VERSION:2.1\n"
             "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:Wei=C3=\n"
             "=9F;J=C3=BCrgen;;;\n"
             "FN;CHARSET=UTF-8;QUOTED-PRINTABLE:J=C3=BCrgen Wei=C3=9F\n"
             "ORG:Brauerei und\n"
             " Ausschank\n"
             "TEL;CELL;VOICE:0171 1234567\n"
             "TEL;HOME:089/555-1234\n"
             "TEL;WORK;FAX:+49 89 5550\n"
             "NOTE;ENCODING=QUOTED-PRINTABLE;CHARSET=ISO-8859-1:Gr=FC=DFe=0D=0Aaus M=FCnchen\n"
             "PHOTO;ENCODING=BASE64;TYPE=JPEG:\n"
             " /9j/4AAQSkZJRgABAQAAAQABAAD\n"
             " /2wBDAAgGBgcGBQgHBwcJCQgKDBQNDA\n"
             "\n"
             "END:VCARD\n");
    const auto cards = ReadVCards(card);
    ASSERT_EQ(cards.size(), 1u);
    const tContact& c = cards[0];
    EXPECT_EQ(c.sFamilyName, "Wei\u00df");
    EXPECT_EQ(c.sGivenName, "J\u00fcrgen");
    EXPECT_EQ(c.sFormattedName, "J\u00fcrgen Wei\u00df");
    EXPECT_EQ(c.sNote, "Gr\u00fc\u00dfe\r\naus M\u00fcnchen");
    EXPECT_EQ(c.sOrganization, "Brauerei und Ausschank"); // 2.1 keeps the fold's blank
    ASSERT_EQ(c.aNumbers.size(), 3u);
    EXPECT_EQ(c.aNumbers[0].sNumber, "0171 1234567");
    EXPECT_EQ(c.aNumbers[0].kind, NumberKind::Mobile);
    EXPECT_EQ(c.aNumbers[1].kind, NumberKind::Home);
    EXPECT_EQ(c.aNumbers[1].sNumber, "089/555-1234");
    EXPECT_EQ(c.aNumbers[2].kind, NumberKind::Fax);
}

TEST(VCardReader, Version30And40WithFoldingGroupsUrisAndEscapes) {
    // Many cards in one file, LF only, folded lines, Apple item labels, tel: URIs, escapes.
    const std::string file =
        "BEGIN:VCARD\n"
        "VERSION:3.0\n"
        "N:M\u00fcller-L\u00fcdenscheidt;Anna;;Dr.;\n"
        "FN:Dr. Anna M\u00fcller-L\u00fc\n"
        " denscheidt\n"
        "ORG:Beispiel GmbH;Vertrieb\n"
        "ADR;TYPE=WORK:;;Hauptstra\u00dfe 1\\, Hinterhaus;M\u00fcnchen;BY;80331;Deutschland\n"
        "EMAIL;TYPE=INTERNET:anna@example.org\n"
        "EMAIL:second@example.org\n"
        "item1.TEL:+49 171 7654321\n"
        "item1.X-ABLabel:_$!<Mobile>!$_\n"
        "item2.TEL;type=pref:030 1234567\n"
        "item2.X-ABLabel:Boot\n"
        "TEL;TYPE=work,voice:089 9876\n"
        "TEL;TYPE=\"home,fax\":089 9877\n"
        "PHOTO;ENCODING=b;TYPE=JPEG:" +
        std::string(200000, 'A') +
        "\n"
        "END:VCARD\n"
        "BEGIN:VCARD\r"
        "VERSION:4.0\r"
        "FN:Bernd\\, der Zweite\r"
        "TEL;VALUE=uri;TYPE=cell:tel:+49-171-555;ext=12\r"
        "TEL;VALUE=uri:tel:+49-30-555\r"
        "TEL;TYPE=home:\r"
        "RELATED;TYPE=contact;VALUE=text:Frau Meier\r"
        "END:VCARD\r"
        "stray text between cards\n"
        "BEGIN:VCARD\n"
        "VERSION:3.0\n"
        "ORG:Pizzeria\n"
        "TEL;PAGER:0123\n"
        "AGENT:BEGIN:VCARD\n"
        "BEGIN:VCARD\n"
        "TEL:999\n"
        "END:VCARD\n"
        "END:VCARD\n";
    const auto cards = ReadVCards(file);
    ASSERT_EQ(cards.size(), 3u);
    const tContact& a = cards[0];
    EXPECT_EQ(a.sFamilyName, "M\u00fcller-L\u00fcdenscheidt");
    EXPECT_EQ(a.sGivenName, "Anna");
    EXPECT_EQ(a.sFormattedName, "Dr. Anna M\u00fcller-L\u00fcdenscheidt");
    EXPECT_EQ(a.sOrganization, "Beispiel GmbH, Vertrieb");
    EXPECT_EQ(a.sStreet, "Hauptstra\u00dfe 1, Hinterhaus");
    EXPECT_EQ(a.sTown, "M\u00fcnchen");
    EXPECT_EQ(a.sPostcode, "80331");
    EXPECT_EQ(a.sEmail, "anna@example.org");
    ASSERT_EQ(a.aNumbers.size(), 4u);
    EXPECT_EQ(a.aNumbers[0].kind, NumberKind::Mobile);
    EXPECT_EQ(a.aNumbers[0].sLabel, "");
    EXPECT_EQ(a.aNumbers[1].sLabel, "Boot");
    EXPECT_EQ(NumberLabel(a.aNumbers[1]), "Boot");
    EXPECT_EQ(a.aNumbers[2].kind, NumberKind::Work);
    EXPECT_EQ(a.aNumbers[3].kind, NumberKind::Fax);

    const tContact& b = cards[1];
    EXPECT_EQ(b.sFormattedName, "Bernd, der Zweite");
    EXPECT_EQ(b.sContactPerson, "Frau Meier");
    ASSERT_EQ(b.aNumbers.size(), 2u); // the empty one is left out
    EXPECT_EQ(b.aNumbers[0].sNumber, "+49-171-555");
    EXPECT_EQ(b.aNumbers[0].kind, NumberKind::Mobile);
    EXPECT_EQ(b.aNumbers[1].sNumber, "+49-30-555");
    EXPECT_EQ(b.aNumbers[1].kind, NumberKind::Other);

    const tContact& c = cards[2];
    EXPECT_EQ(c.sOrganization, "Pizzeria");
    ASSERT_EQ(c.aNumbers.size(), 1u); // not the agent's number
    EXPECT_EQ(c.aNumbers[0].kind, NumberKind::Pager);
}

TEST(VCardReader, FileEncodings) {
    const std::string utf8 = "BEGIN:VCARD\nVERSION:3.0\nN:G\u00f6tz;J\u00f6rg\nTEL:1\nEND:VCARD\n";
    // With a BOM, without one, as Windows-1252 without any declaration, and as UTF-16.
    for (const std::string& file :
         {utf8, "\xEF\xBB\xBF" + utf8,
          std::string("BEGIN:VCARD\r\nVERSION:2.1\r\nN:G\xF6tz;J\xF6rg\r\nTEL:1\r\nEND:VCARD\r\n"),
          Utf16Le(
              u"BEGIN:VCARD\r\nVERSION:3.0\r\nN:G\u00f6tz;J\u00f6rg\r\nTEL:1\r\nEND:VCARD\r\n")}) {
        const auto cards = ReadVCards(file);
        ASSERT_EQ(cards.size(), 1u);
        EXPECT_EQ(cards[0].sFamilyName, "G\u00f6tz");
        EXPECT_EQ(cards[0].sGivenName, "J\u00f6rg");
        EXPECT_TRUE(LooksLikeVCard(file));
    }
    // A character set named per property, 8-bit and without quoted-printable.
    const auto latin2 = ReadVCards("BEGIN:VCARD\nN;CHARSET=ISO-8859-2:\xB3\xF3"
                                   "d\xBC\nEND:VCARD");
    ASSERT_EQ(latin2.size(), 1u);
    EXPECT_EQ(latin2[0].sFamilyName, "\u0142\u00f3d\u017a");
}

TEST(VCardReader, GarbageGivesNoCardsAndNoCrash) {
    for (const std::string& bytes :
         {std::string(), std::string("BEGIN:VCARD"), std::string("END:VCARD\nEND:VCARD\n"),
          std::string("\xFF\xFE\x42"), std::string("BEGIN:VCARD\nN;\"unterminated:x\nTEL;:=\n"),
          std::string("BEGIN:VCARD\nNOTE;QUOTED-PRINTABLE:=\n"), std::string(1000, '\n'),
          std::string("\0\0\0BEGIN", 8)}) {
        EXPECT_NO_THROW(ReadVCards(bytes));
    }
    EXPECT_EQ(ReadVCards("hello\nworld\n").size(), 0u);
    EXPECT_FALSE(LooksLikeVCard("Name,Vorname\n"));
}
