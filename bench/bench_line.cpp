// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the real program reacts on the simulated line: ring to ALERT_REQ and ring to
// pop-up over 50 calls, and a burst of 20 calls rung back to back. The program and the line
// run as separate processes, exactly as in use; figures are wall-clock milliseconds.
//
//   build/bench/bench_line            (after building callbeacon and callbeacon-line)
#include "support/Process.h"
#include "support/TestSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// The line and the program in a scratch folder, started once for all benchmarks.
struct Rig {
    cbtest::TempDir temp{false};
    int port = cbtest::FreePort();
    std::unique_ptr<cbtest::ChildProcess> line;
    std::unique_ptr<cbtest::ChildProcess> app;
    fs::path trace;
    size_t seen = 0; // line output lines already looked at

    Rig() {
        const fs::path dir = temp.path();
        fs::create_directories(dir / "home");
        fs::copy_file(fs::path(CB_BUILD_DIR) / "callbeacon", dir / "callbeacon");
        std::ofstream(dir / "home/.capi20rc")
            << "TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 " << port << "\n";
        std::ofstream(dir / "callbeacon.INI") << "[Anruf]\nSekunden=1\nHistory=0\n";
        trace = dir / "trace.txt";
        line = std::make_unique<cbtest::ChildProcess>(
            std::vector<std::string>{std::string(CB_BUILD_DIR) + "/callbeacon-line", "--port",
                                     std::to_string(port)},
            std::vector<std::string>{}, dir.string());
        app = std::make_unique<cbtest::ChildProcess>(
            std::vector<std::string>{(dir / "callbeacon").string()},
            std::vector<std::string>{"HOME=" + (dir / "home").string(), "QT_QPA_PLATFORM=offscreen",
                                     "CALLBEACON_BROADCAST=127.255.255.255",
                                     "CALLBEACON_TRACE=" + trace.string()},
            dir.string(), (dir / "stdout.txt").string());
        WaitFor("recv LISTEN_REQ", 20000);
    }
    ~Rig() {
        if (app) app->StopWith(SIGTERM, 10000);
    }
    void Send(const std::string& text) { line->Send(text); }
    // Waits until a new output line of the line holds `needle`; false on time-out.
    bool WaitFor(const std::string& needle, int timeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < deadline) {
            const auto& lines = line->lines();
            for (; seen < lines.size(); ++seen)
                if (lines[seen].find(needle) != std::string::npos) {
                    ++seen;
                    return true;
                }
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return false;
    }
    size_t TraceCount(const std::string& needle) {
        std::ifstream in(trace);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        size_t n = 0;
        for (size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1))
            ++n;
        return n;
    }
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Percentiles(benchmark::State& state, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    if (v.empty()) return;
    state.counters["p50_ms"] = v[v.size() / 2];
    state.counters["p95_ms"] = v[std::min(v.size() - 1, v.size() * 95 / 100)];
    state.counters["max_ms"] = v.back();
}

int g_plci = 0x100;

void BM_RingToAlertReq(benchmark::State& state) {
    Rig& rig = TheRig();
    std::vector<double> samples;
    for (auto _ : state) {
        const int plci = ++g_plci;
        char cmd[64], want[64];
        std::snprintf(cmd, sizeof cmd, "ring %04x 4711 89%06d\n", plci, plci);
        std::snprintf(want, sizeof want, "ALERT_REQ plci=0x%04x", plci);
        const auto start = Clock::now();
        rig.Send(cmd);
        if (!rig.WaitFor(want, 5000)) state.SkipWithError("no ALERT_REQ");
        const double ms = Ms(Clock::now() - start);
        state.SetIterationTime(ms / 1000);
        samples.push_back(ms);
        std::snprintf(cmd, sizeof cmd, "hangup %04x 3490\n", plci);
        rig.Send(cmd);
        rig.WaitFor("DISCONNECT_RESP", 5000);
    }
    Percentiles(state, samples);
}
BENCHMARK(BM_RingToAlertReq)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_RingToPopup(benchmark::State& state) {
    Rig& rig = TheRig();
    std::vector<double> samples;
    for (auto _ : state) {
        const int plci = ++g_plci;
        const size_t before = rig.TraceCount("popup ");
        char cmd[64];
        std::snprintf(cmd, sizeof cmd, "ring %04x 4711 89%06d\n", plci, plci);
        const auto start = Clock::now();
        rig.Send(cmd);
        const auto deadline = start + std::chrono::seconds(5);
        while (rig.TraceCount("popup ") == before && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const double ms = Ms(Clock::now() - start);
        state.SetIterationTime(ms / 1000);
        samples.push_back(ms);
        std::snprintf(cmd, sizeof cmd, "hangup %04x 3490\n", plci);
        rig.Send(cmd);
        std::this_thread::sleep_for(std::chrono::milliseconds(1100)); // the pop-up closes
    }
    Percentiles(state, samples);
}
BENCHMARK(BM_RingToPopup)->Iterations(50)->UseManualTime()->Unit(benchmark::kMillisecond);

// Twenty calls rung at once: how long until the last is alerted.
void BM_BurstOf20(benchmark::State& state) {
    Rig& rig = TheRig();
    std::vector<double> samples;
    for (auto _ : state) {
        std::ostringstream burst;
        std::vector<int> plcis;
        for (int i = 0; i < 20; ++i) {
            plcis.push_back(++g_plci);
            char cmd[64];
            std::snprintf(cmd, sizeof cmd, "ring %04x 4711 89%06d\n", g_plci, g_plci);
            burst << cmd;
        }
        const auto start = Clock::now();
        rig.Send(burst.str());
        for (int plci : plcis) {
            char want[64];
            std::snprintf(want, sizeof want, "ALERT_REQ plci=0x%04x", plci);
            if (!rig.WaitFor(want, 10000)) state.SkipWithError("call of the burst not alerted");
        }
        const double ms = Ms(Clock::now() - start);
        state.SetIterationTime(ms / 1000);
        samples.push_back(ms);
        std::ostringstream hangups;
        for (int plci : plcis) {
            char cmd[64];
            std::snprintf(cmd, sizeof cmd, "hangup %04x 3490\n", plci);
            hangups << cmd;
        }
        rig.Send(hangups.str());
        std::this_thread::sleep_for(std::chrono::seconds(3)); // the burst's pop-ups close
    }
    Percentiles(state, samples);
}
BENCHMARK(BM_BurstOf20)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
