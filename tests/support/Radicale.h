// SPDX-License-Identifier: GPL-3.0-or-later
// A real CardDAV server for tests: Radicale on a free port of 127.0.0.1 with one htpasswd user
// and an address book the test fills through the server's own HTTP requests. Its log tells
// how many requests it served.
#pragma once

#include "support/Process.h"
#include "support/TestSupport.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTimer>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace cbtest {

class RadicaleServer {
public:
    static constexpr const char* kUser = "anna";
    static constexpr const char* kPassword = "geheim";

    // `folder` holds the store, the user file, the configuration and (with TLS) the
    // certificate and key made here with openssl.
    explicit RadicaleServer(const std::filesystem::path& folder, bool tls = false)
        : folder_(folder), tls_(tls), port_(FreePort()) {
        std::filesystem::create_directories(folder_);
        WriteWholeFile((folder_ / "users").string(), std::string(kUser) + ":" + kPassword + "\n");
        std::string server = "[server]\nhosts = 127.0.0.1:" + std::to_string(port_) + "\n";
        if (tls_) {
            const std::string cmd =
                "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1 "
                "-addext subjectAltName=IP:127.0.0.1 -keyout '" +
                (folder_ / "key.pem").string() + "' -out '" + Certificate() + "' 2>/dev/null";
            if (std::system(cmd.c_str()) != 0) std::abort();
            server += "ssl = True\ncertificate = " + Certificate() +
                      "\nkey = " + (folder_ / "key.pem").string() + "\n";
        }
        WriteWholeFile((folder_ / "config").string(),
                       server + "[auth]\ntype = htpasswd\nhtpasswd_filename = " +
                           (folder_ / "users").string() +
                           "\nhtpasswd_encryption = plain\n"
                           "[rights]\ntype = owner_only\n"
                           "[storage]\nfilesystem_folder = " +
                           (folder_ / "store").string() + "\n[logging]\nlevel = info\n");
        Start();
    }

    void Start() {
        process_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{"/bin/sh", "-c",
                                     "exec /usr/bin/radicale --config '" +
                                         (folder_ / "config").string() + "' 2>&1"},
            std::vector<std::string>{}, folder_.string());
        WaitUntil([&] { return Accepts(); }, 15000);
    }
    void Stop() { process_.reset(); }
    bool Accepts() const {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(uint16_t(port_));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        close(fd);
        return ok;
    }

    int port() const { return port_; }
    std::string Certificate() const { return (folder_ / "cert.pem").string(); }
    QString Root() const {
        return QStringLiteral("%1://127.0.0.1:%2/")
            .arg(tls_ ? QStringLiteral("https") : QStringLiteral("http"))
            .arg(port_);
    }
    QString Book() const { return Root() + kUser + QStringLiteral("/buch/"); }

    // The server's log so far.
    const std::vector<std::string>& Log() { return process_->lines(); }
    // Requests the server has logged so far.
    int Requests() {
        int n = 0;
        for (const std::string& line : process_->lines())
            if (line.find(" request for ") != std::string::npos) ++n;
        return n;
    }

    // One request of the test's own, waited for; the HTTP status.
    int Request(const QByteArray& verb, const QString& url, const QByteArray& body = {},
                const QByteArray& type = "application/xml", const QByteArray& depth = {}) {
        QNetworkAccessManager network;
        QNetworkRequest request{QUrl(url)};
        request.setRawHeader("Authorization",
                             "Basic " + QByteArray(kUser).append(':').append(kPassword).toBase64());
        request.setHeader(QNetworkRequest::ContentTypeHeader, type);
        if (!depth.isEmpty()) request.setRawHeader("Depth", depth);
        if (tls_) {
            QSslConfiguration conf = QSslConfiguration::defaultConfiguration();
            conf.addCaCertificates(
                QSslCertificate::fromPath(QString::fromStdString(Certificate())));
            request.setSslConfiguration(conf);
        }
        QNetworkReply* reply = network.sendCustomRequest(request, verb, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(15000, &loop, &QEventLoop::quit);
        loop.exec();
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        delete reply;
        return status;
    }
    int MakeBook() {
        return Request("MKCOL", Book(),
                       "<?xml version=\"1.0\"?><mkcol xmlns=\"DAV:\" "
                       "xmlns:CR=\"urn:ietf:params:xml:ns:carddav\"><set><prop><resourcetype>"
                       "<collection/><CR:addressbook/></resourcetype></prop></set></mkcol>");
    }
    int PutCard(const std::string& uid, const std::string& family, const std::string& given,
                const std::string& number) {
        return Request("PUT", Book() + QString::fromStdString(uid) + QStringLiteral(".vcf"),
                       QByteArray::fromStdString(
                           "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + uid + "\r\nFN:" + given + " " +
                           family + "\r\nN:" + family + ";" + given +
                           ";;;\r\nTEL;TYPE=CELL:" + number + "\r\nEND:VCARD\r\n"),
                       "text/vcard");
    }
    int DeleteCard(const std::string& uid) {
        return Request("DELETE", Book() + QString::fromStdString(uid) + QStringLiteral(".vcf"));
    }

private:
    std::filesystem::path folder_;
    bool tls_;
    int port_;
    std::unique_ptr<ChildProcess> process_;
};

} // namespace cbtest
