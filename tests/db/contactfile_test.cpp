// SPDX-License-Identifier: GPL-3.0-or-later
// Router phone books and CSV exports of Google and Outlook, each variant written here.
#include "db/ContactFile.h"
#include "db/TableText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// UTF-8 test text as Windows-1252 bytes.
std::string Ansi(const std::string& utf8) {
    std::string out;
    EXPECT_TRUE(Utf8ToTable(utf8, out));
    return out;
}

std::string RouterBook(const std::string& encoding, const std::string& name) {
    return "<?xml version=\"1.0\" encoding=\"" + encoding +
           "\"?>\n<phonebooks>\n<phonebook name=\"Telefonbuch\">\n"
           "<contact><category>0</category><person><realName>" +
           name +
           "</realName></person>"
           "<telephony nid=\"4\">"
           "<number type=\"home\" prio=\"1\" id=\"0\" quickdial=\"12\" vanity=\"\">030 "
           "1234</number>"
           "<number type=\"mobile\" prio=\"0\" id=\"1\">0171/999</number>"
           "<number type=\"fax_work\" id=\"2\">030 1235</number>"
           "<number type=\"work\" id=\"3\"></number>"
           "<number type=\"intern\" id=\"4\">**610</number>"
           "</telephony><services><email classifier=\"private\">w@example.org</email></services>"
           "<setup/><mod_time>1700000000</mod_time><uniqueid>17</uniqueid></contact>\n"
           "<contact><person><realName>Zweiter</realName></person><telephony>"
           "<number type=\"label:Boot\">0800 1</number></telephony></contact>\n"
           "</phonebook>\n</phonebooks>\n";
}

} // namespace

TEST(ContactFile, RouterPhoneBookInItsDeclaredEncodings) {
    const std::string name = "Gr\u00e4fin \u00d6\u00dfterle";
    for (const std::string& file :
         {RouterBook("utf-8", name), "\xEF\xBB\xBF" + RouterBook("UTF-8", name),
          Ansi(RouterBook("ISO-8859-1", name)),
          Ansi(RouterBook("windows-1252", name + " \u20ac"))}) {
        const tContactFile read = ReadContactFile(file);
        ASSERT_EQ(read.sError, "");
        EXPECT_EQ(read.sFormat, "Router-Telefonbuch (XML)");
        ASSERT_EQ(read.aContacts.size(), 2u);
        const tContact& c = read.aContacts[0];
        EXPECT_TRUE(c.sFormattedName.starts_with(name)) << c.sFormattedName;
        EXPECT_EQ(c.sEmail, "w@example.org");
        ASSERT_EQ(c.aNumbers.size(), 4u); // the empty work number is left out
        EXPECT_EQ(c.aNumbers[0].kind, NumberKind::Home);
        EXPECT_EQ(c.aNumbers[0].sNumber, "030 1234");
        EXPECT_EQ(c.aNumbers[1].kind, NumberKind::Mobile);
        EXPECT_EQ(c.aNumbers[2].kind, NumberKind::Fax);
        EXPECT_EQ(c.aNumbers[3].sLabel, "Intern");
        EXPECT_EQ(read.aContacts[1].aNumbers.size(), 1u);
    }
    // Declared Latin-1, written the Windows way: "€" is byte 0x80.
    const tContactFile euro = ReadContactFile(Ansi(RouterBook("ISO-8859-1", "Caf\u00e9 \u20ac")));
    ASSERT_EQ(euro.aContacts.size(), 2u);
    EXPECT_EQ(euro.aContacts[0].sFormattedName, "Caf\u00e9 \u20ac");
    const tContactFile broken = ReadContactFile("<?xml version=\"1.0\"?>\n<phonebooks>\n<contact>");
    EXPECT_NE(broken.sError.find("Zeile"), std::string::npos) << broken.sError;
    EXPECT_TRUE(broken.aContacts.empty());
}

TEST(ContactFile, OutlookExportsInEnglishAndGerman) {
    const std::string english =
        "First Name,Middle Name,Last Name,Company,Home Street,Home City,Home Postal Code,"
        "Business Phone,Home Phone,Mobile Phone,Business Fax,E-mail Address,Notes\r\n"
        "Hans,,M\u00fcller,ACME,\"Ring 1\r\nHinterhaus\",K\u00f6ln,50667,0221 111,0221 222,"
        "0171 333,0221 444,h@example.org,\"sagt \"\"Hallo\"\"\"\r\n"
        "Kurz,,Zeile\r\n"
        "Lang,,Zeile,,,,,,,01 5,,,,zu,viel,Zellen\r\n";
    const std::string german =
        "Vorname;Weitere Vornamen;Nachname;Firma;Stra\u00dfe privat;Ort privat;"
        "Postleitzahl privat;Telefon gesch\u00e4ftlich;Telefon privat;Mobiltelefon;"
        "Fax gesch\u00e4ftlich;E-Mail-Adresse;Notizen\r\n"
        "Hans;;M\u00fcller;ACME;\"Ring 1\r\nHinterhaus\";K\u00f6ln;50667;0221 111;0221 222;"
        "0171 333;0221 444;h@example.org;\"sagt \"\"Hallo\"\"\"\r\n"
        "Kurz;;Zeile\r\n"
        "Lang;;Zeile;;;;;;;01 5;;;;zu;viel;Zellen\r\n";
    for (const std::string& file : {english, german, "\xEF\xBB\xBF" + german, Ansi(german)}) {
        const tContactFile read = ReadContactFile(file);
        ASSERT_EQ(read.sError, "");
        ASSERT_EQ(read.aContacts.size(), 3u);
        const tContact& c = read.aContacts[0];
        EXPECT_EQ(c.sGivenName, "Hans");
        EXPECT_EQ(c.sFamilyName, "M\u00fcller");
        EXPECT_EQ(c.sOrganization, "ACME");
        EXPECT_EQ(c.sStreet, "Ring 1,,Hinterhaus");
        EXPECT_EQ(c.sTown, "K\u00f6ln");
        EXPECT_EQ(c.sPostcode, "50667");
        EXPECT_EQ(c.sEmail, "h@example.org");
        EXPECT_EQ(c.sNote, "sagt \"Hallo\"");
        ASSERT_EQ(c.aNumbers.size(), 4u);
        // In the order of the columns.
        EXPECT_EQ(c.aNumbers[0].kind, NumberKind::Work);
        EXPECT_EQ(c.aNumbers[0].sNumber, "0221 111");
        EXPECT_EQ(c.aNumbers[1].kind, NumberKind::Home);
        EXPECT_EQ(c.aNumbers[2].kind, NumberKind::Mobile);
        EXPECT_EQ(c.aNumbers[2].sNumber, "0171 333");
        EXPECT_EQ(c.aNumbers[3].kind, NumberKind::Fax);
        EXPECT_TRUE(read.aContacts[1].aNumbers.empty());
        ASSERT_EQ(read.aContacts[2].aNumbers.size(), 1u);
        EXPECT_EQ(read.aContacts[2].aNumbers[0].kind, NumberKind::Mobile);
    }
}

TEST(ContactFile, GoogleExportWithSeveralValuesInOneCell) {
    const std::string file =
        "Name,Given Name,Family Name,Organization 1 - Name,E-mail 1 - Value,"
        "Phone 1 - Type,Phone 1 - Value,Phone 2 - Type,Phone 2 - Value,"
        "Address 1 - Street,Address 1 - City,Address 1 - Postal Code\n"
        "Eva Stra\u00dfer,Eva,Stra\u00dfer,,eva@example.org,* Mobile,+49 171 1 ::: +49 171 2,"
        "Work Fax,089 55,Weg 2,Ulm,89073\n"
        "\"Nur, Firma\",,,Firma X,,Hausboot,0800 7,,,,,\n";
    const tContactFile read = ReadContactFile(file);
    ASSERT_EQ(read.sError, "");
    ASSERT_EQ(read.aContacts.size(), 2u);
    const tContact& e = read.aContacts[0];
    EXPECT_EQ(e.sFormattedName, "Eva Stra\u00dfer");
    ASSERT_EQ(e.aNumbers.size(), 3u);
    EXPECT_EQ(e.aNumbers[0].sNumber, "+49 171 1");
    EXPECT_EQ(e.aNumbers[1].sNumber, "+49 171 2");
    EXPECT_EQ(e.aNumbers[1].kind, NumberKind::Mobile);
    EXPECT_EQ(e.aNumbers[2].kind, NumberKind::Fax);
    EXPECT_EQ(e.sTown, "Ulm");
    const tContact& f = read.aContacts[1];
    EXPECT_EQ(f.sFormattedName, "Nur, Firma");
    ASSERT_EQ(f.aNumbers.size(), 1u);
    EXPECT_EQ(f.aNumbers[0].sLabel, "Hausboot");
}

TEST(ContactFile, UnknownFilesGiveAGermanMessage) {
    EXPECT_EQ(ReadContactFile("").sError, "Die Datei ist leer.");
    const tContactFile csv = ReadContactFile("a,b,c\n1,2,3\n");
    EXPECT_NE(csv.sError.find("Kopfzeile"), std::string::npos);
    EXPECT_TRUE(ReadContactFile(std::string_view("\x89PNG\r\n\x1a\n\0\0", 10)).aContacts.empty());
}
