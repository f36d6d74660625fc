// SPDX-License-Identifier: GPL-3.0-or-later
// What a call's desktop notification says at each event of the call.
#include "app/CallNotice.h"

#include <gtest/gtest.h>

namespace {

CallEvent KnownCall(CallEventKind kind) {
    CallEvent e;
    e.kind = kind;
    e.calling = "0891234567";
    e.called = "4711";
    e.known = true;
    e.caller.sVorname = "J\xFCrgen"; // table text: Windows-1252
    e.caller.sName = "M\xFCller";
    e.caller.sOrt = "M\xFCnchen";
    e.caller.sAvonOrt = "M\xFCnchen";
    e.caller.sGerufener = "B\xFCro"; // as the MSN page names it
    return e;
}

CallEvent UnknownCall(CallEventKind kind, const std::string& calling) {
    CallEvent e;
    e.kind = kind;
    e.calling = calling;
    e.called = "4711";
    e.caller.sName = calling;
    e.caller.sGerufener = "4711"; // not named anywhere
    return e;
}

} // namespace

// The ring's own text is checked against a real notification server (test_notifications);
// here what that test does not reach: table texts, the answering telephone, the time of a
// missed call, withheld numbers and markup.
TEST(CallNotice, EachEventOfACallHasItsText) {
    CallEvent answered = KnownCall(CallEventKind::AnsweredElsewhere);
    answered.device = "2";
    const auto taken = NoticeFor(answered);
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->summary, "Anruf von Jürgen Müller angenommen");
    EXPECT_EQ(taken->body, "089 1234567 · München\nfür Büro (4711)\nangenommen an 2");
    EXPECT_FALSE(taken->stays);

    // The end of an answered call leaves its notice as it is.
    EXPECT_FALSE(NoticeFor(KnownCall(CallEventKind::Ended)));

    CallEvent missed = UnknownCall(CallEventKind::Missed, "01711234567");
    missed.caller.sAvonOrt = "Mobilfunk";
    missed.ringTime = 946684799; // 1999-12-31 23:59:59 UTC
    setenv("TZ", "UTC", 1);
    tzset();
    const auto lost = NoticeFor(missed);
    ASSERT_TRUE(lost);
    EXPECT_EQ(lost->summary, "Verpasster Anruf von Unbekannt");
    EXPECT_EQ(lost->body, "0171 1234567 · Mobilfunk\nfür 4711\nam 31.12.1999 um 23:59 Uhr");
    EXPECT_TRUE(lost->stays);
    EXPECT_EQ(lost->category, "x-callbeacon.call.missed");
}

TEST(CallNotice, WithheldNumbersAndMarkup) {
    CallEvent withheld = UnknownCall(CallEventKind::Ringing, "0");
    withheld.caller.sName = "Keine Rufnr. \xFC"
                            "bermittelt";
    withheld.called.clear();
    const auto notice = NoticeFor(withheld);
    ASSERT_TRUE(notice);
    EXPECT_EQ(notice->summary, "Anruf von Unbekannt");
    EXPECT_EQ(notice->body, "Keine Rufnummer übermittelt");
    EXPECT_FALSE(notice->hasNumber); // nothing to put in the phone book

    // A name from the phone book can hold what a markup server would read as markup.
    CallEvent odd = KnownCall(CallEventKind::Ringing);
    odd.caller.sName = "<b>Smith & Sons</b>";
    odd.caller.sVorname.clear();
    EXPECT_EQ(NoticeFor(odd)->summary, "Anruf von <b>Smith & Sons</b>");
    EXPECT_EQ(EscapeNoticeMarkup("<b>Smith & Sons</b>"), "&lt;b&gt;Smith &amp; Sons&lt;/b&gt;");
}
