// SPDX-License-Identifier: GPL-3.0-or-later
// Opening the call history (10,000 calls, 2,000 phone-book entries) and the phone book
// (10,000 entries), as the user sees it: constructed, list filled, shown and painted.
#include "db/Anruf.h"
#include "db/CBase.h"
#include "platform/ErrorBox.h"
#include "ui/Anrufer.h"
#include "ui/ListLines.h"
#include "ui/Teilnehmer.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const char* kNamen[] = {"M\xFCller",
                        "Schmidt",
                        "Schneider",
                        "Fischer",
                        "Weber",
                        "Meyer",
                        "Wagner",
                        "Becker",
                        "Sch\xE4"
                        "fer",
                        "Hoffmann",
                        "Koch",
                        "Gro\xDF",
                        "Kr\xFCger",
                        "Wei\xDF",
                        "J\xE4ger",
                        "K\xF6hler",
                        "Lehmann",
                        "B\xF6hm"};
const char* kVornamen[] = {"J\xFCrgen", "Anna",    "Hans",     "Sabine", "Uwe",
                           "J\xF6rg",   "Claudia", "Bj\xF6rn", "Ines",   ""};
const char* kOrte[] = {"Berlin",
                       "Hamburg",
                       "M\xFCnchen",
                       "K\xF6ln",
                       "D\xFCsseldorf",
                       "L\xFC"
                       "beck"};

std::string Nummer(std::mt19937& rng, int i) {
    static const char* vorwahlen[] = {"030", "040", "089", "0221", "0211", "0451"};
    return std::string(vorwahlen[rng() % 6]) + std::to_string(100000 + i);
}

void WritePhoneBook(const std::string& dir, int entries, std::mt19937& rng) {
    CBase t;
    AddPhoneBookFields(t);
    if (!t.Create(dir + "/Adressen.dbf")) std::abort();
    for (int i = 0; i < entries; ++i) {
        t.PutField("NAME", kNamen[rng() % std::size(kNamen)]);
        t.PutField("VORNAME", kVornamen[rng() % std::size(kVornamen)]);
        t.PutField("STRASSE", "Hauptstra\xDF"
                              "e " +
                                  std::to_string(i % 200 + 1));
        t.PutField("PLZORT", std::to_string(10000 + int(rng() % 89999)));
        t.PutField("ORT", kOrte[rng() % std::size(kOrte)]);
        t.PutField("TELEFON", Nummer(rng, i));
        t.PutField("INFO", "");
        if (t.Append() != 1) std::abort();
        if (rng() % 20 == 0) t.Delete(i);
    }
}

void WriteCallLog(const std::string& dir, int calls, int knownEntries, std::mt19937& rng) {
    CBase t;
    t.AddField(0, "ZEIT", 'C', 10, 0);
    t.AddField(1, "ANRUFER", 'C', 20, 0);
    t.AddField(2, "GERUFENER", 'C', 20, 0);
    t.AddField(3, "ANG", 'C', 1, 0);
    if (!t.Create(dir + "/Anrufe.dbf")) std::abort();
    for (int i = 0; i < calls; ++i) {
        t.PutField("ZEIT", std::to_string(1700000000 + 600 * i));
        // Half of the calls come from phone-book numbers, the rest from 3,000 unknown ones.
        const int who = int(rng() % 2) ? int(rng() % knownEntries) : 50000 + int(rng() % 3000);
        t.PutField("ANRUFER", Nummer(rng, who));
        t.PutField("GERUFENER", rng() % 2 ? "0301000001" : "0301000002");
        t.PutField("ANG", rng() % 3 ? "J" : " ");
        if (t.Append() != 1) std::abort();
        if (rng() % 10 == 0) t.Delete(i);
    }
}

std::string gHistoryDir, gPhoneBookDir;

void Enter(const std::string& dir) {
    std::filesystem::current_path(dir);
}

void BM_HistoryOpen(benchmark::State& state) {
    Enter(gHistoryDir);
    for (auto _ : state) {
        TDlgAnrufer dlg(nullptr);
        dlg.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(&dlg);
    }
}
BENCHMARK(BM_HistoryOpen)->Unit(benchmark::kMillisecond);

// The list lines alone, without widgets.
void BM_HistoryLines(benchmark::State& state) {
    Enter(gHistoryDir);
    for (auto _ : state)
        benchmark::DoNotOptimize(BuildAnruferLines(false));
}
BENCHMARK(BM_HistoryLines)->Unit(benchmark::kMillisecond);

// For comparison: the lines with one table lookup per call, on the first `range` calls.
void BM_HistoryLinesPerCallLookup(benchmark::State& state) {
    Enter(gHistoryDir);
    for (auto _ : state) {
        CBase table;
        table.Open("Anrufe.dbf");
        tAnruf names;
        for (int64_t n = int64_t(table.RecCount()) - 1, done = 0; n >= 0 && done < state.range(0);
             --n, ++done) {
            if (table.GoTo(n) != 1) continue;
            LookupCaller(names, table.GetField("ANRUFER"), table.GetField("GERUFENER"), false);
            benchmark::DoNotOptimize(names);
        }
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_HistoryLinesPerCallLookup)->Arg(500)->Unit(benchmark::kMillisecond);

void BM_PhoneBookOpen(benchmark::State& state) {
    Enter(gPhoneBookDir);
    for (auto _ : state) {
        TDlgTeilnehmer dlg(nullptr);
        dlg.show();
        QApplication::processEvents();
        benchmark::DoNotOptimize(&dlg);
    }
}
BENCHMARK(BM_PhoneBookOpen)->Unit(benchmark::kMillisecond);

std::string MakeDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "cbbench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) std::abort();
    return pattern;
}

void NoBox(const std::string& text) {
    std::fprintf(stderr, "unexpected message: %s\n", text.c_str());
    std::abort();
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    cb::SetErrorBoxHandler(&NoBox);

    std::mt19937 rng(2024);
    const auto home = std::filesystem::current_path();
    gHistoryDir = MakeDir();
    WritePhoneBook(gHistoryDir, 2000, rng);
    WriteCallLog(gHistoryDir, 10000, 2000, rng);
    gPhoneBookDir = MakeDir();
    WritePhoneBook(gPhoneBookDir, 10000, rng);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::filesystem::current_path(home);
    std::filesystem::remove_all(gHistoryDir);
    std::filesystem::remove_all(gPhoneBookDir);
    return 0;
}
