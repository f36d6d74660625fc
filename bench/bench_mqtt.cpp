// SPDX-License-Identifier: GPL-3.0-or-later
// The calls through an MQTT broker, with a real Mosquitto on 127.0.0.1 and the real program on
// the simulated line: ring to the event's arrival at a subscriber, ring to the pop-up of a
// client that gets its announcements through the broker, and ring to ALERT_REQ of a station
// whose broker is down. Figures are wall-clock milliseconds.
//
//   build/bench/bench_mqtt            (after building callbeacon and callbeacon-line)
#include "net/MqttClient.h"
#include "support/Mosquitto.h"
#include "support/Process.h"
#include "support/TestSupport.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

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

struct App {
    fs::path dir;
    std::unique_ptr<cbtest::ChildProcess> process;
    App(const fs::path& folder, int linePort, const std::string& ini) : dir(folder) {
        fs::create_directories(dir / "home");
        fs::copy_file(fs::path(CB_BUILD_DIR) / "callbeacon", dir / "callbeacon");
        std::ofstream(dir / "home/.capi20rc")
            << "TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 " << linePort << "\n";
        std::ofstream(dir / "callbeacon.INI") << ini;
        process = std::make_unique<cbtest::ChildProcess>(
            std::vector<std::string>{(dir / "callbeacon").string()},
            std::vector<std::string>{"HOME=" + (dir / "home").string(), "QT_QPA_PLATFORM=offscreen",
                                     "CALLBEACON_BROADCAST=127.255.255.255",
                                     "CALLBEACON_MAILSLOT_PORT=" +
                                         std::to_string(cbtest::FreePort(SOCK_DGRAM)),
                                     "CALLBEACON_TRACE=" + (dir / "trace.txt").string()},
            dir.string(), (dir / "stdout.txt").string());
    }
    ~App() { process->StopWith(SIGTERM, 10000); }
    size_t TraceCount(const std::string& needle) const {
        std::ifstream in(dir / "trace.txt");
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        size_t n = 0;
        for (size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1))
            ++n;
        return n;
    }
};

// The broker, the line, a server that publishes and announces through the broker, a client
// that shows what the broker brings, and a subscriber of our own in this process.
struct Rig {
    cbtest::TempDir temp{false};
    cbtest::Broker broker{temp.path()};
    int linePort = cbtest::FreePort();
    std::unique_ptr<cbtest::ChildProcess> line;
    std::unique_ptr<App> server, client;
    std::unique_ptr<TMqttClient> subscriber;
    std::mutex mutex;
    std::condition_variable arrived;
    size_t seen = 0;

    Rig() {
        broker.Start();
        line = std::make_unique<cbtest::ChildProcess>(
            std::vector<std::string>{std::string(CB_BUILD_DIR) + "/callbeacon-line", "--port",
                                     std::to_string(linePort)},
            std::vector<std::string>{}, temp.path().string());
        const std::string mqtt = broker.IniSection("bench");
        server = std::make_unique<App>(temp.path() / "server", linePort,
                                       "[Anruf]\nSekunden=1\nHistory=0\nAnruferAnzeigen=0\n"
                                       "[Netzwerk]\nServer=1\nWeg=MQTT\n" +
                                           mqtt);
        client = std::make_unique<App>(temp.path() / "client", cbtest::FreePort(),
                                       "[Anruf]\nSekunden=1\nHistory=0\n[Netzwerk]\nClient=1\n"
                                       "Weg=MQTT\n" +
                                           broker.IniSection("benchclient"));
        MqttOptions o;
        o.host = "127.0.0.1";
        o.port = broker.port();
        o.clientId = "bench-subscriber";
        subscriber = std::make_unique<TMqttClient>(o);
        subscriber->SetSubscriptions({"callbeacon/bench/event"});
        subscriber->SetWakeUp([this] { arrived.notify_all(); });
        subscriber->Start();
        WaitLine("recv LISTEN_REQ", 20000);
        cbtest::WaitUntil([&] { return server->TraceCount("mqtt verbunden") > 0; }, 10000);
        cbtest::WaitUntil([&] { return client->TraceCount("mqtt verbunden") > 0; }, 10000);
    }
    bool WaitLine(const std::string& needle, int timeoutMs) {
        return line->WaitForLine(needle, timeoutMs);
    }
    // Waits for an event message holding `needle`.
    bool WaitEvent(const std::string& needle, int timeoutMs) {
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            for (const MqttMessage& m : subscriber->TakeReceived())
                if (m.payload.find(needle) != std::string::npos) return true;
            if (Clock::now() > deadline) return false;
            // Short waits: a wake-up between the take and the wait must not cost the deadline.
            arrived.wait_for(lock, std::chrono::milliseconds(1));
        }
    }
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

int g_plci = 0x100;

void BM_RingToMqttEvent(benchmark::State& state) {
    Rig& rig = TheRig();
    std::vector<double> samples;
    for (auto _ : state) {
        const int plci = ++g_plci;
        char cmd[64], want[64];
        std::snprintf(cmd, sizeof cmd, "ring %04x 4711 89%06d\n", plci, plci);
        std::snprintf(want, sizeof want, "\"call_id\":%d,", plci);
        const auto start = Clock::now();
        rig.line->Send(cmd);
        if (!rig.WaitEvent(want, 5000)) state.SkipWithError("no event");
        const double ms = Ms(Clock::now() - start);
        state.SetIterationTime(ms / 1000);
        samples.push_back(ms);
        std::snprintf(cmd, sizeof cmd, "hangup %04x 3490\n", plci);
        rig.line->Send(cmd);
        std::this_thread::sleep_for(std::chrono::milliseconds(1200)); // the client's pop-up
    }
    Percentiles(state, samples);
}
BENCHMARK(BM_RingToMqttEvent)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_RingToPopupOnAClientThroughTheBroker(benchmark::State& state) {
    Rig& rig = TheRig();
    std::vector<double> samples;
    for (auto _ : state) {
        const int plci = ++g_plci;
        const size_t before = rig.client->TraceCount("popup ");
        char cmd[64];
        std::snprintf(cmd, sizeof cmd, "ring %04x 4711 89%06d\n", plci, plci);
        const auto start = Clock::now();
        rig.line->Send(cmd);
        const auto deadline = start + std::chrono::seconds(5);
        while (rig.client->TraceCount("popup ") == before && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        const double ms = Ms(Clock::now() - start);
        state.SetIterationTime(ms / 1000);
        samples.push_back(ms);
        std::snprintf(cmd, sizeof cmd, "hangup %04x 3490\n", plci);
        rig.line->Send(cmd);
        std::this_thread::sleep_for(std::chrono::milliseconds(1200)); // the pop-up closes
    }
    Percentiles(state, samples);
}
BENCHMARK(BM_RingToPopupOnAClientThroughTheBroker)
    ->Iterations(30)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A station of its own whose broker is not there: the line must not notice.
void BM_RingToAlertReqWithTheBrokerDown(benchmark::State& state) {
    cbtest::TempDir temp{false};
    const int linePort = cbtest::FreePort();
    cbtest::ChildProcess line(
        std::vector<std::string>{std::string(CB_BUILD_DIR) + "/callbeacon-line", "--port",
                                 std::to_string(linePort)},
        std::vector<std::string>{}, temp.path().string());
    App app(temp.path() / "down", linePort,
            "[Anruf]\nSekunden=1\nHistory=0\nAnruferAnzeigen=0\n[MQTT]\nHost=127.0.0.1\nPort=" +
                std::to_string(cbtest::FreePort()) + "\nStation=down\n");
    line.WaitForLine("recv LISTEN_REQ", 20000);
    std::vector<double> samples;
    int plci = 0x700;
    for (auto _ : state) {
        ++plci;
        char cmd[64], want[64];
        std::snprintf(cmd, sizeof cmd, "ring %04x 4711 89%06d\n", plci, plci);
        std::snprintf(want, sizeof want, "ALERT_REQ plci=0x%04x", plci);
        const auto start = Clock::now();
        line.Send(cmd);
        if (!line.WaitForLine(want, 5000)) state.SkipWithError("no ALERT_REQ");
        const double ms = Ms(Clock::now() - start);
        state.SetIterationTime(ms / 1000);
        samples.push_back(ms);
        std::snprintf(cmd, sizeof cmd, "hangup %04x 3490\n", plci);
        line.Send(cmd);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    Percentiles(state, samples);
}
BENCHMARK(BM_RingToAlertReqWithTheBrokerDown)
    ->Iterations(50)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
