// SPDX-License-Identifier: GPL-3.0-or-later
// The caller lookup of an incoming call with the full area-code directory and a phone book of
// 10,000 or 100,000 entries whose numbers are written in the forms people use. Aim: under
// 10 ms with 10,000 entries and under 50 ms with 100,000.
//
//   build/bench/bench_lookup

#include "db/Anruf.h"
#include "db/AreaCodes.h"
#include "db/CBase.h"
#include "db/PhoneBookCache.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The forms of one number that the phone book holds, in turn.
std::string Written(int i) {
    const std::string area = "0" + std::to_string(30 + i % 70);
    const std::string sub = std::to_string(2000000 + i);
    switch (i % 4) {
    case 0:
        return area + " " + sub;
    case 1:
        return area + "/" + sub.substr(0, 3) + " " + sub.substr(3) + " privat";
    case 2:
        return "+49 " + area.substr(1) + " " + sub;
    default:
        return area + sub;
    }
}

std::string Delivered(int i) {
    return "0" + std::to_string(30 + i % 70) + std::to_string(2000000 + i);
}

// A data folder with the phone book of `entries` entries, made once per size.
class Folder {
public:
    explicit Folder(int entries) {
        std::string pattern = (fs::temp_directory_path() / "cbbench-XXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) std::abort();
        path_ = buf.data();
        fs::copy_file(fs::path(CB_BUILD_DIR) / kAreaCodeFile, path_ / kAreaCodeFile);
        CBase table;
        AddPhoneBookFields(table);
        if (!table.Create((path_ / kPhoneBookFile).string())) std::abort();
        for (int i = 0; i < entries; ++i) {
            table.PutField("NAME", "Name " + std::to_string(i));
            table.PutField("TELEFON", Written(i));
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
        fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Enters the folder for the benchmark's size for the time of one benchmark.
class InFolder {
public:
    explicit InFolder(int entries) : previous_(fs::current_path()) {
        static std::map<int, std::unique_ptr<Folder>> folders;
        auto& folder = folders[entries];
        if (!folder) folder = std::make_unique<Folder>(entries);
        fs::current_path(folder->path());
    }
    ~InFolder() {
        std::error_code ec;
        fs::current_path(previous_, ec);
    }

private:
    fs::path previous_;
};

void Lookup(benchmark::State& state, const std::string& calling) {
    InFolder folder(int(state.range(0)));
    tAnruf anruf;
    for (auto _ : state) {
        bool known = LookupCaller(anruf, calling, "4711", true);
        benchmark::DoNotOptimize(known);
    }
}

// Worst case: two full scans of the phone book, a full scan of the directory, a description.
void BM_UnknownCallerWithoutAreaCode(benchmark::State& state) {
    Lookup(state, "0999123456");
}
// The last entry names the caller; its area code is looked up.
void BM_KnownCallerLastEntry(benchmark::State& state) {
    Lookup(state, Delivered(int(state.range(0)) - 1));
}
void BM_UnknownGermanCaller(benchmark::State& state) {
    Lookup(state, "0221998877");
}
void BM_ForeignCaller(benchmark::State& state) {
    Lookup(state, "0041441234567");
}
void BM_MobileCaller(benchmark::State& state) {
    Lookup(state, "01711234567");
}

// The history list: one snapshot of the phone book for all calls.
void BM_HistorySnapshot(benchmark::State& state) {
    InFolder folder(int(state.range(0)));
    for (auto _ : state) {
        CPhoneBookCache cache;
        bool loaded = cache.Load();
        benchmark::DoNotOptimize(loaded);
    }
}

BENCHMARK(BM_UnknownCallerWithoutAreaCode)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_KnownCallerLastEntry)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnknownGermanCaller)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ForeignCaller)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MobileCaller)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HistorySnapshot)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
