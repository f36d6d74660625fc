// SPDX-License-Identifier: GPL-3.0-or-later
// LookupCaller runs on the GUI thread for every incoming call. Worst case: an unknown caller
// and an unknown called number (two full scans of the phone book) from a number that no area
// code fits (a full scan of the directory).
//
//   build/bench/bench_tables

#include "db/Anruf.h"
#include "db/AreaCodes.h"
#include "db/CBase.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class Folder {
public:
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "cbbench-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) std::abort();
        path_ = buf.data();
        previous_ = fs::current_path();
        fs::current_path(path_);
        fs::copy_file(fs::path(CB_BUILD_DIR) / kAreaCodeFile, kAreaCodeFile);

        CBase table;
        AddPhoneBookFields(table);
        if (!table.Create(kPhoneBookFile)) std::abort();
        for (int i = 0; i < 10000; ++i) {
            table.PutField("NAME", "Name " + std::to_string(i));
            table.PutField("TELEFON", "0" + std::to_string(2000000 + i * 7));
            table.PutField("INFO", std::string(100, 'i'));
            table.PutField("VORNAME", "Vorname");
            table.PutField("STRASSE", "Hauptstra\xDF"
                                      "e 1");
            table.PutField("PLZORT", "12345");
            table.PutField("ORT", "Irgendwo");
            table.PutField("EMAIL", "name@example.de");
            table.PutField("FAX", "");
            table.PutField("APARTNER", "");
            if (table.Append() != 1) std::abort();
        }
    }
    ~Folder() {
        std::error_code ec;
        fs::current_path(previous_, ec);
        fs::remove_all(path_, ec);
    }

private:
    fs::path path_, previous_;
};

void BM_LookupUnknownCallerNoAreaCode(benchmark::State& state) {
    Folder folder;
    tAnruf anruf;
    for (auto _ : state) {
        bool known = LookupCaller(anruf, "0999123456", "4711", true);
        benchmark::DoNotOptimize(known);
    }
}
BENCHMARK(BM_LookupUnknownCallerNoAreaCode)->Unit(benchmark::kMillisecond);

// An unknown caller whose code sits at the end of the directory, as the pop-up sees it.
void BM_LookupUnknownCallerLastAreaCode(benchmark::State& state) {
    Folder folder;
    tAnruf anruf;
    for (auto _ : state) {
        bool known = LookupCaller(anruf, "0997812345", "4711", true);
        benchmark::DoNotOptimize(known);
    }
}
BENCHMARK(BM_LookupUnknownCallerLastAreaCode)->Unit(benchmark::kMillisecond);

void BM_AreaCodeFullScan(benchmark::State& state) {
    Folder folder;
    std::string place, plz, breite, laenge;
    for (auto _ : state) {
        bool found = LookupAreaCode("0999123456", place, plz, breite, laenge);
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_AreaCodeFullScan)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
