// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CardDavSync.h"

#include "db/VCardReader.h"

#include <QAuthenticator>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslError>
#include <QTimer>

#include <set>

namespace {

// An answer larger than this is not an address book a desktop program should hold.
constexpr qint64 kMaxAnswer = 512ll << 20;
// A server that says nothing this long is given up; a large book on a busy server may well
// think for half a minute before its first byte.
constexpr int kTimeoutMs = 90000;
constexpr int kMaxRedirects = 5;

const QByteArray kAllProps = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                             "<d:propfind xmlns:d=\"DAV:\" "
                             "xmlns:card=\"urn:ietf:params:xml:ns:carddav\" "
                             "xmlns:cs=\"http://calendarserver.org/ns/\"><d:prop>"
                             "<d:resourcetype/><d:current-user-principal/>"
                             "<card:addressbook-home-set/><cs:getctag/><d:sync-token/>"
                             "<d:supported-report-set/></d:prop></d:propfind>";

const QByteArray kEtags = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                          "<d:propfind xmlns:d=\"DAV:\"><d:prop><d:getetag/><d:resourcetype/>"
                          "</d:prop></d:propfind>";

QByteArray XmlEscaped(const QString& text) {
    return text.toHtmlEscaped().toUtf8();
}

QString WithoutTrailingSlash(QString path) {
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

TCardDavSync::TCardDavSync(QString cacheFile, QObject* parent)
    : QObject(parent), sCacheFile(std::move(cacheFile)), pNetwork(new QNetworkAccessManager(this)),
      published(std::make_shared<const CServerContacts>()) {
    // The Basic header goes with every request; a server that wants another scheme (Digest)
    // asks, and gets the account once per request: asking again means it was refused.
    connect(pNetwork, &QNetworkAccessManager::authenticationRequired, this,
            [this](QNetworkReply* reply, QAuthenticator* auth) {
                if (reply->property("cbAuthGiven").toBool()) return;
                reply->setProperty("cbAuthGiven", true);
                auth->setUser(account.sUser);
                auth->setPassword(account.sPassword);
            });
}

TCardDavSync::~TCardDavSync() = default;

bool TCardDavSync::LoadCache(QString* error) {
    QFile file(sCacheFile);
    if (!file.exists()) return false;
    if (!file.open(QIODevice::ReadOnly)) {
        if (error) *error = QStringLiteral("%1 kann nicht gelesen werden.").arg(sCacheFile);
        return false;
    }
    const QByteArray bytes = file.readAll();
    auto contacts = std::make_shared<CServerContacts>();
    std::string why;
    if (!contacts->Parse(std::string_view(bytes.constData(), size_t(bytes.size())), why)) {
        if (error) *error = QString::fromStdString(why);
        return false;
    }
    contacts->PrepareLookups();
    published = std::move(contacts);
    return true;
}

void TCardDavSync::SetAccount(const tCardDavAccount& newAccount) {
    account = newAccount;
}

bool TCardDavSync::Start() {
    if (bRunning || account.sAddress.trimmed().isEmpty()) return false;
    bRunning = true;
    ++iGeneration;
    result = tCardDavResult{};
    work.reset();
    collectionState = {};
    changedHrefs.clear();
    iNextChanged = 0;
    pendingCards.clear();
    iNextPending = 0;
    QUrl address = QUrl::fromUserInput(account.sAddress.trimmed());
    if (!address.isValid() || address.host().isEmpty()) {
        FailLater(QStringLiteral("Die Adresse des Adressbuchs ist ungültig."));
        return true;
    }
    if (!account.sCertificateFile.isEmpty() &&
        QSslCertificate::fromPath(account.sCertificateFile).isEmpty()) {
        FailLater(QStringLiteral("Das Zertifikat %1 kann nicht gelesen werden.")
                      .arg(account.sCertificateFile));
        return true;
    }
    // The collection found last time is asked straight away: an unchanged book is one request.
    if (published->sSourceUrl == address.toString().toStdString() &&
        !published->sCollectionUrl.empty()) {
        collection = QUrl(QString::fromStdString(published->sCollectionUrl));
        AskCollection();
    } else {
        Discover(address);
    }
    return true;
}

void TCardDavSync::Discover(const QUrl& address) {
    // A server's bare address is asked at its well-known place first (RFC 6764).
    const QString path = address.path();
    ProbeAddress(path.isEmpty() || path == QLatin1String("/")
                     ? address.resolved(QUrl(QStringLiteral("/.well-known/carddav")))
                     : address,
                 0);
}

void TCardDavSync::Send(const QByteArray& verb, const QUrl& url, int depth, const QByteArray& body,
                        std::function<void(int, const QByteArray&)> onDone, int redirects) {
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/xml; charset=utf-8"));
    if (depth >= 0) request.setRawHeader("Depth", QByteArray::number(depth));
    if (!account.sUser.isEmpty())
        request.setRawHeader(
            "Authorization",
            "Basic " + (account.sUser + QLatin1Char(':') + account.sPassword).toUtf8().toBase64());
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(kTimeoutMs);
    if (!account.sCertificateFile.isEmpty()) {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.addCaCertificates(QSslCertificate::fromPath(account.sCertificateFile));
        request.setSslConfiguration(tls);
    }
    ++result.iRequests;
    QNetworkReply* reply = pNetwork->sendCustomRequest(request, verb, body);
    const quint64 generation = iGeneration;
    auto tlsProblem = std::make_shared<QString>();
    connect(reply, &QNetworkReply::sslErrors, reply,
            [this, reply, tlsProblem](const QList<QSslError>& errors) {
                if (TrustsGivenCertificate(reply, errors)) {
                    reply->ignoreSslErrors(errors);
                    return;
                }
                if (!errors.isEmpty() && tlsProblem->isEmpty())
                    *tlsProblem = errors.first().errorString();
            });
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64) {
        if (received > kMaxAnswer) {
            reply->setProperty("cbTooLarge", true);
            reply->abort();
        }
    });
    connect(
        reply, &QNetworkReply::finished, this,
        [this, reply, generation, tlsProblem, verb, depth, body, url, redirects,
         onDone = std::move(onDone)]() mutable {
            reply->deleteLater();
            if (generation != iGeneration || !bRunning) return;
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (reply->property("cbTooLarge").toBool()) {
                Fail(QStringLiteral("Die Antwort des Servers ist zu groß (über %1 MB).")
                         .arg(kMaxAnswer >> 20));
                return;
            }
            if (status == 401 || reply->error() == QNetworkReply::AuthenticationRequiredError) {
                Fail(QString::fromUtf8("Anmeldung abgelehnt – Benutzer oder Kennwort falsch"));
                return;
            }
            if (status == 0) {
                const QString where = url.host() + QLatin1Char(':') +
                                      QString::number(url.port(url.scheme() == "https" ? 443 : 80));
                if (reply->error() == QNetworkReply::SslHandshakeFailedError ||
                    !tlsProblem->isEmpty())
                    Fail(QString::fromUtf8("TLS-Fehler bei %1: das Zertifikat des Servers "
                                           "wird nicht anerkannt (%2).")
                             .arg(where,
                                  tlsProblem->isEmpty() ? reply->errorString() : *tlsProblem));
                else if (reply->error() >= QNetworkReply::ProtocolUnknownError &&
                         reply->error() <= QNetworkReply::ProtocolFailure)
                    Fail(QStringLiteral("Der Server %1 antwortet nicht mit HTTP (%2).")
                             .arg(where, reply->errorString()));
                else if (reply->error() == QNetworkReply::RemoteHostClosedError)
                    Fail(QStringLiteral("Der Server %1 hat die Verbindung ohne Antwort beendet "
                                        "(%2).")
                             .arg(where, reply->errorString()));
                else if (reply->error() == QNetworkReply::OperationCanceledError)
                    Fail(QString::fromUtf8("Der Server %1 antwortet nicht (Zeitüberschreitung).")
                             .arg(where));
                else
                    Fail(QStringLiteral("Der Server %1 ist nicht erreichbar (%2).")
                             .arg(where, reply->errorString()));
                return;
            }
            if (reply->error() != QNetworkReply::NoError &&
                reply->error() < QNetworkReply::ContentAccessDenied) {
                Fail(QStringLiteral("Der Server %1 hat die Antwort abgebrochen (%2).")
                         .arg(url.authority(), reply->errorString()));
                return;
            }
            if (status >= 300 && status < 400 && status != 304) {
                const QUrl location =
                    reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
                if (location.isEmpty() || redirects >= kMaxRedirects) {
                    Fail(QStringLiteral("Der Server leitet zu oft oder ohne Ziel um."));
                    return;
                }
                // The same request again at the new place (PROPFIND and REPORT are not
                // followed by the network layer).
                Send(verb, url.resolved(location), depth, body, std::move(onDone), redirects + 1);
                return;
            }
            const QByteArray answer = reply->readAll();
            const qint64 declared =
                reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
            if (declared > answer.size() && reply->rawHeader("Content-Encoding").isEmpty()) {
                Fail(QStringLiteral("Der Server %1 hat die Antwort abgebrochen (%2 von %3 Bytes).")
                         .arg(url.authority())
                         .arg(answer.size())
                         .arg(declared));
                return;
            }
            onDone(status, answer);
        });
}

bool TCardDavSync::TrustsGivenCertificate(QNetworkReply* reply,
                                          const QList<QSslError>& errors) const {
    // The given certificate is the server's own (a self-signed one, as self-hosted servers
    // have): its errors of trust are answered by the user's choice, a wrong host name is not.
    if (account.sCertificateFile.isEmpty()) return false;
    const QList<QSslCertificate> trusted = QSslCertificate::fromPath(account.sCertificateFile);
    const QSslCertificate peer = reply->sslConfiguration().peerCertificate();
    if (peer.isNull() || !trusted.contains(peer)) return false;
    for (const QSslError& error : errors)
        switch (error.error()) {
        case QSslError::SelfSignedCertificate:
        case QSslError::SelfSignedCertificateInChain:
        case QSslError::UnableToGetLocalIssuerCertificate:
        case QSslError::UnableToVerifyFirstCertificate:
        case QSslError::CertificateUntrusted:
            break;
        default:
            return false;
        }
    return true;
}

QString TCardDavSync::StatusMessage(int status) const {
    switch (status) {
    case 403:
        return QStringLiteral("Der Server verweigert den Zugriff auf das Adressbuch (403).");
    case 404:
        return QStringLiteral("Das Adressbuch wurde auf dem Server nicht gefunden (404).");
    default:
        return QString::fromUtf8("Der Server antwortet mit dem Fehler %1.").arg(status);
    }
}

bool TCardDavSync::ParseAnswer(const QByteArray& body, tMultistatus& out) {
    out = ParseMultistatus(std::string_view(body.constData(), size_t(body.size())));
    if (!out.bOk) Fail(QString::fromStdString(out.sError));
    return out.bOk;
}

void TCardDavSync::ProbeAddress(const QUrl& url, int hops) {
    Send("PROPFIND", url, 0, kAllProps, [this, url, hops](int status, const QByteArray& body) {
        const bool wellKnown = url.path() == QLatin1String("/.well-known/carddav");
        if (status != 207) {
            // Not every server has the well-known address; its root may still tell.
            if (wellKnown && hops == 0) {
                ProbeAddress(url.resolved(QUrl(QStringLiteral("/"))), hops + 1);
                return;
            }
            Fail(StatusMessage(status));
            return;
        }
        tMultistatus answer;
        if (!ParseAnswer(body, answer)) return;
        if (answer.aResponses.empty()) {
            Fail(QStringLiteral("Auf dem Server wurde kein Adressbuch gefunden."));
            return;
        }
        const tDavResponse& first = answer.aResponses.front();
        if (first.bAddressBook) {
            // Named as the server names it: a redirect may have led elsewhere.
            collection =
                first.sHref.empty() ? url : url.resolved(QUrl(QString::fromStdString(first.sHref)));
            TakeCollectionState(first);
        } else if (!first.sHomeSet.empty()) {
            ProbeHomeSet(url.resolved(QUrl(QString::fromStdString(first.sHomeSet))));
        } else if (!first.sPrincipal.empty() && hops < 4) {
            ProbePrincipal(url.resolved(QUrl(QString::fromStdString(first.sPrincipal))), hops + 1);
        } else if (!wellKnown && hops == 0) {
            ProbeAddress(url.resolved(QUrl(QStringLiteral("/.well-known/carddav"))), hops + 1);
        } else {
            Fail(QStringLiteral("Auf dem Server wurde kein Adressbuch gefunden."));
        }
    });
}

void TCardDavSync::ProbePrincipal(const QUrl& url, int hops) {
    ProbeAddress(url, hops);
}

void TCardDavSync::ProbeHomeSet(const QUrl& url) {
    Send("PROPFIND", url, 1, kAllProps, [this, url](int status, const QByteArray& body) {
        if (status != 207) {
            Fail(StatusMessage(status));
            return;
        }
        tMultistatus answer;
        if (!ParseAnswer(body, answer)) return;
        for (const tDavResponse& r : answer.aResponses)
            if (r.bAddressBook) {
                collection = url.resolved(QUrl(QString::fromStdString(r.sHref)));
                TakeCollectionState(r);
                return;
            }
        Fail(QStringLiteral("Auf dem Server wurde kein Adressbuch gefunden."));
    });
}

void TCardDavSync::AskCollection() {
    Send("PROPFIND", collection, 0, kAllProps, [this](int status, const QByteArray& body) {
        const QUrl source = QUrl::fromUserInput(account.sAddress.trimmed());
        if (status == 404 && source != collection) {
            // The address book found last time is gone (moved, renamed): look again.
            Discover(source);
            return;
        }
        if (status != 207) {
            Fail(StatusMessage(status));
            return;
        }
        tMultistatus answer;
        if (!ParseAnswer(body, answer)) return;
        if (answer.aResponses.empty()) {
            Fail(QStringLiteral("Die Antwort des Servers nennt das Adressbuch nicht."));
            return;
        }
        TakeCollectionState(answer.aResponses.front());
    });
}

void TCardDavSync::TakeCollectionState(const tDavResponse& state) {
    collectionState = state;
    const bool sameBook =
        published->sCollectionUrl == collection.toString().toStdString() &&
        published->sSourceUrl ==
            QUrl::fromUserInput(account.sAddress.trimmed()).toString().toStdString();
    const bool unchanged =
        sameBook &&
        ((!state.sSyncToken.empty() && state.sSyncToken == published->sSyncToken) ||
         (state.sSyncToken.empty() && !state.sCtag.empty() && state.sCtag == published->sCtag));
    if (unchanged) {
        Succeed();
        return;
    }
    work = std::make_unique<CServerContacts>();
    if (sameBook) *work = *published;
    work->sSourceUrl = QUrl::fromUserInput(account.sAddress.trimmed()).toString().toStdString();
    work->sCollectionUrl = collection.toString().toStdString();
    if (state.bSyncCollection)
        ListBySyncToken(!work->sSyncToken.empty());
    else
        ListByEtags();
}

void TCardDavSync::ListBySyncToken(bool withToken) {
    const QByteArray body =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
        "<d:sync-collection xmlns:d=\"DAV:\" xmlns:card=\"urn:ietf:params:xml:ns:carddav\">"
        "<d:sync-token>" +
        (withToken ? XmlEscaped(QString::fromStdString(work->sSyncToken)) : QByteArray()) +
        "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/>"
        // The changed cards themselves in the same answer where the server gives them
        // (Radicale, Nextcloud); others are fetched by multiget afterwards.
        "<card:address-data/></d:prop>"
        "</d:sync-collection>";
    Send("REPORT", collection, 0, body,
         [this, withToken](int status, const QByteArray& answerBody) {
             if (status != 207) {
                 // A token the server no longer knows (403/409 valid-sync-token): list everything.
                 if (withToken && (status == 403 || status == 409 || status == 400)) {
                     ListBySyncToken(false);
                     return;
                 }
                 ListByEtags();
                 return;
             }
             tMultistatus answer;
             if (!ParseAnswer(answerBody, answer)) return;
             std::set<std::string> listed;
             for (const tDavResponse& r : answer.aResponses) {
                 if (r.sHref.empty() || r.sHref.back() == '/') continue;
                 if (r.iStatus == 404) {
                     work->Remove(r.sHref);
                     continue;
                 }
                 listed.insert(r.sHref);
                 const tServerCard* known = work->Find(r.sHref);
                 if (known && !r.sEtag.empty() && known->sEtag == r.sEtag) continue;
                 if (!r.sAddressData.empty() && !r.sEtag.empty())
                     pendingCards.push_back(r);
                 else
                     changedHrefs.push_back(QString::fromStdString(r.sHref));
             }
             if (!withToken) {
                 // A full listing: what it does not name is gone.
                 std::vector<std::string> gone;
                 for (const auto& [href, card] : work->Cards())
                     if (!listed.count(href)) gone.push_back(href);
                 for (const std::string& href : gone)
                     work->Remove(href);
             }
             work->sSyncToken = answer.sSyncToken;
             ReadPendingCards([this] { FetchChanged(); });
         });
}

void TCardDavSync::ListByEtags() {
    Send("PROPFIND", collection, 1, kEtags, [this](int status, const QByteArray& body) {
        if (status != 207) {
            Fail(StatusMessage(status));
            return;
        }
        tMultistatus answer;
        if (!ParseAnswer(body, answer)) return;
        const QString own = WithoutTrailingSlash(collection.path());
        std::set<std::string> listed;
        for (const tDavResponse& r : answer.aResponses) {
            if (r.sHref.empty() || r.sHref.back() == '/' || r.bAddressBook) continue;
            const QUrl where = collection.resolved(QUrl(QString::fromStdString(r.sHref)));
            if (WithoutTrailingSlash(where.path()) == own) continue;
            listed.insert(r.sHref);
            const tServerCard* known = work->Find(r.sHref);
            if (!known || r.sEtag.empty() || known->sEtag != r.sEtag)
                changedHrefs.push_back(QString::fromStdString(r.sHref));
        }
        std::vector<std::string> gone;
        for (const auto& [href, card] : work->Cards())
            if (!listed.count(href)) gone.push_back(href);
        for (const std::string& href : gone)
            work->Remove(href);
        work->sSyncToken.clear();
        FetchChanged();
    });
}

void TCardDavSync::FetchChanged() {
    iNextChanged = 0;
    FetchNextBatch();
}

void TCardDavSync::FetchNextBatch() {
    if (iNextChanged >= changedHrefs.size()) {
        Succeed();
        return;
    }
    const int end = std::min<int>(iNextChanged + kBatch, int(changedHrefs.size()));
    QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                      "<card:addressbook-multiget xmlns:d=\"DAV:\" "
                      "xmlns:card=\"urn:ietf:params:xml:ns:carddav\"><d:prop><d:getetag/>"
                      "<card:address-data/></d:prop>";
    for (int i = iNextChanged; i < end; ++i)
        body += "<d:href>" + XmlEscaped(changedHrefs[i]) + "</d:href>";
    body += "</card:addressbook-multiget>";
    iNextChanged = end;
    Send("REPORT", collection, -1, body, [this](int status, const QByteArray& answerBody) {
        if (status != 207) {
            Fail(StatusMessage(status));
            return;
        }
        tMultistatus answer;
        if (!ParseAnswer(answerBody, answer)) return;
        for (tDavResponse& r : answer.aResponses) {
            if (r.sHref.empty()) continue;
            if (r.iStatus == 404 || (r.sAddressData.empty() && r.iStatus >= 400)) {
                work->Remove(r.sHref);
                continue;
            }
            if (r.sAddressData.empty()) continue; // asked again next time: its etag is not kept
            pendingCards.push_back(std::move(r));
        }
        ReadPendingCards([this] { FetchNextBatch(); });
    });
}

void TCardDavSync::FailLater(const QString& message) {
    // Whoever started the sync hears of its end from the event loop, never from inside Start.
    QMetaObject::invokeMethod(
        this,
        [this, message, generation = iGeneration] {
            if (generation == iGeneration && bRunning) Fail(message);
        },
        Qt::QueuedConnection);
}

void TCardDavSync::ReadPendingCards(std::function<void()> then) {
    // A few hundred cards at a time, each slice on its own turn of the event loop, so that a
    // large address book never holds up a call or a dialog.
    constexpr size_t kSlice = 250;
    const size_t end = std::min(iNextPending + kSlice, pendingCards.size());
    for (; iNextPending < end; ++iNextPending)
        TakeCard(pendingCards[iNextPending]);
    if (iNextPending < pendingCards.size()) {
        QTimer::singleShot(0, this,
                           [this, then = std::move(then), generation = iGeneration]() mutable {
                               if (generation == iGeneration && bRunning)
                                   ReadPendingCards(std::move(then));
                           });
        return;
    }
    pendingCards.clear();
    iNextPending = 0;
    then();
}

void TCardDavSync::TakeCard(const tDavResponse& r) {
    tServerCard card;
    card.sHref = r.sHref;
    card.sEtag = r.sEtag;
    for (const tContact& contact : ReadVCards(r.sAddressData)) {
        auto rows = CServerContacts::RowsOf(contact);
        card.aRows.insert(card.aRows.end(), rows.begin(), rows.end());
    }
    // A card without a name or number is kept with its etag, so it is not fetched again and
    // again, but names nobody.
    if (card.aRows.empty()) ++result.iUnreadable;
    ++result.iFetched;
    work->Put(std::move(card));
}

void TCardDavSync::Fail(const QString& message) {
    bRunning = false;
    ++iGeneration;
    work.reset();
    result.bOk = false;
    result.sMessage = message;
    result.iCards = published->CardCount();
    result.finished = QDateTime::currentDateTime();
    emit Finished(result);
}

void TCardDavSync::Succeed() {
    bRunning = false;
    ++iGeneration;
    result.bOk = true;
    if (work) {
        work->sCtag = collectionState.sCtag;
        if (!collectionState.sSyncToken.empty() && work->sSyncToken.empty())
            work->sSyncToken = collectionState.sSyncToken;
        if (!collectionState.bSyncCollection) work->sSyncToken = collectionState.sSyncToken;
        const std::string text = work->Serialize();
        QSaveFile file(sCacheFile);
        if (!file.open(QIODevice::WriteOnly) ||
            file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.commit())
            result.sMessage =
                QStringLiteral("Die Kopie kann nicht gespeichert werden (%1).").arg(sCacheFile);
        work->PrepareLookups();
        published = std::shared_ptr<const CServerContacts>(work.release());
    }
    result.iCards = published->CardCount();
    result.finished = QDateTime::currentDateTime();
    emit Finished(result);
}
