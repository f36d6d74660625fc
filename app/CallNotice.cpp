// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CallNotice.h"

#include "db/NumberFormat.h"
#include "db/TableText.h"

#include <ctime>

namespace {

bool NumberWithheld(const CallEvent& event) {
    return event.calling.size() <= 1;
}

std::string Join(std::string a, const std::string& separator, const std::string& b) {
    if (a.empty()) return b;
    if (b.empty()) return a;
    return a + separator + b;
}

// "am 09.12.2026 um 14:03 Uhr", the local time the call rang.
std::string RingTimeText(int32_t ringTime) {
    const std::time_t t = ringTime;
    std::tm tm{};
    if (ringTime <= 0 || !localtime_r(&t, &tm)) return {};
    char text[48];
    std::strftime(text, sizeof text, "am %d.%m.%Y um %H:%M Uhr", &tm);
    return text;
}

} // namespace

std::string NoticeCallerName(const CallEvent& event) {
    // Unknown callers carry their number (or the note that none came) as their name.
    if (!event.known || NumberWithheld(event)) return "Unbekannt";
    const tAnruf& c = event.caller;
    return TableToUtf8(Join(c.sVorname, " ", c.sName));
}

std::string NoticeBody(const CallEvent& event) {
    const tAnruf& c = event.caller;
    // The numbers come as the line sent them: read as table text, so that any byte a line
    // may send still gives valid UTF-8.
    const std::string number = NumberWithheld(event) ? std::string("Keine Rufnummer übermittelt")
                                                     : TableToUtf8(NumberForPeople(event.calling));
    const std::string called = TableToUtf8(event.called);
    // The caller's own town when the phone book has one, else where the number is from or
    // what kind of number it is ("Mobilfunk").
    const std::string place = TableToUtf8(c.sOrt.empty() ? c.sAvonOrt : c.sOrt);
    std::string body = Join(number, " · ", place);
    if (!event.called.empty()) {
        // The phone book's or the MSN page's name of the own number, with the number itself.
        const std::string name = TableToUtf8(c.sGerufener);
        body +=
            "\nfür " +
            (name.empty() || c.sGerufener == event.called ? called : name + " (" + called + ")");
    }
    return body;
}

std::optional<TCallNotice> NoticeFor(const CallEvent& event) {
    TCallNotice notice;
    notice.hasNumber = !NumberWithheld(event);
    const std::string name = NoticeCallerName(event);
    notice.body = NoticeBody(event);
    switch (event.kind) {
    case CallEventKind::Ringing:
        notice.summary = "Anruf von " + name;
        notice.category = "x-callbeacon.call.ringing";
        return notice;
    case CallEventKind::AnsweredHere:
    case CallEventKind::AnsweredElsewhere:
        notice.summary = "Anruf von " + name + " angenommen";
        if (!event.device.empty()) notice.body += "\nangenommen an " + TableToUtf8(event.device);
        notice.category = "x-callbeacon.call.answered";
        return notice;
    case CallEventKind::Missed:
        notice.summary = "Verpasster Anruf von " + name;
        if (const std::string when = RingTimeText(event.ringTime); !when.empty())
            notice.body += "\n" + when;
        notice.category = "x-callbeacon.call.missed";
        notice.stays = true;
        return notice;
    case CallEventKind::Ended:
        break;
    }
    return std::nullopt;
}

std::string EscapeNoticeMarkup(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        switch (ch) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out.push_back(ch);
        }
    }
    return out;
}
