// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CardDavSync.h"
#include "app/PasswordStore.h"
#include "db/ServerAddressBook.h"

#include <QObject>
#include <QTimer>

// The address book on a server for the running program: takes its account from the [CardDAV]
// settings, loads the last good copy at start, syncs every few minutes and on request, offers
// each finished copy to the lookup as the second source of names, and tells every outcome to
// the trace. Never waits: syncs run on the event loop.
class TServerAddressBook : public QObject, public IServerAddressBook {
    Q_OBJECT
public:
    // `cacheFile` in the data folder.
    explicit TServerAddressBook(const QString& cacheFile, QObject* parent = nullptr);
    ~TServerAddressBook() override;

    // Takes up the settings in memory: a new address syncs at once. `fromDialog`: the user has
    // just confirmed them, and a password typed there moves to the keyring where there is one
    // (the INI then keeps an empty Kennwort). A password found in the INI is always used; an
    // empty one means the keyring's.
    void ApplySettings(bool fromDialog = false);

    void SyncNow() override;
    bool IsSyncing() const override { return sync.IsRunning(); }
    std::string StatusText() const override;

    TCardDavSync& Sync() { return sync; }

signals:
    void Synced(const tCardDavResult& result);

private:
    void OnFinished(const tCardDavResult& result);
    void Publish();
    tCardDavAccount AccountFromSettings() const;

    TPasswordStore passwords;
    QString sKeyringKey;      // user@address the keyring's password belongs to
    QString sKeyringPassword; // read from or written to the keyring
    bool bReadingKeyring = false;
    bool bSyncWaiting = false; // a sync asked for while the keyring was being read

    TCardDavSync sync;
    QTimer timer;
    QString sLoadProblem;
};

// "412 Kontakte, vor 37 s" for a result finished `seconds` ago, or its message.
QString CardDavStatusText(const tCardDavResult& result, qint64 seconds);

// The cache file's name in the data folder.
inline constexpr const char* kCardDavCacheFile = "CardDAV-Kopie.txt";
