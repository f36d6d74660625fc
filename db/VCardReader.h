// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/Contact.h"

#include <string_view>
#include <vector>

// Reads vCards 2.1, 3.0 and 4.0 from the bytes of a file or of a server's answer: one card or
// many, UTF-8 with or without BOM, UTF-16 with BOM, or Windows-1252 when the bytes are not
// UTF-8; CR LF, LF or a lone CR as line ends; folded lines; QUOTED-PRINTABLE with its CHARSET
// (soft line breaks may split a character); parameters with and without names (TEL;CELL,
// TEL;TYPE=cell, TEL;VALUE=uri:tel:...); item groups with their X-ABLabel. Properties that are
// not read (PHOTO, LOGO, SOUND, KEY ...) are passed over without being decoded.
//
// Never fails: text that is not a card is ignored, a card without name and number is still
// returned (the importer decides what to keep). Cards come in file order, numbers in card order.
std::vector<tContact> ReadVCards(std::string_view bytes);

// True when the bytes look like vCards (a BEGIN:VCARD line near the start), for telling files
// apart by content rather than by their name.
bool LooksLikeVCard(std::string_view bytes);
