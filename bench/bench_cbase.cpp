// SPDX-License-Identifier: GPL-3.0-or-later
// The phone-book layout (10 fields, record length 458) with 100,000 records: a search for the
// last record with CBase and the same scan with shapelib's reader, plus append and pack.
#include "db/CBase.h"

#include <benchmark/benchmark.h>
#include <shapefil.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

constexpr int kRecords = 100000;

struct Column {
    const char* name;
    int width;
};
constexpr Column kPhoneBook[] = {{"NAME", 20},    {"TELEFON", 20}, {"INFO", 250}, {"VORNAME", 20},
                                 {"STRASSE", 30}, {"PLZORT", 7},   {"ORT", 20},   {"EMAIL", 50},
                                 {"FAX", 20},     {"APARTNER", 20}};

std::string NameOf(int i) {
    return "M\xfcller " + std::to_string(i);
}

void Layout(CBase& db) {
    int i = 0;
    for (const Column& c : kPhoneBook)
        db.AddField(i++, c.name, 'C', c.width, 0);
}

void Fill(CBase& db, int i) {
    db.PutField("NAME", NameOf(i));
    db.PutField("TELEFON", "0" + std::to_string(30000000 + i));
    db.PutField("INFO", "Kunde seit " + std::to_string(1990 + i % 30));
    db.PutField("VORNAME", "Hans");
    db.PutField("STRASSE", "Hauptstra\xdf"
                           "e " +
                               std::to_string(i % 200));
    db.PutField("PLZORT", std::to_string(10000 + i % 89999));
    db.PutField("ORT", "Berlin");
    db.PutField("EMAIL", "h" + std::to_string(i) + "@mail.invalid");
    db.PutField("FAX", "");
    db.PutField("APARTNER", "");
}

// A working folder for the run (Pack's scratch table lands in the current directory) and the
// 100,000-record table, built once.
struct Fixture {
    std::filesystem::path dir;
    std::string table = "telefon.dbf";
    std::string halfDeleted = "halb.dbf";
    int64_t dataBytes = 0;

    Fixture() {
        std::string pattern = (std::filesystem::temp_directory_path() / "bench-cbase-XXXXXX");
        if (!mkdtemp(pattern.data())) std::abort();
        dir = pattern;
        std::filesystem::current_path(dir);
        CBase db;
        Layout(db);
        if (!db.Create(table)) std::abort();
        for (int i = 0; i < kRecords; ++i) {
            Fill(db, i);
            if (db.Append() != 1) std::abort();
        }
        dataBytes = int64_t(kRecords) * 458;
        db.Close();
        std::filesystem::copy_file(table, halfDeleted);
        if (!db.Open(halfDeleted)) std::abort();
        for (int i = 0; i < kRecords; i += 2)
            db.Delete(i);
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::current_path("/", ec);
        std::filesystem::remove_all(dir, ec);
    }
};

Fixture& Data() {
    static Fixture f;
    return f;
}

void BM_CBaseFindExactLastRecord(benchmark::State& state) {
    CBase db;
    if (!db.Open(Data().table)) state.SkipWithError("open");
    const std::string wanted = NameOf(kRecords - 1);
    for (auto _ : state) {
        int64_t found = db.Find("NAME", wanted, CBase::FindExact);
        if (found != kRecords - 1) state.SkipWithError("not found");
        benchmark::DoNotOptimize(found);
    }
    state.SetBytesProcessed(state.iterations() * Data().dataBytes);
}
BENCHMARK(BM_CBaseFindExactLastRecord)->Unit(benchmark::kMillisecond)->UseRealTime();

// shapelib reads the record and trims the field; the caller compares.
void BM_ShapelibReadStringScan(benchmark::State& state) {
    DBFHandle h = DBFOpen(Data().table.c_str(), "rb");
    if (!h) {
        state.SkipWithError("open");
        return;
    }
    const int field = DBFGetFieldIndex(h, "NAME");
    const std::string wanted = NameOf(kRecords - 1);
    for (auto _ : state) {
        int found = -1;
        const int count = DBFGetRecordCount(h);
        for (int i = 0; i < count; ++i) {
            const char* v = DBFReadStringAttribute(h, i, field);
            if (v && wanted == v) {
                found = i;
                break;
            }
        }
        if (found != kRecords - 1) state.SkipWithError("not found");
        benchmark::DoNotOptimize(found);
    }
    DBFClose(h);
    state.SetBytesProcessed(state.iterations() * Data().dataBytes);
}
BENCHMARK(BM_ShapelibReadStringScan)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CBaseAppend10000(benchmark::State& state) {
    Data();
    for (auto _ : state) {
        state.PauseTiming();
        CBase db;
        Layout(db);
        if (!db.Create("append.dbf")) state.SkipWithError("create");
        state.ResumeTiming();
        for (int i = 0; i < 10000; ++i) {
            Fill(db, i);
            if (db.Append() != 1) state.SkipWithError("append");
        }
    }
    state.SetItemsProcessed(state.iterations() * 10000);
}
BENCHMARK(BM_CBaseAppend10000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CBasePack100000HalfDeleted(benchmark::State& state) {
    Data();
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::copy_file(Data().halfDeleted, "pack.dbf",
                                   std::filesystem::copy_options::overwrite_existing);
        CBase db;
        if (!db.Open("pack.dbf")) state.SkipWithError("open");
        state.ResumeTiming();
        if (!db.Pack() || db.RecCount() != kRecords / 2) state.SkipWithError("pack");
    }
    state.SetItemsProcessed(state.iterations() * kRecords);
}
BENCHMARK(BM_CBasePack100000HalfDeleted)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
