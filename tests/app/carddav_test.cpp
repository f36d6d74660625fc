// SPDX-License-Identifier: GPL-3.0-or-later
// The address-book sync against a real Radicale started on 127.0.0.1 (plain and over TLS), and
// against a small hostile server of the test's own for answers no honest server sends.
#include "app/CardDavSync.h"
#include "app/ServerAddressBook.h"
#include "core/Settings.h"
#include "db/CallerNames.h"
#include "db/NumberMatch.h"
#include "support/Radicale.h"
#include "support/TestSupport.h"

#include <QEventLoop>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace {

using cbtest::RadicaleServer;
using cbtest::ReadWholeFile;

tCardDavResult RunSync(TCardDavSync& sync) {
    tCardDavResult result;
    QEventLoop loop;
    QObject::connect(&sync, &TCardDavSync::Finished, &loop, [&](const tCardDavResult& r) {
        result = r;
        loop.quit();
    });
    if (!sync.Start()) return result;
    QTimer::singleShot(90000, &loop, &QEventLoop::quit);
    loop.exec();
    return result;
}

std::string NameOf(const TCardDavSync& sync, const std::string& calling) {
    tAnruf caller;
    if (!sync.Contacts()->NameCaller(caller, calling)) return "";
    return caller.sName + ", " + caller.sVorname;
}

tCardDavAccount Account(const QString& address, const char* password = RadicaleServer::kPassword) {
    return {address, QString::fromLatin1(RadicaleServer::kUser), QString::fromLatin1(password), {}};
}

TEST(CardDavSync, FollowsTheServersChangesFetchingOnlyChangedCards) {
    cbtest::TempDir temp;
    RadicaleServer radicale(temp.path() / "radicale");
    ASSERT_EQ(radicale.MakeBook(), 201);
    ASSERT_EQ(radicale.PutCard("a", "Schulz", "Anna", "+49 30 1234567"), 201);
    ASSERT_EQ(radicale.PutCard("b", "Becker", "Bernd", "0171 2223334"), 201);
    ASSERT_EQ(radicale.PutCard("c", "Conrad", "Clara", "040 555666"), 201);
    ASSERT_EQ(radicale.PutCard("d", "Dorf", "Doris", "555 1234"), 201); // a local number

    TCardDavSync sync(QString::fromStdString(temp.file("cache")));
    // Only the server's root: the address book is found through the well-known address.
    sync.SetAccount(Account(radicale.Root()));
    tCardDavResult first = RunSync(sync);
    ASSERT_TRUE(first.bOk) << first.sMessage.toStdString();
    EXPECT_EQ(first.iCards, 4u);
    EXPECT_EQ(first.iFetched, 4u);
    EXPECT_EQ(NameOf(sync, "0301234567"), "Schulz, Anna");
    EXPECT_EQ(NameOf(sync, "03012345678"), ""); // digit-exact, not a beginning
    EXPECT_EQ(NameOf(sync, "0895551234"), "");
    SetOwnAreaCode("089");
    EXPECT_EQ(NameOf(sync, "0895551234"), "Dorf, Doris");
    SetOwnAreaCode("");
    EXPECT_EQ(CardDavStatusText(first, 37).toStdString(), "4 Kontakte, vor 37 s");

    ASSERT_EQ(radicale.PutCard("b", "Brandt", "Bernd", "0171 2223334"), 201);
    ASSERT_EQ(radicale.DeleteCard("c"), 200);
    int before = radicale.Requests();
    tCardDavResult changed = RunSync(sync);
    ASSERT_TRUE(changed.bOk) << changed.sMessage.toStdString();
    EXPECT_EQ(changed.iCards, 3u);
    EXPECT_EQ(changed.iFetched, 1u); // only the changed card
    // The collection's state, then the changes since the token with the changed card in them.
    EXPECT_EQ(changed.iRequests, 2);
    EXPECT_EQ(radicale.Requests() - before, 2);
    EXPECT_EQ(NameOf(sync, "01712223334"), "Brandt, Bernd");
    EXPECT_EQ(NameOf(sync, "040555666"), "");

    before = radicale.Requests();
    tCardDavResult unchanged = RunSync(sync);
    ASSERT_TRUE(unchanged.bOk) << unchanged.sMessage.toStdString();
    EXPECT_EQ(unchanged.iRequests, 1);
    EXPECT_EQ(radicale.Requests() - before, 1);
    EXPECT_EQ(unchanged.iCards, 3u);

    // The copy on disk names the callers for the next start.
    const std::string cache = ReadWholeFile(temp.file("cache"));
    TCardDavSync restarted(QString::fromStdString(temp.file("cache")));
    ASSERT_TRUE(restarted.LoadCache());
    EXPECT_EQ(NameOf(restarted, "01712223334"), "Brandt, Bernd");

    // A wrong password is told in German; the last good copy stays, on disk too.
    sync.SetAccount(Account(radicale.Root(), "falsch"));
    tCardDavResult refused = RunSync(sync);
    EXPECT_FALSE(refused.bOk);
    EXPECT_EQ(refused.sMessage.toStdString(),
              "Anmeldung abgelehnt – Benutzer oder Kennwort falsch");
    EXPECT_EQ(NameOf(sync, "0301234567"), "Schulz, Anna");
    EXPECT_EQ(ReadWholeFile(temp.file("cache")), cache);

    // The server stopped: the names are still there.
    sync.SetAccount(Account(radicale.Root()));
    radicale.Stop();
    tCardDavResult down = RunSync(sync);
    EXPECT_FALSE(down.bOk);
    EXPECT_NE(down.sMessage.toStdString().find("nicht erreichbar"), std::string::npos)
        << down.sMessage.toStdString();
    EXPECT_EQ(NameOf(sync, "0301234567"), "Schulz, Anna");
    EXPECT_EQ(ReadWholeFile(temp.file("cache")), cache);
}

TEST(CardDavSync, FindsTheAddressBookAgainWhenItIsReplacedOrMoved) {
    cbtest::TempDir temp;
    RadicaleServer radicale(temp.path() / "radicale");
    ASSERT_EQ(radicale.MakeBook(), 201);
    ASSERT_EQ(radicale.PutCard("a", "Schulz", "Anna", "030 1234567"), 201);
    TCardDavSync sync(QString::fromStdString(temp.file("cache")));
    sync.SetAccount(Account(radicale.Root()));
    ASSERT_TRUE(RunSync(sync).bOk);

    // Made anew at the same place: the old sync-token means nothing there any more.
    ASSERT_EQ(radicale.Request("DELETE", radicale.Book()), 200);
    ASSERT_EQ(radicale.MakeBook(), 201);
    ASSERT_EQ(radicale.PutCard("b", "Neumann", "Nina", "030 7654321"), 201);
    tCardDavResult replaced = RunSync(sync);
    ASSERT_TRUE(replaced.bOk) << replaced.sMessage.toStdString();
    EXPECT_EQ(NameOf(sync, "0307654321"), "Neumann, Nina");
    EXPECT_EQ(NameOf(sync, "0301234567"), "");

    // Gone from its place, another one on the server: found from the server's address.
    ASSERT_EQ(radicale.Request("DELETE", radicale.Book()), 200);
    ASSERT_EQ(radicale.Request("MKCOL", radicale.Root() + QStringLiteral("anna/neu/"),
                               "<?xml version=\"1.0\"?><mkcol xmlns=\"DAV:\" "
                               "xmlns:CR=\"urn:ietf:params:xml:ns:carddav\"><set><prop>"
                               "<resourcetype><collection/><CR:addressbook/></resourcetype>"
                               "</prop></set></mkcol>"),
              201);
    ASSERT_EQ(radicale.Request(
                  "PUT", radicale.Root() + QStringLiteral("anna/neu/c.vcf"),
                  "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:c\r\nFN:Carl Clausen\r\nN:Clausen;Carl;;;\r\n"
                  "TEL:030 5550000\r\nEND:VCARD\r\n",
                  "text/vcard"),
              201);
    tCardDavResult moved = RunSync(sync);
    ASSERT_TRUE(moved.bOk) << moved.sMessage.toStdString();
    EXPECT_EQ(NameOf(sync, "0305550000"), "Clausen, Carl");
    EXPECT_EQ(NameOf(sync, "0307654321"), "");
}

TEST(CardDavSync, TrustsTheGivenCertificateOverTls) {
    cbtest::TempDir temp;
    RadicaleServer radicale(temp.path() / "radicale", true);
    ASSERT_EQ(radicale.MakeBook(), 201);
    ASSERT_EQ(radicale.PutCard("a", "Schulz", "Anna", "030 1234567"), 201);

    TCardDavSync sync(QString::fromStdString(temp.file("cache")));
    sync.SetAccount(Account(radicale.Book()));
    tCardDavResult untrusted = RunSync(sync);
    EXPECT_FALSE(untrusted.bOk);
    EXPECT_TRUE(untrusted.sMessage.startsWith(QStringLiteral("TLS-Fehler")))
        << untrusted.sMessage.toStdString();

    tCardDavAccount account = Account(radicale.Book());
    account.sCertificateFile = QString::fromStdString(radicale.Certificate());
    sync.SetAccount(account);
    tCardDavResult trusted = RunSync(sync);
    ASSERT_TRUE(trusted.bOk) << trusted.sMessage.toStdString();
    EXPECT_EQ(NameOf(sync, "0301234567"), "Schulz, Anna");

    account.sCertificateFile = QString::fromStdString(temp.file("fehlt.pem"));
    sync.SetAccount(account);
    EXPECT_TRUE(RunSync(sync).sMessage.contains(QStringLiteral("kann nicht gelesen werden")));
}

// Answers every request with what `answer` gives for its method, depth and body.
class ScriptedServer {
public:
    using Answer = std::function<QByteArray(const QByteArray& method, const QByteArray& depth,
                                            const QByteArray& body)>;
    explicit ScriptedServer(Answer a) : answer(std::move(a)) {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { Read(socket); });
        });
    }
    QString Url() const {
        return QStringLiteral("http://127.0.0.1:%1/buch/").arg(server.serverPort());
    }
    void SetAnswer(Answer a) { answer = std::move(a); }
    int requests = 0;

    static QByteArray Reply(int status, const QByteArray& body) {
        return "HTTP/1.1 " + QByteArray::number(status) +
               " X\r\nContent-Type: application/xml\r\nContent-Length: " +
               QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }

private:
    void Read(QTcpSocket* socket) {
        QByteArray& buffer = buffers[socket];
        buffer += socket->readAll();
        const int end = buffer.indexOf("\r\n\r\n");
        if (end < 0) return;
        const QByteArray head = buffer.left(end);
        qsizetype length = 0;
        QByteArray depth;
        for (const QByteArray& line : head.split('\n')) {
            const QByteArray lower = line.trimmed().toLower();
            if (lower.startsWith("content-length:")) length = lower.mid(15).trimmed().toLongLong();
            if (lower.startsWith("depth:")) depth = lower.mid(6).trimmed();
        }
        if (buffer.size() < end + 4 + length) return;
        ++requests;
        socket->write(answer(head.left(head.indexOf(' ')), depth, buffer.mid(end + 4, length)));
        socket->disconnectFromHost();
        buffers.remove(socket);
    }
    QTcpServer server;
    Answer answer;
    QHash<QTcpSocket*, QByteArray> buffers;
};

QByteArray Multistatus(const QByteArray& responses) {
    return "<?xml version=\"1.0\"?><d:multistatus xmlns:d=\"DAV:\" "
           "xmlns:c=\"urn:ietf:params:xml:ns:carddav\" "
           "xmlns:cs=\"http://calendarserver.org/ns/\">" +
           responses + "</d:multistatus>";
}

QByteArray Response(const QByteArray& href, const QByteArray& props) {
    return "<d:response><d:href>" + href + "</d:href><d:propstat><d:prop>" + props +
           "</d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>";
}

// A server without sync-collection: the cards are listed by their etags.
QByteArray HonestAnswer(const QByteArray& method, const QByteArray& depth, const QByteArray&) {
    if (method == "PROPFIND" && depth == "0")
        return ScriptedServer::Reply(
            207, Multistatus(Response("/buch/", "<d:resourcetype><d:collection/><c:addressbook/>"
                                                "</d:resourcetype><cs:getctag>7</cs:getctag>")));
    if (method == "PROPFIND")
        return ScriptedServer::Reply(
            207,
            Multistatus(Response("/buch/", "<d:resourcetype><c:addressbook/></d:resourcetype>") +
                        Response("/buch/1.vcf", "<d:getetag>\"e1\"</d:getetag>") +
                        Response("/buch/2.vcf", "<d:getetag>\"e2\"</d:getetag>")));
    return ScriptedServer::Reply(
        207, Multistatus(Response("/buch/1.vcf",
                                  "<d:getetag>\"e1\"</d:getetag><c:address-data>BEGIN:VCARD\r\n"
                                  "VERSION:3.0\r\nN:Ernst;Emil\r\nTEL:0221 9876543\r\n"
                                  "END:VCARD\r\n</c:address-data>") +
                         Response("/buch/2.vcf", "<d:getetag>\"e2\"</d:getetag><c:address-data>"
                                                 "kein vCard &lt;&gt; Unsinn</c:address-data>")));
}

TEST(CardDavSync, HostileAnswersAreToldAndTheLastGoodCopyStays) {
    cbtest::TempDir temp;
    ScriptedServer server(&HonestAnswer);
    TCardDavSync sync(QString::fromStdString(temp.file("cache")));
    sync.SetAccount(Account(server.Url()));
    tCardDavResult good = RunSync(sync);
    ASSERT_TRUE(good.bOk) << good.sMessage.toStdString();
    EXPECT_EQ(good.iCards, 2u);
    EXPECT_EQ(good.iUnreadable, 1u); // the card that does not parse names nobody
    EXPECT_EQ(NameOf(sync, "02219876543"), "Ernst, Emil");
    EXPECT_EQ(RunSync(sync).iRequests, 1); // the ctag alone says nothing changed
    const std::string cache = ReadWholeFile(temp.file("cache"));

    const struct {
        QByteArray answer;
        const char* told;
    } hostile[] = {
        {ScriptedServer::Reply(207, "<d:multistatus xmlns:d=\"DAV:\"><d:response><d:href>"),
         "kein gültiges XML"},
        {ScriptedServer::Reply(207, "<?xml version=\"1.0\"?><!DOCTYPE x [<!ENTITY a \"aaaa\">"
                                    "<!ENTITY b \"&a;&a;&a;&a;\">]><d:multistatus "
                                    "xmlns:d=\"DAV:\">&b;</d:multistatus>"),
         "Entity"},
        {ScriptedServer::Reply(207, "<html><body>Wartung</body></html>"), "keine WebDAV"},
        {ScriptedServer::Reply(500, "kaputt"), "Fehler 500"},
        {"HTTP/1.1 207 X\r\nContent-Length: 10\r\n\r\nabc", "abgebrochen"},
        {"Unsinn\r\n\r\n", "ohne Antwort"},
    };
    for (const auto& h : hostile) {
        SCOPED_TRACE(h.told);
        server.SetAnswer(
            [&](const QByteArray&, const QByteArray&, const QByteArray&) { return h.answer; });
        // A new ctag would be needed for a listing; every answer here is the first one.
        tCardDavResult bad = RunSync(sync);
        EXPECT_FALSE(bad.bOk);
        EXPECT_NE(bad.sMessage.toStdString().find(h.told), std::string::npos)
            << bad.sMessage.toStdString();
        EXPECT_EQ(NameOf(sync, "02219876543"), "Ernst, Emil");
        EXPECT_EQ(ReadWholeFile(temp.file("cache")), cache);
    }
}

// The program's own address book: account from the settings, the password to the keyring
// where there is one and else kept in the INI, each finished copy offered to the lookup.
TEST(ServerAddressBook, TakesTheSettingsAndOffersTheCopyToTheLookup) {
    cbtest::TempDir temp;
    ScriptedServer server(&HonestAnswer);
    ResetSettings();
    sCardDavAdresse = server.Url().toStdString();
    sCardDavBenutzer = "anna";
    sCardDavKennwort = "geheim";
    const auto waitForSync = [](TServerAddressBook& book) {
        QEventLoop loop;
        QObject::connect(&book, &TServerAddressBook::Synced, &loop, &QEventLoop::quit);
        QTimer::singleShot(30000, &loop, &QEventLoop::quit);
        loop.exec();
        QTest::qWait(500); // the keyring's answer
    };
    {
        TServerAddressBook book(QString::fromStdString(temp.file("cache")));
        EXPECT_EQ(ServerAddressBook(), &book);
        book.ApplySettings(true);
        waitForSync(book);
        EXPECT_EQ(book.StatusText().rfind("2 Kontakte, vor ", 0), 0u) << book.StatusText();
        tAnruf caller;
        ASSERT_TRUE(SecondCallerNames());
        EXPECT_TRUE(SecondCallerNames()->NameCaller(caller, "02219876543"));
    }
    EXPECT_EQ(ServerAddressBook(), nullptr);
    EXPECT_FALSE(SecondCallerNames());
    if (!sCardDavKennwort.empty()) {
        // No keyring here: the password stays where it was, and is used from there.
        EXPECT_EQ(sCardDavKennwort, "geheim");
    } else {
        // A keyring took it: a new start finds it there.
        TServerAddressBook book(QString::fromStdString(temp.file("cache2")));
        book.ApplySettings(false);
        waitForSync(book);
        EXPECT_EQ(book.Sync().Account().sPassword, "geheim");
    }
    ResetSettings();
}

} // namespace
