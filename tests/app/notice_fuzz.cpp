// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary bytes as what a call brings into its notification: the calling and called
// numbers from the line and the table texts of the phone book. The texts must come out as
// valid UTF-8, and escaped bodies without anything a markup server would read as markup.
#include "app/CallNotice.h"
#include "db/NumberFormat.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool ValidUtf8(const std::string& text) {
    const QString decoded = QString::fromUtf8(text);
    return decoded.toUtf8() == QByteArray::fromStdString(text);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Fields separated by zero bytes: calling, called, name, first name, town, own number's name.
    std::string fields[6];
    int field = 0;
    for (size_t i = 0; i < size && field < 6; ++i) {
        if (data[i] == 0)
            ++field;
        else
            fields[field].push_back(static_cast<char>(data[i]));
    }
    (void)NumberForPeople(fields[0]);
    CallEvent event;
    event.calling = fields[0];
    event.called = fields[1];
    event.caller.sName = fields[2];
    event.caller.sVorname = fields[3];
    event.caller.sAvonOrt = fields[4];
    event.caller.sGerufener = fields[5];
    event.known = size % 2 == 0;
    event.ringTime = static_cast<int32_t>(size * 1000003u);
    for (CallEventKind kind : {CallEventKind::Ringing, CallEventKind::AnsweredElsewhere,
                               CallEventKind::Ended, CallEventKind::Missed}) {
        event.kind = kind;
        const auto notice = NoticeFor(event);
        if (!notice) continue;
        if (!ValidUtf8(notice->summary) || !ValidUtf8(notice->body)) std::abort();
        const std::string escaped = EscapeNoticeMarkup(notice->body);
        if (escaped.find('<') != std::string::npos || escaped.find('>') != std::string::npos)
            std::abort();
    }
    return 0;
}
