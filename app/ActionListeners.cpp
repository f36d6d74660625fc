// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ActionListeners.h"

#include "app/CallEventJson.h"
#include "core/Settings.h"
#include "core/Version.h"
#include "platform/Trace.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QTimer>
#include <QUrl>

#include <memory>

TWebhookListener::TWebhookListener() : pNetwork(new QNetworkAccessManager(this)) {}

void TWebhookListener::OnCallEvent(const CallEvent& event) {
    if (sWebhook.empty()) return;
    Post(QString::fromStdString(sWebhook), CallEventJsonBytes(event), true);
}

void TWebhookListener::Post(const QString& url, const QByteArray& body, bool retry) {
    const QUrl target(url, QUrl::StrictMode);
    if (!target.isValid() ||
        (target.scheme() != QLatin1String("http") && target.scheme() != QLatin1String("https"))) {
        cb::Trace("webhook: keine gültige http(s)-Adresse: " + url.toStdString());
        return;
    }
    QNetworkRequest request(target);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QStringLiteral("CallBeacon/") + ProgramVersionText());
    request.setTransferTimeout(kTimeoutMs);
    QNetworkReply* reply = pNetwork->post(request, body);
    connect(reply, &QNetworkReply::finished, this, [this, reply, url, body, retry] {
        reply->deleteLater();
        if (reply->error() == QNetworkReply::NoError) return;
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        cb::Trace("webhook failed" + std::string(retry ? "" : " again") + ": " +
                  (status ? "HTTP " + std::to_string(status) + " " : std::string()) +
                  reply->errorString().toStdString());
        // One more try, later: a receiver that is down must not get a storm.
        if (retry)
            QTimer::singleShot(kRetryMs, this, [this, url, body] { Post(url, body, false); });
    });
}

void TCommandListener::OnCallEvent(const CallEvent& event) {
    if (sBefehl.empty()) return;
    const QStringList words = QProcess::splitCommand(QString::fromStdString(sBefehl));
    if (words.isEmpty()) return;
    if (iRunning >= kMaxRunning) {
        cb::Trace("command skipped: " + std::to_string(iRunning) + " still running");
        return;
    }
    auto* process = new QProcess(this);
    process->setProgram(words.first());
    process->setArguments(words.mid(1));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    AddCallEventVariables(event, environment);
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    auto output = std::make_shared<QByteArray>();
    // Read as it comes (a full pipe would stall the program); only the first bytes are kept.
    auto collect = [process, output] {
        const QByteArray chunk = process->readAllStandardOutput();
        if (output->size() < kMaxOutputBytes)
            output->append(chunk.left(kMaxOutputBytes - output->size()));
    };
    connect(process, &QProcess::readyReadStandardOutput, process, collect);
    auto* limit = new QTimer(process);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, process, [process] {
        cb::Trace("command over " + std::to_string(kTimeLimitMs / 1000) + " s, ended");
        process->kill();
    });
    connect(process, &QProcess::finished, this,
            [this, process, output, collect](int code, QProcess::ExitStatus status) {
                collect();
                for (const QByteArray& line : output->split('\n'))
                    if (!line.isEmpty()) cb::Trace("command: " + line.toStdString());
                Finished(process, status == QProcess::NormalExit
                                      ? QStringLiteral("exit %1").arg(code)
                                      : QStringLiteral("killed"));
            });
    connect(process, &QProcess::errorOccurred, this,
            [this, process, output](QProcess::ProcessError e) {
                if (e != QProcess::FailedToStart) return; // the others end in finished
                Finished(process,
                         QStringLiteral("kann nicht gestartet werden: ") + process->errorString());
            });
    ++iRunning;
    cb::Trace("command " + std::string(CallEventName(event.kind)) + ": " +
              words.first().toStdString());
    limit->start(kTimeLimitMs);
    process->start();
}

void TCommandListener::Finished(QProcess* process, const QString& how) {
    --iRunning;
    cb::Trace("command done: " + how.toStdString());
    process->deleteLater();
}
