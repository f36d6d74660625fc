// SPDX-License-Identifier: GPL-3.0-or-later
// Saving the settings at shutdown: all keys in one replacement of the file against one
// replacement per key, as it was. Each replacement is written to the disk (fsync) and renamed,
// so on a slow share the count of replacements is what the shutdown deadline sees.
//
//   build/bench/bench_settings
#include "core/Settings.h"
#include "platform/IniFile.h"
#include "support/TestSupport.h"

#include <benchmark/benchmark.h>

namespace {

void BM_SaveSettingsOnePass(benchmark::State& state) {
    cbtest::TempDir dir;
    SetSettingsFilePathOverride(dir.file("callbeacon.INI"));
    LoadSettings();
    for (auto _ : state)
        SaveSettings();
    SetSettingsFilePathOverride("");
}
BENCHMARK(BM_SaveSettingsOnePass)->Unit(benchmark::kMillisecond);

// The same 35 keys written one by one, each its own replacement of the file.
void BM_SaveSettingsPerKey(benchmark::State& state) {
    cbtest::TempDir dir;
    cb::CIniFile ini(dir.file("callbeacon.INI"));
    for (auto _ : state)
        for (int key = 0; key < 35; ++key)
            ini.WriteInteger("Bank", "Key" + std::to_string(key), key);
}
BENCHMARK(BM_SaveSettingsPerKey)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
