// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/PasswordStore.h"

#include <QTimer>

#ifdef CB_HAVE_QTKEYCHAIN
#include <qt6keychain/keychain.h>
#endif

namespace {
const QString kService = QStringLiteral("CallBeacon CardDAV");
} // namespace

bool TPasswordStore::Built() {
#ifdef CB_HAVE_QTKEYCHAIN
    return true;
#else
    return false;
#endif
}

void TPasswordStore::Read(const QString& key, std::function<void(bool, const QString&)> done) {
#ifdef CB_HAVE_QTKEYCHAIN
    auto* job = new QKeychain::ReadPasswordJob(kService, this);
    job->setAutoDelete(true);
    job->setKey(key);
    connect(job, &QKeychain::Job::finished, this, [done = std::move(done)](QKeychain::Job* j) {
        auto* read = static_cast<QKeychain::ReadPasswordJob*>(j);
        done(read->error() == QKeychain::NoError, read->textData());
    });
    job->start();
#else
    (void)key;
    QTimer::singleShot(0, this, [done = std::move(done)] { done(false, QString()); });
#endif
}

void TPasswordStore::Write(const QString& key, const QString& password,
                           std::function<void(bool, const QString&)> done) {
#ifdef CB_HAVE_QTKEYCHAIN
    auto* job = new QKeychain::WritePasswordJob(kService, this);
    job->setAutoDelete(true);
    job->setKey(key);
    job->setTextData(password);
    connect(job, &QKeychain::Job::finished, this, [done = std::move(done)](QKeychain::Job* j) {
        done(j->error() == QKeychain::NoError, j->errorString());
    });
    job->start();
#else
    (void)key;
    (void)password;
    QTimer::singleShot(0, this, [done = std::move(done)] {
        done(false, QStringLiteral("dieses Programm ist ohne Schlüsselbund gebaut"));
    });
#endif
}
