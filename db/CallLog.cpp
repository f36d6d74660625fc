// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/CallLog.h"

#include "db/CBase.h"
#include "db/TableErrors.h"
#include "platform/ErrorBox.h"
#include "platform/FileNames.h"
#include "platform/Trace.h"

namespace {

constexpr const char* kNotFoundText = "Anrufer Datenbank nicht gefunden/geöffnet";

// Set from the first call that could not be logged until one is logged again: the user hears
// of a failing log once, not with every call.
bool bLogFailing = false;

bool OpenCallLog(CBase& table) {
    if (table.Open(kCallLogFile)) return true;
    cb::ShowErrorBox(kNotFoundText);
    return false;
}

// Every lost call leaves its reason in the trace; the box comes once per episode. A table
// that cannot be opened keeps its own box text.
void ReportLostCall(const CBase& table, const char* boxText = nullptr) {
    const std::string text =
        "Anruf konnte nicht gespeichert werden: " +
        DescribeTableError(cb::ExistingSpelling(kCallLogFile), table.LastError());
    cb::Trace(text);
    if (bLogFailing) return;
    // Set before the box: calls that come while it is open belong to the same episode.
    bLogFailing = true;
    cb::ShowErrorBox(boxText ? boxText : text);
}

void MarkCurrent(CBase& table) {
    table.PutField("ANG", "J");
    table.Write();
}

} // namespace

void AddCallLogFields(CBase& table) {
    table.AddField(0, "ZEIT", 'C', 10, 0);
    table.AddField(1, "ANRUFER", 'C', 20, 0);
    table.AddField(2, "GERUFENER", 'C', 20, 0);
    table.AddField(3, "ANG", 'C', 1, 0);
}

int32_t LogCall(const std::string& calling, const std::string& called, int32_t time) {
    CBase table;
    if (!table.Open(kCallLogFile)) {
        ReportLostCall(table, kNotFoundText);
        return -1;
    }
    table.PutField("ZEIT", std::to_string(time));
    table.PutField("ANRUFER", calling);
    table.PutField("GERUFENER", called);
    table.PutField("ANG", " ");
    if (table.Append() != 1) {
        ReportLostCall(table);
        return -1;
    }
    bLogFailing = false;
    return static_cast<int32_t>(table.RecCount() - 1);
}

void MarkAnswered(int32_t recNo) {
    CBase table;
    if (!OpenCallLog(table)) return;
    if (table.GoTo(recNo) == -1) return;
    MarkCurrent(table);
}

bool MarkAnsweredCall(int32_t recNo, int32_t time, const std::string& calling) {
    return MarkAnsweredCall(recNo, std::to_string(time), calling);
}

bool MarkAnsweredCall(int32_t recNo, const std::string& zeit, const std::string& calling) {
    CBase table;
    if (!OpenCallLog(table)) return false;

    // The values as LogCall stored them: cut to the columns' widths, trailing blanks gone.
    table.PutField("ZEIT", zeit);
    table.PutField("ANRUFER", calling);
    const std::string wantZeit = table.GetField("ZEIT");
    const std::string wantCalling = table.GetField("ANRUFER");
    auto holdsCall = [&](int64_t n) {
        return table.GoTo(n) != -1 && table.GetField("ZEIT") == wantZeit &&
               table.GetField("ANRUFER") == wantCalling;
    };

    if (recNo >= 0 && holdsCall(recNo)) {
        MarkCurrent(table);
        return true;
    }
    // Packing or a conversion moved it; the newest match is the call just ended.
    for (int64_t n = static_cast<int64_t>(table.RecCount()) - 1; n >= 0; --n) {
        if (holdsCall(n)) {
            MarkCurrent(table);
            return true;
        }
    }
    return false;
}
