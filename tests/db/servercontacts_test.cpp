// SPDX-License-Identifier: GPL-3.0-or-later
// The server's multistatus answers as they are read, and the local copy of the address book:
// its file form, damaged files, and lookups by the phone book's rules.
#include "db/CardDavXml.h"
#include "db/NumberMatch.h"
#include "db/ServerContacts.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::string Seed(const char* name) {
    return cbtest::ReadWholeFile(std::string(CB_TEST_SOURCE_DIR) +
                                 "/tests/fuzz-seeds/fuzz_carddavxml/" + name);
}

TEST(MultistatusParser, ReadsWhatServersAnswerWhateverTheirPrefixes) {
    const tMultistatus discovery = ParseMultistatus(Seed("discovery.xml"));
    ASSERT_TRUE(discovery.bOk) << discovery.sError;
    ASSERT_EQ(discovery.aResponses.size(), 1u);
    const tDavResponse& root = discovery.aResponses[0];
    EXPECT_EQ(root.sPrincipal, "/anna/");
    EXPECT_EQ(root.sHomeSet, "/anna/");
    EXPECT_EQ(root.sCtag, "\"1\"");
    EXPECT_TRUE(root.bAddressBook);
    EXPECT_TRUE(root.bSyncCollection);
    EXPECT_EQ(root.sSyncToken, ""); // under a propstat of 404: not there

    const tMultistatus sync = ParseMultistatus(Seed("sync-collection.xml"));
    ASSERT_TRUE(sync.bOk);
    EXPECT_EQ(sync.sSyncToken, "http://radicale.org/ns/sync/42");
    ASSERT_EQ(sync.aResponses.size(), 2u);
    EXPECT_EQ(sync.aResponses[0].sEtag, "\"e2\"");
    EXPECT_EQ(sync.aResponses[1].sHref, "/anna/buch/c.vcf");
    EXPECT_EQ(sync.aResponses[1].iStatus, 404);

    const tMultistatus cards = ParseMultistatus(Seed("multiget.xml"));
    ASSERT_TRUE(cards.bOk);
    ASSERT_EQ(cards.aResponses.size(), 1u);
    EXPECT_NE(cards.aResponses[0].sAddressData.find("TEL:0221 9876543"), std::string::npos);
}

TEST(MultistatusParser, RefusesWhatIsNoAnswer) {
    const struct {
        std::string xml;
        const char* told;
    } bad[] = {
        {"", "kein gültiges XML"},
        {"<multistatus xmlns=\"DAV:\"><response>", "kein gültiges XML"},
        {"<multistatus><response/></multistatus>", "keine WebDAV"}, // not in the DAV: namespace
        {"<?xml version=\"1.0\"?><!DOCTYPE m [<!ENTITY a \"x\">]><m/>", "Entity"},
        {std::string(200, '<'), "kein gültiges XML"},
        {[] {
             std::string deep = "<multistatus xmlns=\"DAV:\">";
             for (int i = 0; i < 100; ++i)
                 deep += "<a>";
             return deep;
         }(),
         "verschachtelt"},
    };
    for (const auto& b : bad) {
        const tMultistatus answer = ParseMultistatus(b.xml);
        EXPECT_FALSE(answer.bOk) << b.xml;
        EXPECT_TRUE(answer.aResponses.empty());
        EXPECT_NE(answer.sError.find(b.told), std::string::npos) << answer.sError;
    }
}

tServerCard Card(const std::string& href, const std::string& family, const std::string& number) {
    tContact contact;
    contact.sFamilyName = family;
    contact.sGivenName = "Jörg";
    contact.sNote = "Zeile eins\nZeile\tzwei \\ drei";
    contact.aNumbers.push_back({number, NumberKind::Mobile, ""});
    return {href, "\"" + href + "\"", CServerContacts::RowsOf(contact)};
}

TEST(ServerContacts, NamesCallersByThePhoneBooksRulesAndSurvivesItsFile) {
    CServerContacts contacts;
    contacts.sSourceUrl = "https://cloud.example.org/";
    contacts.sCollectionUrl = "https://cloud.example.org/anna/buch/";
    contacts.sSyncToken = "token\twith tab";
    contacts.Put(Card("/b.vcf", "Becker", "+49 (0)30 1234567"));
    contacts.Put(Card("/a.vcf", "Albers", "030/1234567")); // the same number: href order wins
    contacts.Put(Card("/c.vcf", "Conrad", "555 1234"));

    tAnruf caller;
    caller.sGerufener = "4711";
    ASSERT_TRUE(contacts.NameCaller(caller, "0301234567"));
    EXPECT_EQ(caller.sName, "Albers");
    EXPECT_EQ(caller.sVorname, "J\xf6rg"); // table bytes, as the phone book holds them
    EXPECT_EQ(caller.sGerufener, "4711");
    EXPECT_EQ(caller.iRecNo, kNoRecord);
    EXPECT_FALSE(contacts.NameCaller(caller, "030123456"));
    EXPECT_FALSE(contacts.NameCaller(caller, "0"));
    EXPECT_FALSE(contacts.NameCaller(caller, "0895551234"));
    SetOwnAreaCode("089"); // the index follows the own area code
    EXPECT_TRUE(contacts.NameCaller(caller, "0895551234"));
    SetOwnAreaCode("");

    contacts.Remove("/a.vcf");
    ASSERT_TRUE(contacts.NameCaller(caller, "0301234567"));
    EXPECT_EQ(caller.sName, "Becker");

    CServerContacts again;
    std::string error;
    ASSERT_TRUE(again.Parse(contacts.Serialize(), error)) << error;
    EXPECT_EQ(again.Serialize(), contacts.Serialize());
    EXPECT_EQ(again.sSyncToken, "token\twith tab");
    EXPECT_EQ(again.Find("/b.vcf")->aRows.at(0).sInfo, contacts.Find("/b.vcf")->aRows.at(0).sInfo);

    // A file cut short or damaged is refused as a whole, never half taken.
    const std::string text = contacts.Serialize();
    for (const std::string& damaged :
         {text.substr(0, text.size() - 4), text.substr(0, text.size() / 2),
          std::string("CallBeacon CardDAV-Kopie 1\nrow\tx\n"), std::string("Unsinn"),
          std::string("CallBeacon CardDAV-Kopie 1\nkarte\n")}) {
        CServerContacts broken;
        EXPECT_FALSE(broken.Parse(damaged, error)) << damaged;
        EXPECT_EQ(broken.CardCount(), 0u);
        EXPECT_FALSE(error.empty());
    }
}

} // namespace
