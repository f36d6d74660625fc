// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ServerAddressBook.h"

#include "core/Settings.h"
#include "db/CallerNames.h"
#include "platform/Trace.h"

namespace {

QString KeyringKey() {
    return QString::fromStdString(sCardDavBenutzer) + QLatin1Char('@') +
           QString::fromStdString(sCardDavAdresse).trimmed();
}

QString Count(size_t n, const char* one, const char* many) {
    return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf8(n == 1 ? one : many));
}

} // namespace

tCardDavAccount TServerAddressBook::AccountFromSettings() const {
    tCardDavAccount account;
    account.sAddress = QString::fromStdString(sCardDavAdresse).trimmed();
    account.sUser = QString::fromStdString(sCardDavBenutzer);
    account.sPassword = QString::fromStdString(sCardDavKennwort);
    if (account.sPassword.isEmpty() && sKeyringKey == KeyringKey())
        account.sPassword = sKeyringPassword;
    account.sCertificateFile = QString::fromStdString(sCardDavZertifikat).trimmed();
    return account;
}

QString CardDavStatusText(const tCardDavResult& result, qint64 seconds) {
    if (!result.finished.isValid()) return QString();
    QString ago;
    if (seconds < 120)
        ago = QStringLiteral("vor %1 s").arg(std::max<qint64>(seconds, 0));
    else if (seconds < 2 * 3600)
        ago = QStringLiteral("vor %1 min").arg(seconds / 60);
    else
        ago = QStringLiteral("vor %1 h").arg(seconds / 3600);
    if (!result.bOk) return result.sMessage + QStringLiteral(" (") + ago + QLatin1Char(')');
    QString text = Count(result.iCards, "Kontakt", "Kontakte") + QStringLiteral(", ") + ago;
    if (result.iUnreadable > 0)
        text += QStringLiteral("; ") + Count(result.iUnreadable, "Karte ohne Name und Nummer",
                                             "Karten ohne Name und Nummer");
    if (!result.sMessage.isEmpty()) text += QStringLiteral("; ") + result.sMessage;
    return text;
}

TServerAddressBook::TServerAddressBook(const QString& cacheFile, QObject* parent)
    : QObject(parent), sync(cacheFile) {
    connect(&sync, &TCardDavSync::Finished, this, &TServerAddressBook::OnFinished);
    connect(&timer, &QTimer::timeout, this, &TServerAddressBook::SyncNow);
    QString problem;
    if (sync.LoadCache(&problem))
        cb::Trace("CardDAV: " + std::to_string(sync.Contacts()->CardCount()) +
                  " Kontakte aus der letzten Kopie");
    else if (!problem.isEmpty()) {
        sLoadProblem = problem;
        cb::Trace("CardDAV: " + problem.toStdString());
    }
    Publish();
    SetServerAddressBook(this);
}

TServerAddressBook::~TServerAddressBook() {
    if (ServerAddressBook() == this) SetServerAddressBook(nullptr);
    SetSecondCallerNames(nullptr);
}

void TServerAddressBook::ApplySettings(bool fromDialog) {
    const QString key = KeyringKey();
    if (!sCardDavKennwort.empty() && fromDialog && !sCardDavBenutzer.empty()) {
        const std::string typed = sCardDavKennwort;
        passwords.Write(key, QString::fromStdString(typed),
                        [this, key, typed](bool ok, const QString& why) {
                            if (!ok) {
                                cb::Trace("CardDAV: kein Schlüsselbund (" + why.toStdString() +
                                          "), das Kennwort bleibt in der Einstellungsdatei");
                                return;
                            }
                            sKeyringKey = key;
                            sKeyringPassword = QString::fromStdString(typed);
                            // Unless it was changed meanwhile, the settings file keeps no password
                            // now.
                            if (sCardDavKennwort == typed && KeyringKey() == key)
                                sCardDavKennwort.clear();
                            cb::Trace("CardDAV: Kennwort im Schlüsselbund gespeichert");
                        });
    } else if (sCardDavKennwort.empty() && !sCardDavBenutzer.empty() && key != sKeyringKey &&
               !bReadingKeyring) {
        bReadingKeyring = true;
        passwords.Read(key, [this, key](bool found, const QString& password) {
            bReadingKeyring = false;
            if (found) {
                sKeyringKey = key;
                sKeyringPassword = password;
            }
            if (bSyncWaiting) {
                bSyncWaiting = false;
                SyncNow();
            }
        });
    }
    const tCardDavAccount account = AccountFromSettings();
    const bool changed = account.sAddress != sync.Account().sAddress ||
                         account.sUser != sync.Account().sUser ||
                         account.sPassword != sync.Account().sPassword ||
                         account.sCertificateFile != sync.Account().sCertificateFile;
    sync.SetAccount(account);
    const int minutes = std::clamp(iCardDavMinuten, 0, 24 * 60);
    if (account.sAddress.isEmpty() || minutes == 0)
        timer.stop();
    else
        timer.start(minutes * 60 * 1000);
    if (changed && !account.sAddress.isEmpty()) SyncNow();
}

void TServerAddressBook::SyncNow() {
    if (sync.IsRunning()) return;
    if (bReadingKeyring) {
        bSyncWaiting = true; // the password is on its way
        return;
    }
    // The settings page may have changed the account in memory just before.
    sync.SetAccount(AccountFromSettings());
    if (sync.Start()) cb::Trace("CardDAV: sync started");
}

void TServerAddressBook::Publish() {
    const auto contacts = sync.Contacts();
    SetSecondCallerNames(contacts && contacts->CardCount() > 0 ? contacts : nullptr);
}

void TServerAddressBook::OnFinished(const tCardDavResult& result) {
    Publish();
    std::string line = "CardDAV: ";
    if (result.bOk)
        line += std::to_string(result.iCards) + " Kontakte, " + std::to_string(result.iFetched) +
                " geholt, " + std::to_string(result.iRequests) + " Anfragen";
    else
        line += result.sMessage.toStdString() + " (die letzte Kopie mit " +
                std::to_string(result.iCards) + " Kontakten bleibt)";
    if (result.iUnreadable > 0)
        line += ", " + std::to_string(result.iUnreadable) + " Karten ohne Name und Nummer";
    if (result.bOk && !result.sMessage.isEmpty()) line += ", " + result.sMessage.toStdString();
    cb::Trace(line);
    emit Synced(result);
}

std::string TServerAddressBook::StatusText() const {
    const tCardDavResult& result = sync.LastResult();
    if (sync.IsRunning()) return "Abgleich läuft …";
    if (!result.finished.isValid()) {
        if (!sLoadProblem.isEmpty()) return sLoadProblem.toStdString();
        const size_t cards = sync.Contacts()->CardCount();
        return cards > 0 ? std::to_string(cards) + " Kontakte aus der letzten Kopie" : "";
    }
    return CardDavStatusText(result, result.finished.secsTo(QDateTime::currentDateTime()))
        .toStdString();
}
