// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/SecretStore.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace cb {

namespace {

const QString kService = QStringLiteral("callbeacon");
const QString kSecretsName = QStringLiteral("org.freedesktop.secrets");

// Runs a job to its end or the time-out; true when it finished without error.
bool RunJob(QKeychain::Job& job) {
    if (!QCoreApplication::instance()) return false;
    job.setAutoDelete(false);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(kSecretTimeoutMs, &loop, &QEventLoop::quit);
    job.start();
    if (!finished) loop.exec(QEventLoop::ExcludeUserInputEvents);
    return finished && job.error() == QKeychain::NoError;
}

} // namespace

bool SecretServiceAvailable() {
    static const bool available = [] {
        QDBusConnection bus = QDBusConnection::sessionBus();
        if (!bus.isConnected() || !bus.interface()) return false;
        if (bus.interface()->isServiceRegistered(kSecretsName).value()) return true;
        const QDBusReply<QStringList> activatable =
            bus.interface()->call(QStringLiteral("ListActivatableNames"));
        return activatable.isValid() && activatable.value().contains(kSecretsName);
    }();
    return available;
}

bool ReadSecret(const std::string& name, std::string& value) {
    if (!SecretServiceAvailable()) return false;
    QKeychain::ReadPasswordJob job(kService);
    job.setInsecureFallback(false);
    job.setKey(QString::fromStdString(name));
    if (!RunJob(job)) return false;
    value = job.textData().toStdString();
    return true;
}

bool WriteSecret(const std::string& name, const std::string& value) {
    if (!SecretServiceAvailable()) return false;
    if (value.empty()) {
        QKeychain::DeletePasswordJob job(kService);
        job.setInsecureFallback(false);
        job.setKey(QString::fromStdString(name));
        // Nothing stored is as good as removed.
        return RunJob(job) || job.error() == QKeychain::EntryNotFound;
    }
    QKeychain::WritePasswordJob job(kService);
    job.setInsecureFallback(false);
    job.setKey(QString::fromStdString(name));
    job.setTextData(QString::fromStdString(value));
    return RunJob(job);
}

} // namespace cb
