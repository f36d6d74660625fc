// SPDX-License-Identifier: GPL-3.0-or-later
// The real program on the simulated ISDN line with its calls going to the rest of the house:
// a real Mosquitto broker of the test's own (password file; TLS from a CA made here), the
// announcements through it to two clients, a webhook receiver and a command, all on 127.0.0.1.
#include "db/Anruf.h"
#include "db/CBase.h"
#include "net/AnnouncementKey.h"
#include "net/CallMessage.h"
#include "support/Mosquitto.h"
#include "support/Process.h"
#include "support/Station.h"
#include "support/TestSupport.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;
using cbtest::Broker;
using cbtest::ChildProcess;
using cbtest::ReadWholeFile;
using cbtest::Subscriber;
using cbtest::WaitUntil;
using cbtest::WriteWholeFile;

namespace {

const std::string kBuild = cbtest::BuildDir();

class Station {
public:
    Station(const fs::path& folder, int linePort) : dir(folder) {
        cbtest::PrepareStation(dir);
        fs::create_directories(dir / "home");
        WriteWholeFile((dir / "home/.capi20rc").string(),
                       "TRACELEVEL 0\nREMOTE fritzbox 127.0.0.1 " + std::to_string(linePort) +
                           "\n");
    }
    void Start(const std::string& ini, std::vector<std::string> env = {}) {
        WriteWholeFile((dir / "callbeacon.INI").string(), ini);
        env.push_back("HOME=" + (dir / "home").string());
        env.push_back("QT_QPA_PLATFORM=offscreen");
        env.push_back("CALLBEACON_TRACE=" + (dir / "trace.txt").string());
        app =
            std::make_unique<ChildProcess>(std::vector<std::string>{(dir / "callbeacon").string()},
                                           env, dir.string(), (dir / "stdout.txt").string());
    }
    std::string Trace() const { return ReadWholeFile((dir / "trace.txt").string()); }
    int Count(const std::string& needle) const { return cbtest::CountInTrace(dir, needle); }
    bool WaitForTrace(const std::string& needle, int timeoutMs = 15000) const {
        return WaitUntil([&] { return Count(needle) > 0; }, timeoutMs);
    }

    fs::path dir;
    std::unique_ptr<ChildProcess> app;
};

QJsonObject Json(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object();
}

std::string Field(const std::string& json, const char* name) {
    return Json(json).value(QLatin1String(name)).toVariant().toString().toStdString();
}

std::vector<std::string> Kinds(const std::vector<std::string>& events) {
    std::vector<std::string> kinds;
    for (const std::string& e : events)
        kinds.push_back(Field(e, "event"));
    return kinds;
}

class Actions : public ::testing::Test {
protected:
    cbtest::TempDir temp;
    int linePort = cbtest::FreePort();
    std::unique_ptr<ChildProcess> line;

    void StartLine() {
        line = std::make_unique<ChildProcess>(std::vector<std::string>{kBuild + "/callbeacon-line",
                                                                       "--port",
                                                                       std::to_string(linePort)},
                                              std::vector<std::string>{}, temp.path().string());
        ASSERT_TRUE(WaitUntil([&] { return line->running(); }, 2000));
    }
    void Expect(const std::string& lineOutput, int timeoutMs = 15000) {
        EXPECT_TRUE(line->WaitForLine(lineOutput, timeoutMs))
            << "line never printed: " << lineOutput;
    }
    // A call answered elsewhere (Anna Meier) and a missed one (an unknown number).
    void AnsweredAndMissedCall() {
        line->Send("ring 0101 4711 301234567\n");
        Expect("recv ALERT_REQ plci=0x0101");
        line->Send("hangup 0101 349A\n");
        Expect("recv DISCONNECT_RESP plci=0x0101");
        line->Send("ring 0102 4711 891234567\n");
        Expect("recv ALERT_REQ plci=0x0102");
        line->Send("hangup 0102 3490\n");
        Expect("recv DISCONNECT_RESP plci=0x0102");
    }
};

const std::string kServerBase = "[Anruf]\nSekunden=1\nAnruferAnzeigen=0\n[MSN]\nAlle=1\n";

} // namespace

TEST_F(Actions, EventsInOrderWithStatusDiscoveryLastCallAndLastWill) {
    Broker broker(temp.path(), "station", "s3cret");
    broker.Start();
    Subscriber sub(broker, {"callbeacon/#", "homeassistant/#"});
    StartLine();
    Station station(temp.path() / "s", linePort);
    station.Start(kServerBase + broker.IniSection("platz1", "HomeAssistant=1\n"));
    Expect("recv LISTEN_REQ");
    ASSERT_TRUE(WaitUntil([&] { return !sub.On("callbeacon/platz1/status").empty(); }, 10000))
        << station.Trace();
    AnsweredAndMissedCall();
    ASSERT_TRUE(WaitUntil([&] { return sub.On("callbeacon/platz1/event").size() >= 6; }, 10000));
    const auto events = sub.On("callbeacon/platz1/event");
    EXPECT_EQ(Kinds(events),
              (std::vector<std::string>{"ring", "answered", "ended", "ring", "ended", "missed"}));
    const QJsonObject ring = Json(events[0]);
    EXPECT_EQ(ring.value("name").toString(), "Anna Meier");
    EXPECT_EQ(ring.value("calling").toString(), "0301234567");
    EXPECT_EQ(ring.value("calling_type").toString(), "national");
    EXPECT_EQ(ring.value("called").toString(), "4711");
    EXPECT_EQ(ring.value("place").toString(), "Berlin");
    EXPECT_EQ(ring.value("line").toString(), "isdn");
    EXPECT_EQ(ring.value("call_id").toInteger(), 0x0101);
    EXPECT_TRUE(ring.value("known").toBool());
    // ISO 8601 with the offset, close to now.
    const QString time = ring.value("time").toString();
    EXPECT_TRUE(time.contains('T') && (time.contains('+') || time.endsWith('Z')))
        << time.toStdString();
    EXPECT_EQ(Json(events[3]).value("name").toString(), "");
    EXPECT_EQ(Json(events[5]).value("calling").toString(), "0891234567");

    const auto last = sub.On("callbeacon/platz1/last_call");
    ASSERT_EQ(last.size(), 2u);
    EXPECT_EQ(Field(last[1], "calling"), "0891234567");
    EXPECT_EQ(sub.On("callbeacon/platz1/status"), std::vector<std::string>{"online"});
    const auto sensor = sub.On("homeassistant/sensor/callbeacon_platz1_last_caller/config");
    const auto binary = sub.On("homeassistant/binary_sensor/callbeacon_platz1_ringing/config");
    ASSERT_EQ(sensor.size(), 1u);
    ASSERT_EQ(binary.size(), 1u);
    EXPECT_EQ(Field(sensor[0], "state_topic"), "callbeacon/platz1/last_call");
    EXPECT_EQ(Field(binary[0], "availability_topic"), "callbeacon/platz1/status");

    // Retained for whoever subscribes later.
    Subscriber late(broker, {"callbeacon/platz1/last_call", "callbeacon/platz1/status"});
    ASSERT_TRUE(WaitUntil([&] { return late.Lines().size() >= 2; }, 5000));
    EXPECT_EQ(Field(late.On("callbeacon/platz1/last_call").at(0), "call_id"), "258");

    // Killed: the broker says "offline" for it.
    kill(station.app->pid(), SIGKILL);
    EXPECT_TRUE(WaitUntil(
        [&] {
            auto s = sub.On("callbeacon/platz1/status");
            return s.size() == 2 && s[1] == "offline";
        },
        10000));

    // A wrong password: refused, said in the trace, and the calls still go on.
    Station wrong(temp.path() / "w", linePort);
    wrong.Start(kServerBase + "[MQTT]\nHost=127.0.0.1\nPort=" + std::to_string(broker.port()) +
                "\nBenutzer=station\nKennwort=falsch\nStation=w\n");
    EXPECT_TRUE(wrong.WaitForTrace("Anmeldung abgelehnt")) << wrong.Trace();
}

TEST_F(Actions, EventsOverTlsWithTheTestsOwnCa) {
    const cbtest::TlsFiles tls = cbtest::MakeTlsFiles(temp.path());
    Broker broker(temp.path(), "", "", &tls);
    broker.Start();
    Subscriber sub(broker, {"callbeacon/#"});
    StartLine();
    Station station(temp.path() / "s", linePort);
    station.Start(kServerBase + broker.IniSection("tls"));
    Expect("recv LISTEN_REQ");
    ASSERT_TRUE(WaitUntil([&] { return !sub.On("callbeacon/tls/status").empty(); }, 10000))
        << station.Trace();
    line->Send("ring 0101 4711 301234567\n");
    EXPECT_TRUE(WaitUntil([&] { return !sub.On("callbeacon/tls/event").empty(); }, 10000));

    // Without the CA the broker's certificate is not trusted: no connection, said in the trace.
    Station untrusting(temp.path() / "u", linePort);
    untrusting.Start(kServerBase + "[MQTT]\nHost=127.0.0.1\nTLS=1\nPort=" +
                     std::to_string(broker.port()) + "\nStation=u\n");
    EXPECT_TRUE(untrusting.WaitForTrace("mqtt getrennt")) << untrusting.Trace();
    EXPECT_EQ(untrusting.Count("mqtt verbunden"), 0);
}

TEST_F(Actions, BrokerDownAtStartThenUpAndKilledAndRestartedDuringCalls) {
    Broker broker(temp.path());
    StartLine();
    Station station(temp.path() / "s", linePort);
    station.Start(kServerBase + broker.IniSection("p"));
    Expect("recv LISTEN_REQ");
    // Calls are alerted and logged while no broker is there.
    line->Send("ring 0101 4711 301234567\n");
    Expect("recv ALERT_REQ plci=0x0101");
    line->Send("hangup 0101 3490\n");
    Expect("recv DISCONNECT_RESP plci=0x0101");
    ASSERT_TRUE(WaitUntil([&] { return cbtest::ReadLog(station.dir).size() == 1; }, 10000));

    broker.Start();
    Subscriber sub(broker, {"callbeacon/p/event"});
    ASSERT_TRUE(WaitUntil([&] { return sub.On("callbeacon/p/event").size() == 3; }, 20000))
        << station.Trace();
    EXPECT_EQ(Kinds(sub.On("callbeacon/p/event")),
              (std::vector<std::string>{"ring", "ended", "missed"}));

    // Killed during a call, restarted later: the rest of it and the next call arrive.
    line->Send("ring 0102 4711 891234567\n");
    ASSERT_TRUE(WaitUntil([&] { return sub.On("callbeacon/p/event").size() == 4; }, 10000));
    broker.Kill();
    line->Send("hangup 0102 349A\n");
    Expect("recv DISCONNECT_RESP plci=0x0102");
    line->Send("ring 0103 4711 891234567\n");
    Expect("recv ALERT_REQ plci=0x0103");
    line->Send("hangup 0103 3490\n");
    Expect("recv DISCONNECT_RESP plci=0x0103");
    ASSERT_TRUE(WaitUntil([&] { return cbtest::ReadLog(station.dir).size() == 3; }, 10000));
    EXPECT_TRUE(station.WaitForTrace("mqtt getrennt"));
    broker.Start();
    Subscriber after(broker, {"callbeacon/p/event"});
    ASSERT_TRUE(WaitUntil([&] { return after.On("callbeacon/p/event").size() == 5; }, 20000))
        << station.Trace();
    EXPECT_EQ(Kinds(after.On("callbeacon/p/event")),
              (std::vector<std::string>{"answered", "ended", "ring", "ended", "missed"}));
    EXPECT_TRUE(station.app->running());
}

TEST_F(Actions, AnnouncementsThroughTheBrokerReachTwoClientsAndTheKeyIsChecked) {
    Broker broker(temp.path());
    broker.Start();
    StartLine();
    // Each client listens on a UDP port of its own: only the broker can reach them.
    const std::string clientBase = "[Anruf]\nSekunden=1\n[Netzwerk]\nClient=1\nWeg=MQTT\n";
    Station keyed(temp.path() / "a", cbtest::FreePort());
    keyed.Start(clientBase + "Kennwort=k1\n" + broker.IniSection("a"),
                {"CALLBEACON_MAILSLOT_PORT=" + std::to_string(cbtest::FreePort(SOCK_DGRAM))});
    Station plain(temp.path() / "b", cbtest::FreePort());
    plain.Start(clientBase + broker.IniSection("b"),
                {"CALLBEACON_MAILSLOT_PORT=" + std::to_string(cbtest::FreePort(SOCK_DGRAM))});
    ASSERT_TRUE(keyed.WaitForTrace("mqtt verbunden"));
    ASSERT_TRUE(plain.WaitForTrace("mqtt verbunden"));

    Station server(temp.path() / "s", linePort);
    server.Start(kServerBase + "[Netzwerk]\nServer=1\nWeg=MQTT\nKennwort=k1\n" +
                 broker.IniSection("s"));
    ASSERT_TRUE(server.WaitForTrace("mqtt verbunden"));
    line->Send("ring 0101 4711 301234567\n");
    Expect("recv ALERT_REQ plci=0x0101");
    // Shown as a broadcast announcement is: the client's own phone book names the caller. A
    // client without a key reads the signed text as it reads a signed datagram.
    EXPECT_TRUE(keyed.WaitForTrace("popup Meier | Berlin")) << keyed.Trace();
    EXPECT_TRUE(plain.WaitForTrace("popup Meier | Berlin")) << plain.Trace();
    // Text without the key's code, as anyone on the broker could publish it: only the client
    // without a key shows it.
    const std::string forged =
        FormatCallMessage(77, static_cast<int32_t>(std::time(nullptr)), "0307654321", "4711");
    const std::string file = (temp.path() / "forged").string();
    WriteWholeFile(file, std::string(forged.c_str(), forged.size() + 1));
    std::string pub = "mosquitto_pub -h 127.0.0.1 -p " + std::to_string(broker.port()) +
                      " -t callbeacon/announce/DEDOV -f " + file;
    ASSERT_TRUE(cbtest::RunQuietly(pub));
    EXPECT_TRUE(plain.WaitForTrace("popup 0307654321")) << plain.Trace();
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(keyed.Count("0307654321"), 0) << keyed.Trace();
    EXPECT_EQ(keyed.Count("popup Meier"), 1);
    EXPECT_EQ(plain.Count("popup Meier"), 1);
    EXPECT_EQ(plain.Count("popup 0307654321"), 1);
}

namespace {

// An HTTP receiver on 127.0.0.1: answers the first request with 503, the others with 200.
class WebhookReceiver {
public:
    WebhookReceiver() {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        listen(fd_, 8);
        thread_ = std::thread([this] { Serve(); });
    }
    ~WebhookReceiver() {
        stop_ = true;
        shutdown(fd_, SHUT_RDWR);
        close(fd_);
        thread_.join();
    }
    int port() const { return port_; }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> lock(mutex_);
        return requests_;
    }

private:
    void Serve() {
        while (!stop_) {
            const int c = accept(fd_, nullptr, nullptr);
            if (c < 0) return;
            std::string request;
            char buffer[4096];
            // Headers, then as much body as Content-Length says.
            for (;;) {
                const ssize_t n = read(c, buffer, sizeof buffer);
                if (n <= 0) break;
                request.append(buffer, static_cast<size_t>(n));
                const size_t end = request.find("\r\n\r\n");
                if (end == std::string::npos) continue;
                const size_t cl = request.find("Content-Length: ");
                const size_t body =
                    cl == std::string::npos ? 0 : std::stoul(request.substr(cl + 16));
                if (request.size() >= end + 4 + body) break;
            }
            bool first;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                first = requests_.empty();
                requests_.push_back(request);
            }
            const std::string answer =
                first ? "HTTP/1.1 503 Busy\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"
                      : "HTTP/1.1 200 OK\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
            [[maybe_unused]] ssize_t w = write(c, answer.data(), answer.size());
            close(c);
        }
    }
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

} // namespace

TEST_F(Actions, WebhookReceivesTheJsonAndAFailedPostIsTriedOnceMore) {
    WebhookReceiver receiver;
    StartLine();
    Station station(temp.path() / "s", linePort);
    station.Start(kServerBase + "[Aktionen]\nWebhook=http://127.0.0.1:" +
                  std::to_string(receiver.port()) + "/anruf\n");
    Expect("recv LISTEN_REQ");
    line->Send("ring 0101 4711 301234567\n");
    Expect("recv ALERT_REQ plci=0x0101");
    ASSERT_TRUE(WaitUntil([&] { return receiver.Requests().size() == 1; }, 10000));
    EXPECT_TRUE(station.WaitForTrace("webhook failed: HTTP 503")) << station.Trace();
    // The one retry comes after ten seconds, with the same body.
    ASSERT_TRUE(WaitUntil([&] { return receiver.Requests().size() == 2; }, 20000));
    const auto requests = receiver.Requests();
    EXPECT_EQ(requests[0].rfind("POST /anruf HTTP/1.1\r\n", 0), 0u) << requests[0];
    EXPECT_NE(requests[0].find("Content-Type: application/json"), std::string::npos);
    const std::string body = requests[1].substr(requests[1].find("\r\n\r\n") + 4);
    EXPECT_EQ(Field(body, "event"), "ring");
    EXPECT_EQ(Field(body, "name"), "Anna Meier");
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_EQ(receiver.Requests().size(), 2u);
}

TEST_F(Actions, ACommandReceivesHostileCallerTextOnlyAsData) {
    StartLine();
    Station station(temp.path() / "s", linePort);
    // A phone-book entry written to break out of a command line in every way it could.
    const std::string marker = (temp.path() / "pwned").string();
    {
        CBase book;
        ASSERT_TRUE(book.Open((station.dir / kPhoneBookFile).string()));
        book.PutField("NAME", "$(touch pwned)`id`");
        book.PutField("VORNAME", "\";touch pwned;'");
        book.PutField("TELEFON", "0891234567");
        book.PutField("ORT", "a|b&c>d");
        book.Append();
        book.Close();
    }
    const std::string script = (temp.path() / "show.sh").string();
    WriteWholeFile(script,
                   "#!/bin/sh\nprintf 'ARGS=%s|%s EVENT=%s NAME=%s PLACE=%s\\n' \"$1\" "
                   "\"$2\" \"$CALLBEACON_EVENT\" \"$CALLBEACON_NAME\" \"$CALLBEACON_PLACE\"\n");
    fs::permissions(script, fs::perms::owner_all);
    station.Start(kServerBase + "[Aktionen]\nBefehl=" + script + " \"zwei Wörter\" $HOME;x\n");
    Expect("recv LISTEN_REQ");
    line->Send("ring 0101 4711 891234567\n");
    Expect("recv ALERT_REQ plci=0x0101");
    line->Send("hangup 0101 3490\n");
    ASSERT_TRUE(WaitUntil([&] { return station.Count("command done: exit 0") == 3; }, 15000))
        << station.Trace();
    EXPECT_EQ(station.Count("command: ARGS=zwei Wörter|$HOME;x EVENT=ring NAME=\";touch pwned;' "
                            "$(touch pwned)`id` PLACE=a|b&c>d"),
              1)
        << station.Trace();
    EXPECT_EQ(station.Count("EVENT=missed"), 1);
    EXPECT_FALSE(fs::exists(marker));
    EXPECT_FALSE(fs::exists(station.dir / "pwned"));
}

TEST_F(Actions, AtMostFourCommandsRunAtOnce) {
    StartLine();
    Station station(temp.path() / "s", linePort);
    station.Start(kServerBase + "[Aktionen]\nBefehl=sleep 3\n");
    Expect("recv LISTEN_REQ");
    // Two calls: six events while the first commands still sleep.
    line->Send("ring 0101 4711 891234567\nhangup 0101 3490\n");
    line->Send("ring 0102 4711 891234567\nhangup 0102 3490\n");
    Expect("recv DISCONNECT_RESP plci=0x0102");
    ASSERT_TRUE(WaitUntil([&] { return station.Count("command done: exit 0") == 4; }, 15000))
        << station.Trace();
    EXPECT_EQ(station.Count("command skipped: 4 still running"), 2) << station.Trace();
    // Once they are done, the next event gets its command again.
    line->Send("ring 0103 4711 891234567\n");
    EXPECT_TRUE(WaitUntil([&] { return station.Count("command done: exit 0") == 5; }, 10000));
}
