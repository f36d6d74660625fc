// SPDX-License-Identifier: GPL-3.0-or-later
#include "ListLines.h"

#include "core/Settings.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "db/CallerNames.h"
#include "db/PhoneBookCache.h"
#include "platform/ErrorBox.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <limits>

std::string GetTabField(std::string_view line, int n) {
    size_t pos = 0;
    int tabs = 0;
    while (pos < line.size() && tabs < n) {
        if (line[pos] == '\t') ++tabs;
        ++pos; // steps over the n-th tab as well
    }
    if (tabs < n) return {};
    const size_t end = line.find('\t', pos);
    return std::string(
        line.substr(pos, end == std::string_view::npos ? line.size() - pos : end - pos));
}

int64_t LastTabNumber(std::string_view line) {
    const size_t tab = line.rfind('\t');
    if (tab == std::string_view::npos) return -1;
    const std::string_view digits = line.substr(tab + 1);
    int64_t value = -1;
    const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || ptr != digits.data() + digits.size() || value < 0) return -1;
    return value;
}

namespace {

// A tab inside a table text would shift every later field of the line, and the actions would
// then take the wrong numbers out of it.
void AppendField(std::string& line, std::string_view text) {
    for (char c : text)
        line.push_back(c == '\t' ? ' ' : c);
}

} // namespace

int64_t ParseZeit(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) negative = text[pos++] == '-';
    int64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > std::numeric_limits<int32_t>::max()) return 0; // not a 32-bit time
    }
    return negative ? -value : value;
}

std::string AnruferLine(int64_t zeit, bool deleted, const tAnruf& names, std::string_view ang,
                        std::string_view anrufer, std::string_view gerufener, int64_t recNo) {
    std::tm tm{};
    const std::time_t t = static_cast<std::time_t>(zeit);
    if (!localtime_r(&t, &tm)) tm = std::tm{};
    char head[64];
    std::snprintf(head, sizeof head, "%2.2d.%2.2d.%d\t%2.2d:%2.2d%s\t", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min, deleted ? kDeletedMarker : "");
    std::string line = head;
    line.reserve(line.size() + names.sVorname.size() + names.sName.size() +
                 names.sGerufener.size() + anrufer.size() + gerufener.size() + 24);
    if (!names.sVorname.empty()) {
        AppendField(line, names.sVorname);
        line.push_back(' ');
    }
    AppendField(line, names.sName);
    line.push_back('\t');
    AppendField(line, names.sGerufener);
    line.push_back('\t');
    AppendField(line, ang);
    line.push_back('\t');
    AppendField(line, anrufer);
    line.push_back('\t');
    AppendField(line, gerufener);
    line.push_back('\t');
    line += std::to_string(recNo);
    return line;
}

std::string TeilnehmerLine(std::string_view name, std::string_view vorname,
                           std::string_view strasse, std::string_view plz, std::string_view ort,
                           std::string_view telefon, int64_t recNo, bool deleted) {
    std::string line;
    line.reserve(name.size() + vorname.size() + strasse.size() + plz.size() + ort.size() +
                 telefon.size() + 20);
    AppendField(line, name);
    if (deleted) line += kDeletedMarker;
    line.push_back('\t');
    for (std::string_view field : {vorname, strasse, plz, ort, telefon}) {
        AppendField(line, field);
        line.push_back('\t');
    }
    line += std::to_string(recNo);
    return line;
}

std::vector<std::string> BuildAnruferLines(bool showDeleted, bool onlyUnanswered) {
    std::vector<std::string> lines;
    CBase table;
    if (!table.Open(kCallLogFile)) {
        cb::ShowErrorBox(kAnruferFehlt);
        return lines;
    }
    // The tables cannot change during one pass, so one snapshot of the phone book names every
    // call; it is read when the first shown call needs it.
    CPhoneBookCache phoneBook;
    bool phoneBookTried = false;
    tAnruf names;                            // reused: a failed lookup leaves it as it was
    const auto second = SecondCallerNames(); // the address book on a server, after the table
    const int64_t count = table.RecCount();
    lines.reserve(size_t(count));
    for (int64_t n = count - 1; n >= 0; --n) {
        const int state = table.GoTo(n);
        if (state == -1 || (state == 0 && !showDeleted)) continue;
        const int64_t zeit = ParseZeit(table.GetField("ZEIT"));
        const std::string anrufer = table.GetField("ANRUFER");
        const std::string gerufener = table.GetField("GERUFENER");
        const std::string ang = table.GetField("ANG");
        if (onlyUnanswered && ang == "J") continue;
        if (!phoneBookTried) {
            phoneBookTried = true;
            if (!phoneBook.Load()) cb::ShowErrorBox(kAdressenFehlt);
        }
        if (!phoneBook.LookupCaller(names, anrufer, gerufener) && second && phoneBook.IsLoaded())
            second->NameCaller(names, anrufer);
        NameOwnNumber(names.sGerufener, gerufener);
        lines.push_back(AnruferLine(zeit, state == 0, names, ang, anrufer, gerufener, n));
    }
    table.Close();
    return lines;
}

std::vector<std::string> BuildTeilnehmerLines(bool showDeleted) {
    std::vector<std::string> lines;
    CBase table;
    if (!table.Open(kPhoneBookFile)) {
        cb::ShowErrorBox(kTeilnehmerFehlt);
        return lines;
    }
    lines.reserve(table.RecCount());
    for (int64_t n = 0;; ++n) {
        const int state = table.GoTo(n);
        if (state == -1) break;
        if (state == 0 && !showDeleted) continue;
        lines.push_back(TeilnehmerLine(table.GetField("NAME"), table.GetField("VORNAME"),
                                       table.GetField("STRASSE"), table.GetField("PLZORT"),
                                       table.GetField("ORT"), table.GetField("TELEFON"), n,
                                       state == 0));
    }
    table.Close();
    return lines;
}
