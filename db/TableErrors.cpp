// SPDX-License-Identifier: GPL-3.0-or-later
#include "db/TableErrors.h"

#include "db/Anruf.h"
#include "db/CallLog.h"
#include "platform/ErrorBox.h"
#include "platform/FileNames.h"
#include "platform/Trace.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char* DamageDetail(CBase::Error error) {
    switch (error) {
    case CBase::Error::TooShort:
        return "kürzer als der Dateikopf";
    case CBase::Error::BadHeaderLength:
        return "ungültige Kopflänge";
    case CBase::Error::BadRecordLength:
        return "ungültige Satzlänge";
    case CBase::Error::TooManyFields:
        return "zu viele Felder";
    case CBase::Error::BadField:
        return "ungültige Feldbeschreibung";
    case CBase::Error::NoTerminator:
        return "Ende der Feldbeschreibungen fehlt";
    case CBase::Error::CountBeyondFile:
        return "der Dateikopf zählt mehr Datensätze, als die Datei enthält";
    default:
        return "kein dBASE-Format";
    }
}

bool FolderWritable(const std::string& folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0) return false;
    // Without any write permission bit a folder is read-only, also for root.
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
           access(folder.c_str(), W_OK | X_OK) == 0;
}

void Report(const std::string& reason) {
    const std::string text = "Datenbank kann nicht geöffnet werden: " + reason;
    cb::Trace("start-up failed: " + text);
    cb::ShowErrorBox(text);
}

} // namespace

std::string TableDisplayPath(const std::string& file) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    return ec ? file : absolute.lexically_normal().string();
}

std::string DescribeTableError(const std::string& file, CBase::Error error) {
    const std::string path = TableDisplayPath(file);
    switch (error) {
    case CBase::Error::None:
        return path;
    case CBase::Error::Missing:
        return path + " wurde nicht gefunden";
    case CBase::Error::NotAFile:
        return path + " ist keine Datei";
    case CBase::Error::NoAccess:
        return "keine Schreibberechtigung für " + path;
    case CBase::Error::Locked:
        return path + " ist von einem anderen Programm gesperrt";
    case CBase::Error::DiskFull:
        return "kein Platz mehr auf dem Datenträger für " + path;
    case CBase::Error::WriteFailed:
        return path + " konnte nicht geschrieben werden";
    case CBase::Error::ReadFailed:
        return path + " konnte nicht gelesen werden";
    default:
        return path + " ist beschädigt (" + DamageDetail(error) + ")";
    }
}

bool CheckTablesAtStartUp() {
    for (const char* name : {kPhoneBookFile, kCallLogFile}) {
        const std::string file = cb::ExistingSpelling(name);
        if (!cb::ExistsInAnySpelling(file)) continue;
        CBase table;
        if (!table.Open(file)) {
            Report(DescribeTableError(file, table.LastError()));
            return false;
        }
    }
    if (!FolderWritable(".")) {
        Report("keine Schreibberechtigung für den Datenordner " + TableDisplayPath("."));
        return false;
    }
    return true;
}
