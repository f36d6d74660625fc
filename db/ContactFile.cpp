// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/ContactFile.h"

#include "db/ContactCsvReader.h"
#include "db/RouterPhoneBookReader.h"
#include "db/VCardReader.h"

tContactFile ReadContactFile(std::string_view bytes) {
    tContactFile file;
    if (bytes.empty()) {
        file.sError = "Die Datei ist leer.";
        return file;
    }
    if (LooksLikeVCard(bytes)) {
        file.sFormat = "vCard";
        file.aContacts = ReadVCards(bytes);
    } else if (LooksLikeXml(bytes)) {
        file.sFormat = "Router-Telefonbuch (XML)";
        file.aContacts = ReadRouterPhoneBook(bytes, file.sError);
    } else {
        file.sFormat = "CSV";
        file.aContacts = ReadContactCsv(bytes, file.sError);
    }
    return file;
}
