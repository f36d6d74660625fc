// SPDX-License-Identifier: GPL-3.0-or-later
// Ring to desktop notification: a ringing call enters the call path (caller lookup in a phone
// book of 10,000 entries with the full area-code directory, the call log, the notification
// listener) and the Notify call goes out on a private session bus to a real notification
// server (python3-dbusmock). Aim: ring to Notify sent under 20 ms at the 95th percentile.
// The round trip until the server's reply is given too; it includes the server's own time.
//
//   build/bench/bench_notify      (needs dbus-daemon and python3-dbusmock)
#include "app/CallListeners.h"
#include "app/CallPipeline.h"
#include "app/DesktopNotifier.h"
#include "core/Settings.h"
#include "db/Anruf.h"
#include "db/AreaCodes.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "support/Process.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct NoActions : ICallActions {
    void ShowCallHistory() override {}
    void EnterInPhoneBook(const std::string&, const std::string&) override {}
};

// A data folder, a session bus and a notification server, made once.
struct Rig {
    cbtest::TempDir temp; // the tables live in the current directory
    std::unique_ptr<cbtest::ChildProcess> bus, server;
    NoActions actions;
    std::shared_ptr<TDesktopNotifier> notifier;
    TCallPipeline pipeline;
    bool ready = false;

    Rig() {
        fs::copy_file(fs::path(CB_BUILD_DIR) / kAreaCodeFile, temp.path() / kAreaCodeFile);
        CBase book;
        AddPhoneBookFields(book);
        if (!book.Create(kPhoneBookFile)) return;
        for (int i = 0; i < 10000; ++i) {
            book.PutField("NAME", "Name " + std::to_string(i));
            book.PutField("TELEFON",
                          "0" + std::to_string(30 + i % 70) + " " + std::to_string(2000000 + i));
            book.PutField("ORT", "Ort");
            book.Append();
        }
        book.Close();
        CBase log;
        AddCallLogFields(log);
        if (!log.Create(kCallLogFile)) return;
        log.Close();

        bus = std::make_unique<cbtest::ChildProcess>(
            std::vector<std::string>{"dbus-daemon", "--session", "--nofork", "--print-address=1"},
            std::vector<std::string>{}, temp.path().string());
        if (!bus->WaitForLine("unix:", 10000)) return;
        const std::string address = bus->lines().front();
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
        const std::string python = fs::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
        server = std::make_unique<cbtest::ChildProcess>(
            std::vector<std::string>{python, "-m", "dbusmock", "--template", "notification_daemon",
                                     // its log would fill the unread pipe of its output
                                     "-l", (temp.path() / "notify.log").string(), "-p",
                                     "{\"capabilities\": \"body actions\"}"},
            std::vector<std::string>{}, temp.path().string());
        sAnzeige = "Benachrichtigung";
        notifier = std::make_shared<TDesktopNotifier>(actions);
        // The program's listeners up to the notification; tray and pop-up need a screen.
        pipeline.Add(std::make_shared<TCallLogListener>());
        pipeline.Add(notifier);
        for (int i = 0; i < 150 && !notifier->ServicePresent(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        notifier->OnSettingsChanged();
        ready = notifier->ServicePresent();
    }

    // Lets the event loop take replies until `replies` have come.
    bool AwaitReplies(uint64_t replies) {
        QElapsedTimer waited;
        waited.start();
        while (notifier->RepliesTaken() < replies) {
            if (waited.elapsed() > 5000) return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }
};

Rig& TheRig() {
    static Rig rig;
    return rig;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

void BM_RingToNotification(benchmark::State& state) {
    Rig& rig = TheRig();
    if (!rig.ready) {
        state.SkipWithError("no session bus or notification server (dbus-daemon, dbusmock)");
        return;
    }
    std::vector<double> sent, replied;
    uint32_t callId = 1;
    for (auto _ : state) {
        CallEvent ring;
        ring.kind = CallEventKind::Ringing;
        ring.line = CallLineKind::Router;
        ring.callId = callId++;
        // Every tenth call from the phone book, the others unknown callers of some town.
        const int i = int(callId) * 7 % 10000;
        ring.calling = callId % 10 == 0
                           ? "0" + std::to_string(30 + i % 70) + std::to_string(2000000 + i)
                           : "0891234" + std::to_string(100 + callId % 900);
        ring.called = "4711";
        ring.time = 1700000000;
        const uint64_t before = rig.notifier->NotifySent();
        const auto t0 = Clock::now();
        rig.pipeline.Dispatch(ring);
        const auto t1 = Clock::now();
        if (rig.notifier->NotifySent() != before + 1) {
            state.SkipWithError("no Notify was sent");
            return;
        }
        const bool back = rig.AwaitReplies(rig.notifier->NotifySent());
        const auto t2 = Clock::now();
        if (!back) {
            state.SkipWithError("the server did not answer");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
        sent.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        replied.push_back(std::chrono::duration<double, std::milli>(t2 - t0).count());
        // The call ends unanswered: its notice turns into the missed call.
        CallEvent end;
        end.kind = CallEventKind::Ended;
        end.line = ring.line;
        end.callId = ring.callId;
        end.time = ring.time + 20;
        rig.pipeline.Dispatch(end);
        rig.AwaitReplies(rig.notifier->NotifySent());
    }
    state.counters["sent_p50_ms"] = Percentile(sent, 0.50);
    state.counters["sent_p95_ms"] = Percentile(sent, 0.95);
    state.counters["reply_p50_ms"] = Percentile(replied, 0.50);
    state.counters["reply_p95_ms"] = Percentile(replied, 0.95);
}
BENCHMARK(BM_RingToNotification)->UseManualTime()->Iterations(200)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
