// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Anruf.h"
#include "db/CallerNames.h"
#include "db/Contact.h"

#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One card of the server's address book as kept locally: where it lives, its version, and
// the phone-book rows it stands for (one per number, texts in table bytes as the import makes
// them).
struct tServerCard {
    std::string sHref; // path on the server, as the server names it
    std::string sEtag;
    std::vector<tAnruf> aRows;
};

// The local copy of an address book on a server: the cards by href, the collection's version
// marks for the next sync, and an index from a number's digits to its row. Lookups use the
// same digit-exact fit and own-area-code rule as the phone book. The text form (Serialize /
// Parse) is what the cache file holds; writing it is the caller's job.
class CServerContacts : public ICallerNames {
public:
    // The address the user gave (a server or the collection itself), the collection found
    // there, and its version marks.
    std::string sSourceUrl;
    std::string sCollectionUrl;
    std::string sCtag;
    std::string sSyncToken;

    // The rows for a contact as the import would add them to the phone book.
    static std::vector<tAnruf> RowsOf(const tContact& contact);

    void Put(tServerCard card); // replaces the card of the same href
    void Remove(const std::string& href);
    const tServerCard* Find(const std::string& href) const;
    const std::map<std::string, tServerCard>& Cards() const { return aCards; }
    size_t CardCount() const { return aCards.size(); }
    void Clear();

    bool NameCaller(tAnruf& caller, const std::string& calling) const override;
    const char* SourceName() const override { return "CardDAV"; }
    // The row for the calling number, as it would go into the phone book; false when none.
    bool FindRow(const std::string& calling, tAnruf& row) const;

    // Builds the number index now rather than on the first lookup (after a sync, so that a
    // call never waits for it); a later change of the own area code builds it again.
    void PrepareLookups() const;

    std::string Serialize() const;
    // Replaces the contents with the text of a cache file. False (contents cleared, `error` in
    // German) when the text is not one.
    bool Parse(std::string_view text, std::string& error);

private:
    void Reindex() const;

    std::map<std::string, tServerCard> aCards; // by href: a fixed order for numbers twice
    // Built on the first lookup after a change, and again when the own area code changed.
    mutable std::unordered_map<std::string, const tAnruf*> aByNumber;
    mutable bool bIndexed = false;
    mutable std::string sIndexedAreaCode;
};
