// SPDX-License-Identifier: GPL-3.0-or-later
// The path of a call, from the ISDN line's messages or the network to the listeners, with a
// scripted CAPI queue and real tables and sockets in a temporary folder.
#include "app/Announcements.h"
#include "app/CallListeners.h"
#include "app/CallPipeline.h"
#include "app/IsdnCalls.h"
#include "capi/CapiBase.h"
#include "capi/CapiMessages.h"
#include "core/Settings.h"
#include "db/Anruf.h"
#include "db/CBase.h"
#include "db/CallLog.h"
#include "net/AnnouncementKey.h"
#include "net/CallMessage.h"
#include "net/Mail.h"
#include "platform/Clock.h"
#include "platform/Trace.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Message = std::vector<uint8_t>;

Message MakeConnectInd(uint32_t plci, const std::string& called, const std::string& calling) {
    Message m = {0, 0, 0, 0, 0x02, 0x82, 0x01, 0x80};
    for (int i = 0; i < 4; ++i)
        m.push_back(static_cast<uint8_t>(plci >> (8 * i)));
    m.push_back(1); // CIP value
    m.push_back(0);
    m.push_back(static_cast<uint8_t>(called.size() + 1));
    m.push_back(0x81);
    m.insert(m.end(), called.begin(), called.end());
    m.push_back(static_cast<uint8_t>(calling.size() + 2));
    m.push_back(0x21);
    m.push_back(0x83);
    m.insert(m.end(), calling.begin(), calling.end());
    for (int i = 0; i < 7; ++i)
        m.push_back(0);
    m[0] = static_cast<uint8_t>(m.size());
    m[1] = static_cast<uint8_t>(m.size() >> 8);
    return m;
}

Message DisconnectInd(uint32_t plci, uint16_t reason) {
    Message m = {14, 0, 0, 0, 0x04, 0x82, 0x02, 0x80};
    for (int i = 0; i < 4; ++i)
        m.push_back(static_cast<uint8_t>(plci >> (8 * i)));
    m.push_back(static_cast<uint8_t>(reason));
    m.push_back(static_cast<uint8_t>(reason >> 8));
    return m;
}

class ScriptedPort : public ICapiPort {
public:
    std::deque<Message> queue;
    std::vector<Message> sent;
    unsigned putResult = 0;

    unsigned GetMessage(const uint8_t** msg) override {
        if (queue.empty()) return 0x1104;
        current.assign(CapiBase::kReceiveBufferSize, 0);
        std::copy(queue.front().begin(), queue.front().end(), current.begin());
        queue.pop_front();
        *msg = current.data();
        return 0;
    }
    unsigned PutMessage(const uint8_t* msg) override {
        sent.emplace_back(msg, msg + (msg[0] | (msg[1] << 8)));
        return putResult;
    }
    uint32_t ApplId() const override { return 7; }

    std::vector<uint16_t> SentCommands() const {
        std::vector<uint16_t> words;
        for (const Message& m : sent)
            words.push_back(CommandWord(m.data()));
        return words;
    }

private:
    Message current;
};

// Every event as it reaches the listeners, in a short form.
class EventRecorder : public ICallListener {
public:
    std::vector<std::string> seen;
    const char* ListenerName() const override { return "recorder"; }
    void OnCallEvent(const CallEvent& e) override {
        std::string text = std::string(CallEventName(e.kind)) + " " + std::to_string(e.callId);
        if (e.kind == CallEventKind::Ringing) text += " " + e.caller.sName;
        seen.push_back(text);
    }
};

class RecordingView : public ICallView {
public:
    std::vector<std::string> events;
    std::vector<tAnruf> popups;
    int popupTag = 0;
    std::function<void()> duringPopup; // runs "inside the modal loop"
    int count = 0;

    void StartBlinking() override { events.push_back("blink"); }
    void StopBlinking() override { events.push_back("stop"); }
    void ShowRedIcon() override { events.push_back("red"); }
    void ShowWhiteIcon() override { events.push_back("white"); }
    int ShowCallerPopup(const tAnruf& anruf) override {
        popups.push_back(anruf);
        events.push_back("popup " + anruf.sName);
        if (duringPopup) {
            auto nested = std::move(duringPopup);
            duringPopup = nullptr;
            nested();
        }
        events.push_back("closed " + anruf.sName);
        return popupTag;
    }
    void CountCall() override { ++count; }
    int missed = 0;
    void CountMissedCall() override { ++missed; }
};

struct Tick : ::testing::Test {
    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
    ScriptedPort port;
    RecordingView view;
    TIsdnCalls calls;
    TCallPipeline pipeline;
    TAcknowledgement acknowledgement;
    // The numbers sent start where a test can predict them.
    std::shared_ptr<TAnnouncementSender> sender = std::make_shared<TAnnouncementSender>("DEDOV", 0);
    TAnnouncementReceiver receiver{"DEDOV"};
    int64_t now = 946684799; // 1999-12-31 23:59:59 UTC

    void SetUp() override {
        ResetSettings();
        // The listeners of the program, in its order.
        pipeline.Add(sender);
        pipeline.Add(std::make_shared<TCallLogListener>());
        pipeline.Add(std::make_shared<TTrayAlertListener>(view));
        pipeline.Add(std::make_shared<TPopupListener>(view, acknowledgement));
        pipeline.Add(std::make_shared<TCallCountListener>(view));
        cb::SetClockOverride([this] { return now; });
        CBase book;
        AddPhoneBookFields(book);
        ASSERT_TRUE(book.Create(kPhoneBookFile));
        book.PutField("NAME", "Meier");
        book.PutField("VORNAME", "Anna");
        book.PutField("TELEFON", "0301234567");
        ASSERT_EQ(book.Append(), 1);
        book.Close();
        CBase log;
        AddCallLogFields(log);
        ASSERT_TRUE(log.Create(kCallLogFile));
    }
    void TearDown() override {
        cb::SetClockOverride({});
        ResetSettings();
        SettingsChanged(); // slots closed
    }

    // The settings dialog's OK, as the program announces it.
    void SettingsChanged() {
        pipeline.SettingsChanged();
        receiver.SettingsChanged();
    }
    // One tick as the program runs it: an announcement, then one message of the line.
    void Tick1() {
        std::vector<CallEvent> events;
        receiver.TakeEvents(events);
        calls.TakeMessage(port, events);
        for (CallEvent& e : events)
            pipeline.Dispatch(std::move(e));
    }
    void TickAll() {
        while (!port.queue.empty())
            Tick1();
    }
    std::vector<std::vector<std::string>> LogRows() {
        CBase log;
        EXPECT_TRUE(log.Open(kCallLogFile));
        std::vector<std::vector<std::string>> rows;
        for (uint32_t i = 0; i < log.RecCount(); ++i) {
            const int state = log.GoTo(i);
            rows.push_back({log.GetField("ZEIT", false), log.GetField("ANRUFER"),
                            log.GetField("GERUFENER"), log.GetField("ANG", false),
                            state == 1 ? "active" : "deleted"});
        }
        return rows;
    }
};

} // namespace

TEST_F(Tick, IncomingCallIsAlertedLoggedShownAndCounted) {
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301234567"));
    Tick1();

    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0], (Message{13, 0, 7, 0, 0x01, 0x80, 1, 0, 0x01, 0x01, 0, 0, 0}));
    ASSERT_EQ(LogRows().size(), 1u);
    EXPECT_EQ(LogRows()[0],
              (std::vector<std::string>{"946684799 ", "0301234567", "4711", " ", "active"}));
    ASSERT_EQ(view.popups.size(), 1u);
    EXPECT_EQ(view.popups[0].sName, "Meier");
    EXPECT_EQ(view.popups[0].sGerufener, "4711");
    EXPECT_EQ(view.events.front(), "red");
    EXPECT_EQ(view.count, 1);
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(Tick, OnlyOneMessagePerTickAndConfirmationsAreIgnored) {
    port.queue.push_back({14, 0, 7, 0, 0x05, 0x81, 1, 0, 1, 0, 0, 0, 0, 0}); // LISTEN_CONF
    port.queue.push_back(MakeConnectInd(0x0201, "4711", "0891234"));
    Tick1();
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(port.queue.size(), 1u);
    Tick1();
    EXPECT_EQ(port.sent.size(), 1u);
    Tick1(); // empty queue: nothing happens
    EXPECT_EQ(view.count, 1);
}

TEST_F(Tick, MsnFilterLetsOnlySelectedNumbersThrough) {
    bAlle = false;
    strcpy(aszNr[3], "4711");
    abZeige[3] = false; // number entered but not selected
    strcpy(aszNr[5], "4712");
    abZeige[5] = true;
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301234567"));
    port.queue.push_back(MakeConnectInd(0x0102, "47121", "301234567")); // prefix is not enough
    port.queue.push_back(MakeConnectInd(0x0103, "4712", "301234567"));
    TickAll();
    EXPECT_EQ(port.SentCommands(), (std::vector<uint16_t>{0x8001, 0x8001, 0x8001}));
    ASSERT_EQ(LogRows().size(), 1u);
    EXPECT_EQ(LogRows()[0][2], "4712");
    EXPECT_EQ(view.popups.size(), 1u);
    EXPECT_EQ(view.count, 1);
}

TEST_F(Tick, HistoryOffLeavesLogIconAndSlotsAlone) {
    bHistory = false;
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301234567"));
    port.queue.push_back(DisconnectInd(0x0101, 0x349A));
    TickAll();
    EXPECT_TRUE(LogRows().empty());
    for (const std::string& e : view.events)
        EXPECT_TRUE(e != "red" && e != "blink") << e;
    EXPECT_EQ(view.count, 1);
    EXPECT_EQ(port.SentCommands(), (std::vector<uint16_t>{0x8001, 0x8304}));
}

TEST_F(Tick, KnownCallersOnlySuppressesThePopupForStrangers) {
    bBekannte = true;
    bBlinkend = true;
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "891234"));
    port.queue.push_back(MakeConnectInd(0x0102, "4711", "")); // no number: "0"
    TickAll();
    EXPECT_TRUE(view.popups.empty());
    EXPECT_EQ(LogRows().size(), 2u);
    EXPECT_EQ(LogRows()[0][1], "0891234");
    EXPECT_EQ(LogRows()[1][1], "0");
    EXPECT_EQ(view.events, (std::vector<std::string>{"blink", "blink"}));
    EXPECT_EQ(view.count, 2);
}

TEST_F(Tick, PopupClosedByItsTimerKeepsTheIconUntilAcknowledged) {
    view.popupTag = 1; // closed by the user while all were seen: back to idle
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301234567"));
    Tick1();
    EXPECT_EQ(view.events,
              (std::vector<std::string>{"red", "popup Meier", "closed Meier", "stop", "white"}));
    EXPECT_TRUE(acknowledgement.bAllSeen);

    view.events.clear();
    view.popupTag = 0; // closed by itself
    port.queue.push_back(MakeConnectInd(0x0102, "4711", "301234567"));
    Tick1();
    EXPECT_FALSE(acknowledgement.bAllSeen);

    view.events.clear();
    view.popupTag = 1; // the user closes a later one: the icon stays red
    port.queue.push_back(MakeConnectInd(0x0103, "4711", "301234567"));
    Tick1();
    EXPECT_EQ(view.events, (std::vector<std::string>{"red", "popup Meier", "closed Meier"}));
}

TEST_F(Tick, AnsweredElsewhereMarksOnlyTheLastTwoCalls) {
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301"));
    port.queue.push_back(MakeConnectInd(0x0102, "4711", "302"));
    port.queue.push_back(MakeConnectInd(0x0103, "4711", "303"));
    port.queue.push_back(DisconnectInd(0x0101, 0x349A)); // third-to-last: no slot
    port.queue.push_back(DisconnectInd(0x0102, 0x349A)); // second-to-last: marked
    port.queue.push_back(DisconnectInd(0x0103, 0x3490)); // normal clearing: not marked
    TickAll();
    const auto rows = LogRows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0][3], " ");
    EXPECT_EQ(rows[1][3], "J");
    EXPECT_EQ(rows[2][3], " ");
    EXPECT_EQ(port.SentCommands(),
              (std::vector<uint16_t>{0x8001, 0x8001, 0x8001, 0x8304, 0x8304, 0x8304}));
    EXPECT_EQ(port.sent[4], (Message{12, 0, 7, 0, 0x04, 0x83, 1, 0, 0x02, 0x01, 0, 0}));
}

TEST_F(Tick, MarkFindsItsCallAgainAfterThePackAndNeverAnotherOne) {
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301"));
    port.queue.push_back(MakeConnectInd(0x0102, "4711", "302"));
    TickAll();
    {
        CBase log;
        ASSERT_TRUE(log.Open(kCallLogFile));
        log.Delete(0);
        ASSERT_TRUE(log.Pack()); // the call from 0302 is now record 0
    }
    port.queue.push_back(DisconnectInd(0x0102, 0x349A));
    port.queue.push_back(DisconnectInd(0x0101, 0x349A)); // its call is gone
    TickAll();
    const auto rows = LogRows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][1], "0302");
    EXPECT_EQ(rows[0][3], "J");
}

TEST_F(Tick, FailedAlertShowsTheBoxAndDropsTheCall) {
    port.putResult = 0x1108;
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301234567"));
    port.queue.push_back(DisconnectInd(0x0101, 0x3490));
    TickAll();
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"CAPI PutMessage\nCode:1108",
                                                       "CAPI PutMessage\nCode:1108"}));
    EXPECT_TRUE(LogRows().empty());
    EXPECT_TRUE(view.popups.empty());
    EXPECT_EQ(view.count, 0);
}

TEST_F(Tick, NestedTickOpensASecondPopupAndHandlesTheDisconnect) {
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301234567"));
    view.duringPopup = [this] {
        // Ticks keep running while the first pop-up is open.
        port.queue.push_back(DisconnectInd(0x0101, 0x349A));
        port.queue.push_back(MakeConnectInd(0x0102, "4711", "891234"));
        TickAll();
    };
    Tick1();
    EXPECT_EQ(view.events, (std::vector<std::string>{"red", "popup Meier", "red", "popup 0891234",
                                                     "closed 0891234", "closed Meier"}));
    const auto rows = LogRows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0][3], "J");
    EXPECT_EQ(view.count, 2);
}

// A call that ends unanswered while its own pop-up is open is missed before it is counted: the
// count waits for its ring, so the hint never shows more missed calls than calls.
TEST_F(Tick, CallMissedInsideItsPopupIsCountedWithItsRing) {
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301234567"));
    int missedBeforeCount = -1;
    view.duringPopup = [this, &missedBeforeCount] {
        port.queue.push_back(DisconnectInd(0x0101, 0x3490));
        TickAll();
        missedBeforeCount = view.missed;
    };
    Tick1();
    EXPECT_EQ(missedBeforeCount, 0);
    EXPECT_EQ(view.count, 1);
    EXPECT_EQ(view.missed, 1);
    // An answered call and a second missed one after the pop-ups.
    port.queue.push_back(MakeConnectInd(0x0102, "4711", "891234"));
    port.queue.push_back(MakeConnectInd(0x0103, "4711", "891235"));
    port.queue.push_back(DisconnectInd(0x0102, 0x349A));
    port.queue.push_back(DisconnectInd(0x0103, 0x3490));
    TickAll();
    EXPECT_EQ(view.count, 3);
    EXPECT_EQ(view.missed, 2);
}

TEST_F(Tick, GarbledMessagesAreIgnoredWithoutOverrun) {
    Message shortConnect = {10, 0, 7, 0, 0x02, 0x82, 1, 0, 1, 1};
    Message lying = MakeConnectInd(0x0101, "4711", "301234567");
    lying[14] = 200; // called-number structure claims more than the message holds
    port.queue.push_back(shortConnect);
    port.queue.push_back(lying);
    port.queue.push_back({9, 0, 7, 0, 0x04, 0x82, 1, 0, 1}); // truncated DISCONNECT_IND
    TickAll();
    EXPECT_LE(LogRows().size(), 1u);
    for (const auto& row : LogRows())
        EXPECT_LE(row[2].size(), 20u);
}

TEST_F(Tick, ClientShowsAnnouncedCallsOnceAndLogsNothing) {
    SetMailPortOverride(static_cast<uint16_t>(30000 + getpid() % 20000));
    bClient = true;
    SettingsChanged();
    TMailServer server("DEDOV");
    server.SendText(FormatCallMessage(0, 1, "0301234567", "4711").c_str());
    server.SendText(FormatCallMessage(0, 2, "0301234567", "4711").c_str()); // repeated number
    server.SendText(FormatCallMessage(1, 3, "0891234", "4711").c_str());
    server.SendText(",,,"); // no sequence number
    for (int i = 0; i < 5; ++i)
        Tick1();
    SetMailPortOverride(0);
    ASSERT_EQ(view.popups.size(), 2u);
    EXPECT_EQ(view.popups[0].sName, "Meier");
    EXPECT_EQ(view.popups[1].sName, "0891234");
    EXPECT_EQ(receiver.LastSequence(), 1);
    EXPECT_TRUE(LogRows().empty());
    EXPECT_EQ(view.count, 0);
}

TEST_F(Tick, ServerAnnouncesPassingCallsWithRisingSequenceNumbers) {
    SetMailPortOverride(static_cast<uint16_t>(30000 + (getpid() + 7) % 20000));
    bServer = true;
    bAlle = false;
    strcpy(aszNr[0], "4711");
    abZeige[0] = true;
    SettingsChanged();
    TMailClient client("DEDOV");
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301234567"));
    port.queue.push_back(MakeConnectInd(0x0102, "9999", "301234567")); // filtered: not announced
    port.queue.push_back(MakeConnectInd(0x0103, "4711", "891234"));
    TickAll();
    std::vector<std::string> received;
    char buffer[200];
    while (client.ReadMessage(buffer, sizeof buffer))
        received.emplace_back(buffer);
    SetMailPortOverride(0);
    EXPECT_EQ(received, (std::vector<std::string>{"0,946684799,0301234567,4711",
                                                  "1,946684799,0891234,4711"}));
    EXPECT_EQ(sender->NextSequence(), 2);
}

// A workstation that is server and client at once reads its own announcements back; what it
// reads must not set its send counter back, or every later announcement repeats a number the
// clients have already seen and is dropped by them.
TEST_F(Tick, ServerThatIsAlsoClientKeepsItsSendCounterAndWrapsAtTheTop) {
    SetMailPortOverride(static_cast<uint16_t>(30000 + (getpid() + 13) % 20000));
    bClient = true;
    bServer = true;
    sender = std::make_shared<TAnnouncementSender>("DEDOV", 2147483647);
    pipeline = TCallPipeline();
    pipeline.Add(sender);
    pipeline.Add(std::make_shared<TPopupListener>(view, acknowledgement));
    SettingsChanged();
    {
        // As if it had seen another server's call first.
        TMailServer another("DEDOV");
        another.SendText(FormatCallMessage(12345, 1, "0301234567", "4711").c_str());
    }
    Tick1();
    ASSERT_EQ(receiver.LastSequence(), 12345);
    view.popups.clear();
    TMailClient other("DEDOV"); // a second workstation on the same machine
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301234567"));
    port.queue.push_back(MakeConnectInd(0x0102, "4711", "891234"));
    for (int i = 0; i < 6; ++i)
        Tick1(); // reads its own back between
    std::vector<std::string> received;
    char buffer[200];
    while (other.ReadMessage(buffer, sizeof buffer))
        received.emplace_back(buffer);
    SetMailPortOverride(0);
    EXPECT_EQ(received, (std::vector<std::string>{"2147483647,946684799,0301234567,4711",
                                                  "-2147483648,946684799,0891234,4711"}));
    EXPECT_EQ(sender->NextSequence(), -2147483647);
    EXPECT_EQ(receiver.LastSequence(), -2147483648);
    // Two own calls, two pop-ups of their own and two read back from the network.
    EXPECT_EQ(view.popups.size(), 4u);
}

TEST(MessageSequence, RestartedServerStartsElsewhereAndNeverAtTheReceiversStart) {
    const int32_t first = InitialMessageSequence();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const int32_t second = InitialMessageSequence();
    EXPECT_NE(first, second);
    EXPECT_NE(first, 0);
    EXPECT_NE(second, 2147483647);
}

// A flood of junk and forged announcements costs a client a few ticks, not one tick (and
// one pop-up) per datagram; the genuine announcement behind it is shown.
TEST_F(Tick, FloodIsReadAwayAndTheAnnouncementBehindItIsShown) {
    SetMailPortOverride(static_cast<uint16_t>(30000 + (getpid() + 17) % 20000));
    bClient = true;
    SettingsChanged();
    {
        TMailServer flood("DEDOV");
        // No more than the socket's receive buffer holds; the kernel drops the rest.
        for (int i = 0; i < 120; ++i)
            flood.SendText(i % 2 ? "1,1,Meier\x1b[2J,4711"
                                 : FormatCallMessage(1000 + i, 1, "0891234", "4711").c_str());
        flood.SendText(FormatCallMessage(42, 1, "0301234567", "4711").c_str());
    }
    int ticks = 0;
    while ((view.popups.empty() || view.popups.back().sName != "Meier") && ticks < 100) {
        Tick1();
        ++ticks;
    }
    SetMailPortOverride(0);
    ASSERT_FALSE(view.popups.empty());
    EXPECT_EQ(view.popups.back().sName, "Meier");
    EXPECT_LE(view.popups.size(), 16u); // the newest few of the flood, not all sixty
    EXPECT_LE(ticks, 18);
}

// With a shared key a client shows only announcements signed with it, each once.
TEST_F(Tick, KeyedClientShowsOnlySignedAnnouncementsAndNoReplays) {
    SetMailPortOverride(static_cast<uint16_t>(30000 + (getpid() + 19) % 20000));
    bClient = true;
    sKennwort = "geheim";
    SettingsChanged();
    ASSERT_TRUE(receiver.IsOpen());
    TAnnouncementSigner genuine("geheim", "DEDOV");
    TAnnouncementSigner forger("falsch", "DEDOV");
    const std::string signedCall = genuine.Sign(FormatCallMessage(1, 1, "0301234567", "4711"), now);
    {
        TMailServer sender("DEDOV");
        sender.SendText(FormatCallMessage(2, 1, "0891111", "4711").c_str()); // no code
        const std::string forged = forger.Sign(FormatCallMessage(3, 1, "0892222", "4711"), now);
        sender.WriteBlock(forged.data(), static_cast<uint32_t>(forged.size()));
        sender.WriteBlock(signedCall.data(), static_cast<uint32_t>(signedCall.size()));
    }
    {
        TMailServer replayer("DEDOV"); // the same bytes again, from elsewhere
        replayer.WriteBlock(signedCall.data(), static_cast<uint32_t>(signedCall.size()));
        const std::string next = genuine.Sign(FormatCallMessage(4, 1, "0893333", "4711"), now);
        replayer.WriteBlock(next.data(), static_cast<uint32_t>(next.size()));
    }
    for (int i = 0; i < 6; ++i)
        Tick1();
    sKennwort.clear();
    bClient = false;
    SettingsChanged();
    SetMailPortOverride(0);
    ASSERT_EQ(view.popups.size(), 2u);
    EXPECT_EQ(view.popups[0].sName, "Meier");
    EXPECT_EQ(view.popups[1].sName, "0893333");
}

// What each listener receives for an answered and an unanswered call: the end of a call
// nobody took follows as a missed call, with the caller found when it rang.
TEST_F(Tick, EventsOfAnAnsweredAndAMissedCallReachTheListenersInOrder) {
    auto recorder = std::make_shared<EventRecorder>();
    pipeline.Add(recorder);
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301234567"));
    port.queue.push_back(MakeConnectInd(0x0102, "4711", "891234"));
    port.queue.push_back(DisconnectInd(0x0101, 0x349A));
    port.queue.push_back(DisconnectInd(0x0102, 0x3490));
    port.queue.push_back(DisconnectInd(0x0103, 0x3490)); // a call from before the start
    TickAll();
    EXPECT_EQ(recorder->seen,
              (std::vector<std::string>{"ring 257 Meier", "ring 258 0891234", "answered 257",
                                        "ended 257", "ended 258", "missed 258"}));
    EXPECT_EQ(pipeline.OpenCalls(), 0u);
    EXPECT_EQ(view.count, 2);
    EXPECT_EQ(view.missed, 1);
}

TEST_F(Tick, CallsToNumbersNotWatchedGoNowhereToTheirEnd) {
    bAlle = false;
    strcpy(aszNr[0], "4711");
    abZeige[0] = true;
    auto recorder = std::make_shared<EventRecorder>();
    pipeline.Add(recorder);
    port.queue.push_back(MakeConnectInd(0x0101, "9999", "301234567"));
    port.queue.push_back(DisconnectInd(0x0101, 0x3490));
    TickAll();
    EXPECT_TRUE(recorder->seen.empty());
    EXPECT_EQ(port.SentCommands(), (std::vector<uint16_t>{0x8001, 0x8304})); // still alerted
}

namespace {
struct FailingListener : ICallListener {
    const char* ListenerName() const override { return "failing"; }
    void OnCallEvent(const CallEvent&) override { throw std::runtime_error("broker gone"); }
};
} // namespace

// A listener that throws is told in the trace; the listeners after it still run.
TEST_F(Tick, AFailingListenerStopsNoOther) {
    const std::string trace = (dir.path() / "trace.txt").string();
    cb::SetTraceFile(trace);
    TCallPipeline failing;
    auto recorder = std::make_shared<EventRecorder>();
    failing.Add(std::make_shared<FailingListener>());
    failing.Add(recorder);
    pipeline = failing;
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301234567"));
    TickAll();
    cb::SetTraceFile("");
    EXPECT_EQ(recorder->seen, (std::vector<std::string>{"ring 257 Meier"}));
    EXPECT_NE(cbtest::ReadWholeFile(trace).find("listener failing failed: broker gone"),
              std::string::npos);
}

// Through the broker ([Netzwerk] Weg=MQTT) the server's announcements leave as the bytes a
// datagram would carry and no datagram is sent; a client takes them through the same checks:
// signed with the key, fresh, not repeated, well formed.
TEST_F(Tick, AnnouncementsThroughTheBrokerTakeTheDatagramsChecksAndNoSocket) {
    SetMailPortOverride(static_cast<uint16_t>(30000 + (getpid() + 23) % 20000));
    TMailClient lan("DEDOV"); // a client in the LAN would see a datagram here
    std::vector<std::pair<std::string, std::string>> published;
    sender->SetBrokerChannel([&](const std::string& slot, const std::string& bytes) {
        published.emplace_back(slot, bytes);
    });
    bServer = true;
    bClient = true;
    sNetzwerkWeg = "MQTT";
    sMqttHost = "broker.lan";
    sKennwort = "geheim";
    SettingsChanged();
    EXPECT_FALSE(sender->IsOpen());
    EXPECT_FALSE(receiver.IsOpen());
    port.queue.push_back(MakeConnectInd(0x0101, "4711", "301234567"));
    TickAll();
    char buffer[200];
    EXPECT_FALSE(lan.ReadMessage(buffer, sizeof buffer));
    ASSERT_EQ(published.size(), 1u);
    EXPECT_EQ(published[0].first, "DEDOV");
    const std::string text = "0,946684799,0301234567,4711";
    EXPECT_EQ(
        published[0].second.compare(0, text.size() + 1, std::string(text.c_str(), text.size() + 1)),
        0);

    // Received back: shown once; the repeat, an unsigned text, junk and an overlong
    // message are not.
    const size_t before = view.popups.size();
    receiver.TakeDatagram(published[0].second);
    receiver.TakeDatagram(published[0].second);
    receiver.TakeDatagram(FormatCallMessage(7, 1, "0891111", "4711") + '\0');
    receiver.TakeDatagram("\x01\x02junk");
    receiver.TakeDatagram(std::string(5000, '1'));
    for (int i = 0; i < 4; ++i)
        Tick1();
    ASSERT_EQ(view.popups.size(), before + 1);
    EXPECT_EQ(view.popups.back().sName, "Meier");

    // Without a broker host the way falls back to the datagrams: nothing is lost to a half
    // configuration.
    sMqttHost.clear();
    SettingsChanged();
    EXPECT_TRUE(sender->IsOpen());
    EXPECT_TRUE(receiver.IsOpen());
    sNetzwerkWeg = "Broadcast";
    sKennwort.clear();
    bServer = bClient = false;
    SettingsChanged();
    SetMailPortOverride(0);
}
