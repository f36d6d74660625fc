// SPDX-License-Identifier: GPL-3.0-or-later
// Reading the router's call monitor: a realistic stream of calls, and a hostile stream of
// overlong and binary lines, each fed in the 4 KiB pieces the socket reads.
//
//   build/bench/bench_callmonitor
#include "net/CallMonitorParser.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

std::string CallStream(int calls) {
    std::string text;
    for (int i = 0; i < calls; ++i) {
        const std::string id = std::to_string(i % 4);
        text += "08.12.26 14:03:11;RING;" + id + ";0301234567;4711;SIP0;\n";
        text += "08.12.26 14:03:15;CONNECT;" + id + ";1;0301234567;\n";
        text += "08.12.26 14:05:40;DISCONNECT;" + id + ";145;\n";
        text += "08.12.26 14:07:02;CALL;" + id + ";1;4711;0891234567;SIP0;\n";
    }
    return text;
}

std::string HostileStream(size_t bytes) {
    std::string text;
    while (text.size() < bytes) {
        text += std::string(3000, 'A') + "\n";
        text += std::string("\x00\x01\xff;RING;1;030;4711;\n", 20);
        text += "08.12.26 14:03:11;RING;0;0301234567\n";
    }
    return text;
}

void Feed(benchmark::State& state, const std::string& text) {
    for (auto _ : state) {
        CCallMonitorReader reader;
        std::vector<CCallMonitorReader::Call> calls;
        for (size_t at = 0; at < text.size(); at += 4096)
            reader.Feed(text.data() + at, std::min<size_t>(4096, text.size() - at), calls);
        benchmark::DoNotOptimize(calls.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_CallStream(benchmark::State& state) {
    Feed(state, CallStream(10000));
}
void BM_HostileStream(benchmark::State& state) {
    Feed(state, HostileStream(4 << 20));
}

} // namespace

BENCHMARK(BM_CallStream)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HostileStream)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
