// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/AreaCodes.h"

#include "db/CBase.h"
#include "platform/FileNames.h"

#include <cstdint>
#include <strings.h>

namespace {

// Widest values the pop-up and the records take.
constexpr size_t kMaxPlace = 299;
constexpr size_t kMaxPlz = 15;
constexpr size_t kMaxCoordinate = 11;

bool HasColumn(const CBase& table, const char* name) {
    for (int i = 0; i < table.FieldCount(); ++i)
        if (strcasecmp(table.FieldName(i).c_str(), name) == 0) return true;
    return false;
}

std::string& InstalledFile() {
    static std::string path;
    return path;
}

bool OpenDirectory(CBase& table) {
    // Only read, never written: an installed or write-protected copy serves as well.
    if (table.OpenForReading(kAreaCodeFile)) return true;
    // Only a missing own copy falls back; one that cannot be opened stays a failure.
    if (InstalledFile().empty() || cb::ExistsInAnySpelling(kAreaCodeFile)) return false;
    return table.OpenForReading(InstalledFile());
}

} // namespace

void SetInstalledAreaCodeFile(const std::string& path) {
    InstalledFile() = path;
}

bool LookupAreaCode(const std::string& number, std::string& place, std::string& plz,
                    std::string& breite, std::string& laenge) {
    CBase table;
    if (!OpenDirectory(table)) return false;
    // Without the column every record would read as an empty code, which fits any number.
    if (!HasColumn(table, "VORWAHL")) return false;
    table.SetKey(kAreaCodeKey);

    const uint32_t count = table.RecCount();
    for (uint32_t i = 0; i < count; ++i) {
        if (table.GoTo(i) == -1) break; // past the end of a cut-off file
        if (!number.starts_with(table.GetField("VORWAHL"))) continue;
        place = table.GetField("ORT").substr(0, kMaxPlace);
        plz = table.GetField("PLZ").substr(0, kMaxPlz);
        breite = table.GetField("BREITE").substr(0, kMaxCoordinate);
        laenge = table.GetField("LAENGE").substr(0, kMaxCoordinate);
        return true;
    }
    return false;
}
