// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CapiLine.h"

#include "capi/CapiConfig.h"
#include "platform/LineSocket.h"

#include <QSocketNotifier>

#include <atomic>
#include <thread>

// The outcome of one registration attempt, shared with its thread. The thread holds copies
// of the two entry points it calls, never the CapiBase, which may be gone before it ends.
struct TCapiLine::Attempt {
    CapiBase::FnInstalled installed = nullptr;
    CapiBase::FnRegister registerApp = nullptr;
    std::atomic<bool> done{false};
    unsigned rc = 0;
    uint32_t applId = 0;

    void Run() {
        unsigned id = 0;
        rc = installed ? installed() : CapiBase::kErrNotInstalled;
        if (rc == 0) rc = CapiBase::Register(registerApp, &id);
        applId = id;
        done.store(true, std::memory_order_release);
    }
};

namespace {

// The CAPI queue of the registered application, as the line's calls take it. A message taken
// asks for another tick at once: more may wait where the library reads ahead of its
// descriptor.
class CapiPort : public ICapiPort {
public:
    CapiPort(CapiBase& capi, TCapiLine& line) : rCapi(capi), rLine(line) {}
    unsigned GetMessage(const uint8_t** msg) override {
        const unsigned rc = rCapi.GetMessageNonBlocking(msg);
        if (rc == 0) emit rLine.EventsWaiting();
        return rc;
    }
    unsigned PutMessage(const uint8_t* msg) override { return rCapi.PutMessage(msg); }
    uint32_t ApplId() const override { return rCapi.dwApplId; }
    bool LineFailed(unsigned code) override { return rLine.ReportFailure(code); }

private:
    CapiBase& rCapi;
    TCapiLine& rLine;
};

} // namespace

TCapiLine::TCapiLine(const char* library, QObject* parent) : TCallLine(parent), capi(library) {
    retryTimer.setInterval(kRetryIntervalMs);
    connect(&retryTimer, &QTimer::timeout, this, &TCapiLine::StartAttempt);
    attemptPoll.setInterval(50);
    connect(&attemptPoll, &QTimer::timeout, this, &TCapiLine::CheckAttempt);
}

TCapiLine::~TCapiLine() {
    Stop();
}

bool TCapiLine::Start(bool atStartUp) {
    bStopped = false;
    // At the program's start a refusing line ends it after its box; a line switched to later
    // is won back in the background instead (registration may wait on the line).
    if (atStartUp && !CapiStartUp(capi)) return false;
    if (capi.bRegistered) {
        Watch();
        SetState(State::Connected,
                 QStringLiteral("angemeldet als Anwendung %1").arg(capi.dwApplId));
    } else if (capi.bLoaded && cb::CapiLineConfigured()) {
        Lose(QStringLiteral("Leitung beim Start nicht erreichbar"));
        if (!atStartUp) StartAttempt();
    } else {
        // Nothing to watch: say why instead of looking like a working line.
        sNoneHint = cb::CapiLineConfigured()
                        ? QStringLiteral("CallBeacon - keine ISDN-Leitung gefunden")
                        : QStringLiteral("CallBeacon - keine Leitung eingerichtet");
    }
    return true;
}

QString TCapiLine::NoneHint() const {
    return sNoneHint;
}

void TCapiLine::Stop() {
    bStopped = true;
    retryTimer.stop();
    attemptPoll.stop();
    delete pNotifier;
    pNotifier = nullptr;
    pAttempt.reset(); // the thread keeps its own reference and ends on its own
    CapiShutdown(capi);
}

void TCapiLine::TakeEvents(std::vector<CallEvent>& out) {
    if (!capi.bRegistered) return;
    CapiPort port(capi, *this);
    calls.TakeMessage(port, out);
}

QString TCapiLine::LostHint() const {
    return QStringLiteral("CallBeacon - keine Verbindung zur ISDN-Leitung");
}

QString TCapiLine::BackHint() const {
    return QStringLiteral("CallBeacon - Verbindung zur ISDN-Leitung wiederhergestellt");
}

void TCapiLine::Rearm() {
    if (pNotifier) pNotifier->setEnabled(true);
}

bool TCapiLine::ReportFailure(unsigned code) {
    if (LineState() != State::Connected) return false;
    // 0x1108: the socket under the library failed (closed, reset); 0x1101: the line forgot
    // our application (it restarted).
    if (code != CapiBase::kErrOsResource && code != CapiBase::kErrIllegalApplId) return false;
    Lose(QStringLiteral("Fehler %1").arg(code, 0, 16));
    return true;
}

void TCapiLine::Watch() {
    delete pNotifier;
    pNotifier = nullptr;
    const int fd = capi.Fileno();
    if (fd < 0) return; // the one-second timer polls instead
    cb::TuneLineSocket(fd);
    pNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(pNotifier, &QSocketNotifier::activated, this, [this] {
        // Level-triggered: quiet until the tick has taken the message.
        pNotifier->setEnabled(false);
        emit EventsWaiting();
    });
}

void TCapiLine::Lose(const QString& detail) {
    delete pNotifier;
    pNotifier = nullptr;
    capi.Release();
    capi.bAvailable = false;
    SetState(State::Lost, detail);
    if (!bStopped) retryTimer.start();
}

void TCapiLine::StartAttempt() {
    if (bStopped || LineState() != State::Lost || pAttempt || !capi.bLoaded) return;
    auto attempt = std::make_shared<Attempt>();
    attempt->installed = capi.CAPI_INSTALLED;
    attempt->registerApp = capi.CAPI_REGISTER;
    pAttempt = attempt;
    std::thread([attempt] { attempt->Run(); }).detach();
    attemptPoll.start();
}

void TCapiLine::CheckAttempt() {
    if (!pAttempt || !pAttempt->done.load(std::memory_order_acquire)) return;
    attemptPoll.stop();
    const std::shared_ptr<Attempt> attempt = std::move(pAttempt);
    if (bStopped || attempt->rc != 0) return; // the retry timer tries again
    if (CapiAdoptRegistration(capi, attempt->applId) != 0) return;
    retryTimer.stop();
    Watch();
    SetState(State::Connected, QStringLiteral("angemeldet als Anwendung %1").arg(attempt->applId));
}
