// SPDX-License-Identifier: GPL-3.0-or-later
// Importing contacts: 10,000 vCards with 25,000 numbers (every tenth card with a photo, 2,000
// numbers already in the book) into a phone book of 10,000 entries, reading, duplicate check
// and the one-step append included; then the caller lookup on the grown phone book. Aim:
// under 3 s for the import, under 10 ms for a lookup.
//
//   build/bench/bench_import

#include "db/Anruf.h"
#include "db/AreaCodes.h"
#include "db/CBase.h"
#include "db/ContactFile.h"
#include "db/PhoneBookImport.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kCards = 10000, kBookRows = 10000;

std::string Mobile(int i) {
    return "0170 " + std::to_string(1000000 + i);
}

std::string Cards() {
    std::string s;
    const std::string photo(20000, 'Q');
    for (int i = 0; i < kCards; ++i) {
        s += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:M\xC3\xBCller" + std::to_string(i) +
             ";J\xC3\xBCrgen;;;\r\nFN:J\xC3\xBCrgen M\xC3\xBCller" + std::to_string(i) +
             "\r\nADR;TYPE=home:;;Hauptstra\xC3\x9F"
             "e " +
             std::to_string(i) + ";M\xC3\xBCnchen;;80331;\r\nEMAIL:j" + std::to_string(i) +
             "@example.org\r\n";
        s += "TEL;TYPE=CELL:" + Mobile(i) + "\r\nTEL;TYPE=HOME:+49 89 " +
             std::to_string(2000000 + i) + "\r\n";
        if (i % 2)
            s += "item1.TEL:089/" + std::to_string(3000000 + i) +
                 "\r\nitem1.X-ABLabel:B\xC3\xBCro\r\n";
        if (i % 10 == 0) {
            s += "PHOTO;ENCODING=b;TYPE=JPEG:" + photo.substr(0, 70) + "\r\n";
            for (size_t at = 70; at < photo.size(); at += 74)
                s += " " + photo.substr(at, 74) + "\r\n";
        }
        s += "END:VCARD\r\n";
    }
    return s;
}

class Folder {
public:
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "cbbench-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) std::abort();
        path_ = buf.data();
        fs::copy_file(fs::path(CB_BUILD_DIR) / kAreaCodeFile, path_ / kAreaCodeFile);
        original_ = path_ / "original.dbf";
        CBase table;
        AddPhoneBookFields(table);
        if (!table.Create(original_.string()) || !table.Open(original_.string())) std::abort();
        // The first 2,000 mobiles of the cards are already there under the same name.
        table.AppendAll(kBookRows, [&](size_t i) {
            const bool same = i < 2000;
            table.PutField("NAME",
                           same ? "M\xFCller" + std::to_string(i) : "Name " + std::to_string(i));
            table.PutField("VORNAME", same ? "J\xFCrgen" : "Vorname");
            table.PutField("TELEFON", same ? Mobile(int(i)) : "030 " + std::to_string(5000000 + i));
            table.PutField("INFO", std::string(100, 'i'));
            return true;
        });
        vcards_ = Cards();
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    void Fresh() const {
        fs::copy_file(original_, path_ / kPhoneBookFile, fs::copy_options::overwrite_existing);
    }
    const fs::path& path() const { return path_; }
    const std::string& vcards() const { return vcards_; }

private:
    fs::path path_, original_;
    std::string vcards_;
};

Folder& TheFolder() {
    static Folder folder;
    return folder;
}

void BM_ImportVCards(benchmark::State& state) {
    Folder& folder = TheFolder();
    const fs::path back = fs::current_path();
    fs::current_path(folder.path());
    size_t added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        folder.Fresh();
        state.ResumeTiming();
        const tContactFile file = ReadContactFile(folder.vcards());
        CPhoneBookImport import;
        import.Prepare(file.aContacts, kPhoneBookFile);
        std::string error;
        if (import.Apply(kPhoneBookFile, {}, error) != CPhoneBookImport::Outcome::Done)
            std::abort();
        added = import.RowsAdded();
    }
    state.counters["rows_added"] = double(added);
    state.counters["MB_read"] = double(folder.vcards().size()) / 1e6;
    fs::current_path(back);
}

// The parts on their own: reading the cards, and preparing rows with the duplicate check.
void BM_ReadVCards(benchmark::State& state) {
    for (auto _ : state) {
        const tContactFile file = ReadContactFile(TheFolder().vcards());
        benchmark::DoNotOptimize(file.aContacts.data());
    }
}

void Lookup(benchmark::State& state, const std::string& calling) {
    Folder& folder = TheFolder();
    const fs::path back = fs::current_path();
    fs::current_path(folder.path());
    folder.Fresh();
    {
        CPhoneBookImport import;
        import.Prepare(ReadContactFile(folder.vcards()).aContacts, kPhoneBookFile);
        std::string error;
        if (import.Apply(kPhoneBookFile, {}, error) != CPhoneBookImport::Outcome::Done)
            std::abort();
    }
    tAnruf anruf;
    for (auto _ : state) {
        bool known = LookupCaller(anruf, calling, "4711", true);
        benchmark::DoNotOptimize(known);
    }
    fs::current_path(back);
}

// The last imported contact's office number: the scan runs over all 33,000 rows.
void BM_LookupLastImported(benchmark::State& state) {
    Lookup(state, "089" + std::to_string(3000000 + kCards - 1));
}
void BM_LookupUnknownAfterImport(benchmark::State& state) {
    Lookup(state, "0221998877");
}

BENCHMARK(BM_ImportVCards)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadVCards)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LookupLastImported)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LookupUnknownAfterImport)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
