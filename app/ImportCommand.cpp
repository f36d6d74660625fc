// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ImportCommand.h"

#include "app/DataFolder.h"
#include "core/Settings.h"
#include "db/ContactFile.h"
#include "db/Conversion.h"
#include "db/NumberMatch.h"
#include "db/TableErrors.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

bool ReadFile(const std::string& path, std::string& bytes, std::string& error) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) {
        error = path + " ist ein Ordner, keine Datei.";
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        const int code = errno;
        error = "Die Datei " + path +
                (code == ENOENT ? " gibt es nicht."
                 : code == EACCES
                     ? " darf nicht gelesen werden."
                     : " kann nicht gelesen werden (" + std::string(std::strerror(code)) + ").");
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    bytes = buffer.str();
    return true;
}

} // namespace

int RunImportCommand(const std::string& file, const std::string& namedDataFolder,
                     const std::string& exePath, std::FILE* out, std::FILE* err) {
    const auto fail = [&](const std::string& message) {
        std::fprintf(err, "callbeacon: %s\n", message.c_str());
        return 1;
    };
    // The file is named from where the command was given, before the data folder is entered.
    std::error_code ec;
    const std::string path = std::filesystem::absolute(file, ec).lexically_normal().string();
    std::string bytes, error;
    if (!ReadFile(path, bytes, error)) return fail(error);
    const tContactFile contacts = ReadContactFile(bytes);
    bytes = std::string();
    if (!contacts.sError.empty()) return fail(path + ": " + contacts.sError);
    if (contacts.aContacts.empty())
        return fail(path + ": Die Datei enth\u00e4lt keine Kontakte (" + contacts.sFormat + ").");

    std::string folder;
    if (!EnterDataFolder(namedDataFolder, exePath, folder, error)) return fail(error + ".");

    // The tables as the program's start would leave them: an older release's phone book is
    // taken over and brought to the current layout before rows are added to it.
    TakeOverLegacyTableNames();
    if (TablesNeedConversion() && ConvertTables(nullptr) != 0)
        return fail("Die Tabellen in " + folder +
                    " konnten nicht auf das aktuelle Format gebracht werden.");
    // Local numbers are compared as the lookup will compare them.
    LoadSettings();
    SetOwnAreaCode(sOrtsvorwahl);
    CPhoneBookImport import;
    import.Prepare(contacts.aContacts, kPhoneBookFile);
    std::fprintf(out, "Lese %s (%s): %s Kontakte, %s neue Eintr\u00e4ge\n", path.c_str(),
                 contacts.sFormat.c_str(), GermanCount(contacts.aContacts.size()).c_str(),
                 GermanCount(import.Summary().iRowsToAdd).c_str());
    std::fflush(out);
    size_t nextLine = 1000;
    const auto outcome = import.Apply(
        kPhoneBookFile,
        [&](size_t done, size_t total) {
            while (done >= nextLine && nextLine <= total) {
                std::fprintf(out, "%s von %s Kontakten geschrieben\n",
                             GermanCount(nextLine).c_str(), GermanCount(total).c_str());
                std::fflush(out);
                nextLine += 1000;
            }
            return true;
        },
        error);
    if (outcome != CPhoneBookImport::Outcome::Done) return fail(error);
    std::fprintf(out, "Importiert in %s:\n%s", TableDisplayPath(kPhoneBookFile).c_str(),
                 ImportSummaryText(import.Summary(), import.RowsAdded(), true).c_str());
    return 0;
}
