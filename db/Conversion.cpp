// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/Conversion.h"

#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "db/TableErrors.h"
#include "platform/ErrorBox.h"
#include "platform/FileNames.h"
#include "platform/FileProperties.h"
#include "platform/Trace.h"

#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <system_error>

namespace fs = std::filesystem;

namespace {

struct TableKind {
    int index; // progress bar
    const char* file;
    const char* legacy;
    void (*addFields)(CBase&);
    std::initializer_list<const char*> columns;
    const char* mark; // a column that tells this table from the other
};

const TableKind kPhoneBook{
    0,
    kPhoneBookFile,
    kLegacyPhoneBookFile,
    &AddPhoneBookFields,
    {"NAME", "TELEFON", "INFO", "VORNAME", "STRASSE", "PLZORT", "ORT", "EMAIL", "FAX", "APARTNER"},
    "TELEFON"};
const TableKind kCallLog{1,
                         kCallLogFile,
                         kLegacyCallLogFile,
                         &AddCallLogFields,
                         {"ZEIT", "ANRUFER", "GERUFENER", "ANG"},
                         "ZEIT"};

// Tables copied from DOS or Windows may be spelt in capitals: any spelling counts.
bool Exists(const std::string& name) {
    return cb::ExistsInAnySpelling(name);
}

bool Rename(const std::string& from, const std::string& to) {
    std::error_code ec;
    fs::rename(from, to, ec);
    return !ec;
}

void Remove(const std::string& name) {
    std::error_code ec;
    fs::remove(name, ec);
}

bool HasColumn(const CBase& table, const char* name) {
    const std::string wanted = name;
    for (int i = 0; i < table.FieldCount(); ++i) {
        std::string have = table.FieldName(i);
        for (char& c : have)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (have == wanted) return true;
    }
    return false;
}

// A backup left by an interrupted conversion may be the only complete copy of its table.
// When that table is missing, the backup goes back under its name and is converted like any
// old table; otherwise it is kept aside under a free name for the user. False when neither
// move works, so the backup name cannot be used safely.
bool SettleLeftoverBackup(std::string& reason) {
    if (!Exists(kConversionBackupFile)) return true;

    const TableKind* owner = nullptr;
    {
        CBase backup;
        if (backup.OpenForReading(kConversionBackupFile)) {
            if (HasColumn(backup, kCallLog.mark))
                owner = &kCallLog;
            else if (HasColumn(backup, kPhoneBook.mark))
                owner = &kPhoneBook;
        }
    }
    if (owner && !Exists(owner->file) && Rename(kConversionBackupFile, owner->file)) return true;

    for (int n = 1; n < 1000; ++n) {
        const std::string aside = std::string(kConversionBackupFile) + "." + std::to_string(n);
        if (Exists(aside)) continue;
        if (!Rename(kConversionBackupFile, aside)) break;
        // Said once, when it is put aside: the user decides what becomes of it.
        const std::string text = "Eine unterbrochene Datenbank-Umstellung hat eine Sicherung "
                                 "hinterlassen. Sie wurde aufbewahrt als " +
                                 TableDisplayPath(aside);
        cb::Trace(text);
        cb::ShowErrorBox(text);
        return true;
    }
    reason = TableDisplayPath(kConversionBackupFile) + " konnte nicht beiseitegelegt werden";
    return false;
}

// Whether the file holds exactly `count` records and its end marker: writes that were
// buffered may have failed unnoticed when the file was closed (full disk).
bool IsComplete(const std::string& name, uint32_t count) {
    unsigned char header[12] = {};
    std::ifstream in(name, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(header), sizeof header)) return false;
    const uint32_t stored =
        header[4] | header[5] << 8 | header[6] << 16 | uint32_t(header[7]) << 24;
    const uint64_t headerLength = header[8] | header[9] << 8;
    const uint64_t recordLength = header[10] | header[11] << 8;
    std::error_code ec;
    const uint64_t size = fs::file_size(name, ec);
    return !ec && stored == count && size == headerLength + count * recordLength + 1;
}

// Builds the table in the current layout under the scratch name and puts it in place of the
// old one only once it is complete. The old table is untouched until then, and locked: other
// programs' changes wait and then go to the new file. The new file takes the old one's place
// where a link leads, with its permissions and owner. `reason` says why it failed.
bool ConvertTable(const TableKind& kind, ConversionProgress* progress, std::string& reason) {
    auto setMax = [&](uint32_t v) {
        if (progress) progress->SetMax(kind.index, v);
    };
    auto setValue = [&](uint32_t v) {
        if (progress) progress->SetValue(kind.index, v);
    };

    const std::string file = cb::ExistingSpelling(kind.file);
    const bool fresh = !Exists(file);
    // A legacy file that start-up could not take over is not ours to replace.
    if (fresh && Exists(kind.legacy)) {
        reason = TableDisplayPath(cb::ExistingSpelling(kind.legacy)) + " konnte nicht in " +
                 kind.file + " umbenannt werden";
        return false;
    }

    CBase source;
    if (!fresh && (!source.Open(file) || !source.Lock())) {
        reason = DescribeTableError(file, source.LastError());
        return false;
    }
    const std::string destination = fresh ? file : cb::ReplacementTarget(file);
    const std::string folder = cb::FolderOf(destination);
    const std::string scratch = folder + kConversionScratchFile;
    const std::string backup = folder + kConversionBackupFile;

    Remove(scratch);
    CBase target;
    kind.addFields(target);
    // The converted table keeps the code-page mark it had; one without gets Windows-1252's.
    if (!fresh && source.CodePageMark() != 0) target.SetCodePageMark(source.CodePageMark());
    if (!target.Create(scratch)) {
        reason = DescribeTableError(scratch, target.LastError());
        return false;
    }

    auto fail = [&](const std::string& why) {
        reason = why;
        target.Close();
        Remove(scratch);
        Remove(CBase::CodePageFileOf(scratch));
        return false;
    };
    auto failWrite = [&] { return fail(DescribeTableError(scratch, target.LastError())); };

    const uint32_t count = fresh ? 0 : source.RecCount();
    uint32_t copied = 0;
    setMax(count);
    for (uint32_t n = 0; n < count; ++n, ++copied) {
        const int state = source.GoTo(n);
        if (state == -1) break; // the file ends before its header's count
        for (const char* column : kind.columns)
            target.PutField(column, source.GetField(column));
        if (target.Append() != 1) return failWrite();
        if (state == 0 && target.Delete(target.RecNo()) != 1) return failWrite();
        setValue(n);
    }
    setValue(count);
    target.Close();
    if (!IsComplete(scratch, copied))
        return fail(TableDisplayPath(scratch) + " konnte nicht vollständig geschrieben werden");

    // The scratch table's code-page file goes; the table gets its own under its name.
    Remove(CBase::CodePageFileOf(scratch));
    if (fresh) {
        if (!Rename(scratch, destination))
            return fail(TableDisplayPath(destination) + " konnte nicht angelegt werden");
        CBase::WriteCodePageFile(destination);
        return true;
    }
    if (!cb::KeepProperties(scratch, cb::PropertiesOf(destination)))
        return fail("die Zugriffsrechte von " + TableDisplayPath(destination) +
                    " konnten nicht übernommen werden");
    if (!Rename(destination, backup))
        return fail(TableDisplayPath(destination) + " konnte nicht nach " +
                    TableDisplayPath(backup) + " verschoben werden");
    if (!Rename(scratch, destination)) {
        // Should this fail too, the backup is the table and the next run moves it back.
        Rename(backup, destination);
        Remove(scratch);
        reason = TableDisplayPath(destination) + " konnte nicht ersetzt werden";
        return false;
    }
    Remove(backup);
    CBase::WriteCodePageFile(destination);
    return true; // the source closes last, and with it its lock
}

} // namespace

void TakeOverLegacyTableNames() {
    if (!Exists(kCallLogFile)) Rename(cb::ExistingSpelling(kLegacyCallLogFile), kCallLogFile);
    if (!Exists(kPhoneBookFile)) Rename(cb::ExistingSpelling(kLegacyPhoneBookFile), kPhoneBookFile);
}

bool TablesNeedConversion() {
    CBase table;
    bool need = !table.Open(kCallLogFile) || table.FieldName(3).empty();
    table.Close();
    need = !table.Open(kPhoneBookFile) || table.FieldName(7).empty() || need;
    table.Close();
    return need;
}

int ConvertTables(ConversionProgress* progress) {
    std::string reason;
    if (SettleLeftoverBackup(reason) && ConvertTable(kPhoneBook, progress, reason) &&
        ConvertTable(kCallLog, progress, reason))
        return 0;
    const std::string text = "Datenbank update fehlgeschlagen: " + reason;
    cb::Trace(text);
    cb::ShowErrorBox(text);
    return 1;
}
