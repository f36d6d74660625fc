// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "db/CardDavXml.h"
#include "db/ServerContacts.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <vector>

class QNetworkAccessManager;
class QNetworkReply;
class QSslConfiguration;
class QSslError;

// Where the address book is and who may read it ([CardDAV] in the settings).
struct tCardDavAccount {
    QString sAddress; // the address book's URL, or the server's for discovery
    QString sUser;
    QString sPassword;
    QString sCertificateFile; // trusted besides the system's certificates; empty: none
};

// How the last sync went.
struct tCardDavResult {
    bool bOk = false;
    QString sMessage;       // German: what went wrong; empty on success
    size_t iCards = 0;      // cards in the local copy afterwards
    size_t iFetched = 0;    // cards fetched in this sync
    size_t iUnreadable = 0; // cards fetched that hold no name or number
    int iRequests = 0;      // HTTP requests this sync sent
    QDateTime finished;
};

// Brings the local copy of one address book on a CardDAV server up to date without blocking:
// every step is an asynchronous request on the event loop. Finds the address book from a
// server's address (/.well-known/carddav, current-user-principal, addressbook-home-set), asks
// the collection's ctag and sync-token first (an unchanged book costs this one request), then
// lists what changed with sync-collection where the server offers it, else with the etags of
// all cards, and fetches only changed cards with addressbook-multiget. On any failure the last
// good copy stays; a finished sync writes the cache file atomically and offers a new snapshot.
class TCardDavSync : public QObject {
    Q_OBJECT
public:
    explicit TCardDavSync(QString cacheFile, QObject* parent = nullptr);
    ~TCardDavSync() override;

    // Reads the cache file written by an earlier sync; false (and an empty copy) when there is
    // none or it cannot be read, `error` saying why unless it is simply missing.
    bool LoadCache(QString* error = nullptr);
    void SetAccount(const tCardDavAccount& account);
    const tCardDavAccount& Account() const { return account; }

    // Starts a sync; false when one is running or no address is set.
    bool Start();
    bool IsRunning() const { return bRunning; }
    const tCardDavResult& LastResult() const { return result; }
    std::shared_ptr<const CServerContacts> Contacts() const { return published; }

    // Cards asked for in one addressbook-multiget.
    static constexpr int kBatch = 500;

signals:
    void Finished(const tCardDavResult& result);

private:
    struct Step;
    void Send(const QByteArray& verb, const QUrl& url, int depth, const QByteArray& body,
              std::function<void(int status, const QByteArray& body)> onDone, int redirects = 0);
    void Fail(const QString& message);
    void FailLater(const QString& message);
    void Succeed();
    void Discover(const QUrl& address);
    void ProbeAddress(const QUrl& url, int hops);
    void ProbePrincipal(const QUrl& url, int hops);
    void ProbeHomeSet(const QUrl& url);
    void AskCollection();
    void TakeCollectionState(const tDavResponse& state);
    void ListBySyncToken(bool withToken);
    void ListByEtags();
    void FetchChanged();
    void FetchNextBatch();
    void TakeCard(const tDavResponse& response);
    void ReadPendingCards(std::function<void()> then);
    bool ParseAnswer(const QByteArray& body, tMultistatus& out);
    QString StatusMessage(int status) const;
    bool TrustsGivenCertificate(QNetworkReply* reply, const QList<QSslError>& errors) const;

    QString sCacheFile;
    tCardDavAccount account;
    QNetworkAccessManager* pNetwork;
    std::shared_ptr<const CServerContacts> published;
    std::unique_ptr<CServerContacts> work;
    tCardDavResult result;
    bool bRunning = false;
    quint64 iGeneration = 0; // answers to a sync that was given up are ignored
    QUrl collection;
    tDavResponse collectionState;
    QStringList changedHrefs;
    int iNextChanged = 0;
    std::vector<tDavResponse> pendingCards; // fetched, not yet read
    size_t iNextPending = 0;
};
