// SPDX-License-Identifier: GPL-3.0-or-later
// The address book on a server: the first sync of 5,000 cards from a local Radicale, a sync
// when nothing changed (its requests are counted), and the lookup in a copy of 50,000 cards.
#include "app/CardDavSync.h"
#include "support/Radicale.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace {

tCardDavResult RunSync(TCardDavSync& sync) {
    tCardDavResult result;
    QEventLoop loop;
    QObject::connect(&sync, &TCardDavSync::Finished, &loop, [&](const tCardDavResult& r) {
        result = r;
        loop.quit();
    });
    if (sync.Start()) loop.exec();
    return result;
}

std::string NumberOf(int i) {
    return "030 " + std::to_string(1000000 + i);
}

std::string Cards(int count) {
    std::string cards;
    for (int i = 0; i < count; ++i)
        cards += "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:k" + std::to_string(i) + "\r\nFN:Vorname" +
                 std::to_string(i) + " Name" + std::to_string(i) + "\r\nN:Name" +
                 std::to_string(i) + ";Vorname" + std::to_string(i) +
                 ";;;\r\nTEL;TYPE=CELL:" + NumberOf(i) + "\r\nEND:VCARD\r\n";
    return cards;
}

struct Server {
    cbtest::TempDir temp{false};
    cbtest::RadicaleServer radicale{temp.path() / "radicale"};
    explicit Server(int cards) {
        // The whole address book in one request, as Radicale takes an upload of a collection.
        radicale.Request("PUT", radicale.Book(), QByteArray::fromStdString(Cards(cards)),
                         "text/vcard");
        // Radicale builds its own item cache on the first listing after an upload; that is the
        // server's one-time work, not the sync's.
        radicale.Request("PROPFIND", radicale.Book(), {}, "application/xml", "1");
    }
    tCardDavAccount Account() const {
        return {radicale.Root(),
                QString::fromLatin1(cbtest::RadicaleServer::kUser),
                QString::fromLatin1(cbtest::RadicaleServer::kPassword),
                {}};
    }
};

void BM_FirstSync5000Cards(benchmark::State& state) {
    Server server(5000);
    int n = 0;
    tCardDavResult result;
    for (auto _ : state) {
        TCardDavSync sync(QString::fromStdString(server.temp.file("cache" + std::to_string(n++))));
        sync.SetAccount(server.Account());
        result = RunSync(sync);
        if (!result.bOk || result.iCards != 5000) {
            state.SkipWithError(("sync failed: " + result.sMessage.toStdString() + ", " +
                                 std::to_string(result.iCards) + " cards")
                                    .c_str());
            break;
        }
    }
    if (std::getenv("CB_BENCH_SERVER_LOG"))
        for (const std::string& line : server.radicale.Log())
            std::fprintf(stderr, "%s\n", line.c_str());
    state.counters["cards"] = double(result.iCards);
    state.counters["requests"] = result.iRequests;
}
BENCHMARK(BM_FirstSync5000Cards)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_UnchangedSync5000Cards(benchmark::State& state) {
    Server server(5000);
    TCardDavSync sync(QString::fromStdString(server.temp.file("cache")));
    sync.SetAccount(server.Account());
    RunSync(sync);
    tCardDavResult result;
    int served = 0;
    for (auto _ : state) {
        const int before = server.radicale.Requests();
        result = RunSync(sync);
        served = server.radicale.Requests() - before;
        if (!result.bOk) state.SkipWithError("sync failed");
    }
    state.counters["requests"] = result.iRequests;
    state.counters["served"] = served; // as Radicale's log counts them
}
BENCHMARK(BM_UnchangedSync5000Cards)->Unit(benchmark::kMillisecond)->UseRealTime();

std::shared_ptr<CServerContacts> Copy(int cards) {
    auto contacts = std::make_shared<CServerContacts>();
    for (int i = 0; i < cards; ++i) {
        tContact c;
        c.sFamilyName = "Name" + std::to_string(i);
        c.sGivenName = "Vorname" + std::to_string(i);
        c.aNumbers.push_back({NumberOf(i), NumberKind::Mobile, ""});
        contacts->Put(
            {"/anna/buch/k" + std::to_string(i) + ".vcf", "\"e\"", CServerContacts::RowsOf(c)});
    }
    return contacts;
}

void BM_Lookup50000Cards(benchmark::State& state) {
    static const auto contacts = Copy(50000);
    contacts->PrepareLookups();
    std::mt19937 random(7);
    tAnruf caller;
    for (auto _ : state) {
        const int i = int(random() % 60000); // some numbers are not in the book
        benchmark::DoNotOptimize(contacts->NameCaller(caller, "0301" + std::to_string(i)));
    }
}
BENCHMARK(BM_Lookup50000Cards)->Unit(benchmark::kMicrosecond);

// Building the number index again after a sync changed the copy (done once at the sync's end,
// never by a lookup).
void BM_IndexAfterChange50000Cards(benchmark::State& state) {
    static const auto contacts = Copy(50000);
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        contacts->Remove("/anna/buch/k" + std::to_string(n++) + ".vcf");
        state.ResumeTiming();
        contacts->PrepareLookups();
    }
}
BENCHMARK(BM_IndexAfterChange50000Cards)->Unit(benchmark::kMillisecond)->Iterations(10);

// Reading the cache file of 50,000 cards at start.
void BM_LoadCopy50000Cards(benchmark::State& state) {
    const std::string text = Copy(50000)->Serialize();
    for (auto _ : state) {
        CServerContacts contacts;
        std::string error;
        benchmark::DoNotOptimize(contacts.Parse(text, error));
    }
    state.counters["MB"] = double(text.size()) / 1e6;
}
BENCHMARK(BM_LoadCopy50000Cards)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
