// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CallEvent.h"

#include <cstdint>
#include <optional>
#include <string>

// What a desktop notification about a call says, in UTF-8, independent of how it is sent.
struct TCallNotice {
    std::string summary; // "Anruf von Klaus Meier", "Verpasster Anruf von Unbekannt"
    std::string body;    // number, place, the own number that was called; one per line
    std::string category;
    // A missed call stays until the user acts: no time-out, and kept after an action.
    bool stays = false;
    // The caller's number is known, so it can go into the phone book.
    bool hasNumber = false;
};

// The notice for this event of a call, or nothing when the event leaves the notification as
// it is (the end of a call that was answered).
std::optional<TCallNotice> NoticeFor(const CallEvent& event);

// The lines of a notice's body, each without markup.
std::string NoticeCallerName(const CallEvent& event);
std::string NoticeBody(const CallEvent& event);

// `text` with the characters that notification markup would take as markup written as
// entities, for servers that read the body as markup.
std::string EscapeNoticeMarkup(const std::string& text);
