// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <string>

// The phone book as vCard 4.0 (UTF-8, CR LF, lines folded at 75 bytes): one card per contact,
// where the active rows with the same name, first name, address, e-mail, contact person and
// note (INFO after its kind word) are one contact, and each row's number a TEL whose TYPE
// comes from the kind at the start of its INFO. Importing the result gives the same rows.
// False with a German `error` when the table cannot be read; `cards` receives the number of
// cards written.
bool PhoneBookToVCards(const std::string& phoneBook, std::string& vcards, size_t& cards,
                       std::string& error);
