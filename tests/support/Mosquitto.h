// SPDX-License-Identifier: GPL-3.0-or-later
// A real Mosquitto broker for a test on a free port of 127.0.0.1 (plain, with a password file,
// or with TLS from a CA the test makes with openssl), and mosquitto_sub as the peer that
// records what reaches the broker.
#pragma once

#include "support/Process.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace cbtest {

inline std::string MosquittoProgram() {
    return std::filesystem::exists("/usr/sbin/mosquitto") ? "/usr/sbin/mosquitto" : "mosquitto";
}

inline bool RunQuietly(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// The files of a TLS broker: a CA, and a certificate for 127.0.0.1 signed by it.
struct TlsFiles {
    std::string ca, cert, key;
};

inline TlsFiles MakeTlsFiles(const std::filesystem::path& dir) {
    const std::string d = dir.string();
    TlsFiles f{d + "/ca.pem", d + "/server.pem", d + "/server.key"};
    WriteWholeFile(d + "/san.cnf", "subjectAltName=IP:127.0.0.1\n");
    EXPECT_TRUE(
        RunQuietly("openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=TestCA -keyout " +
                   d + "/ca.key -out " + f.ca));
    EXPECT_TRUE(RunQuietly("openssl req -newkey rsa:2048 -nodes -subj /CN=127.0.0.1 -keyout " +
                           f.key + " -out " + d + "/server.csr"));
    EXPECT_TRUE(RunQuietly("openssl x509 -req -in " + d + "/server.csr -CA " + f.ca + " -CAkey " +
                           d + "/ca.key -CAcreateserial -days 2 -extfile " + d + "/san.cnf -out " +
                           f.cert));
    return f;
}

class Broker {
public:
    // user empty: anonymous; tls: listener with these files.
    Broker(const std::filesystem::path& dir, std::string user = {}, std::string password = {},
           const TlsFiles* tls = nullptr)
        : dir_(dir), user_(std::move(user)), password_(std::move(password)) {
        std::string conf = "listener " + std::to_string(port_) + " 127.0.0.1\npersistence false\n";
        // Started as root the broker would change to its own user, who cannot read our files.
        if (geteuid() == 0) conf += "user root\n";
        if (user_.empty()) {
            conf += "allow_anonymous true\n";
        } else {
            const std::string pw = (dir_ / "passwords").string();
            EXPECT_TRUE(RunQuietly("mosquitto_passwd -b -c " + pw + " " + user_ + " " + password_));
            conf += "allow_anonymous false\npassword_file " + pw + "\n";
        }
        if (tls) {
            tls_ = *tls;
            conf +=
                "cafile " + tls->ca + "\ncertfile " + tls->cert + "\nkeyfile " + tls->key + "\n";
        }
        WriteWholeFile((dir_ / "mosquitto.conf").string(), conf);
    }
    ~Broker() { Kill(); }

    int port() const { return port_; }
    void Start() {
        process_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{MosquittoProgram(), "-c", (dir_ / "mosquitto.conf").string()},
            std::vector<std::string>{}, dir_.string(), (dir_ / "mosquitto.log").string());
        // Ready once the port takes connections.
        EXPECT_TRUE(WaitUntil([&] { return Reachable(); }, 5000)) << "broker did not start";
    }
    void Kill() {
        if (process_) process_->StopWith(SIGKILL, 5000);
        process_.reset();
    }
    bool Reachable() const {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<uint16_t>(port_));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        close(fd);
        return ok;
    }
    // mosquitto_sub / mosquitto_pub options reaching this broker.
    std::vector<std::string> ClientOptions() const {
        std::vector<std::string> o{"-h", "127.0.0.1", "-p", std::to_string(port_)};
        if (!user_.empty()) o.insert(o.end(), {"-u", user_, "-P", password_});
        if (!tls_.ca.empty()) o.insert(o.end(), {"--cafile", tls_.ca});
        return o;
    }
    // The [MQTT] section for a station on this broker.
    std::string IniSection(const std::string& station, const std::string& extra = {}) const {
        std::string s = "[MQTT]\nHost=127.0.0.1\nPort=" + std::to_string(port_) +
                        "\nPraefix=callbeacon\nStation=" + station + "\n";
        if (!user_.empty()) s += "Benutzer=" + user_ + "\nKennwort=" + password_ + "\n";
        if (!tls_.ca.empty()) s += "TLS=1\nCA=" + tls_.ca + "\n";
        return s + extra;
    }

private:
    std::filesystem::path dir_;
    std::string user_, password_;
    TlsFiles tls_;
    int port_ = FreePort();
    std::unique_ptr<ChildProcess> process_;
};

// mosquitto_sub -v on some topics: every message as "topic payload", one a line.
class Subscriber {
public:
    Subscriber(const Broker& broker, const std::vector<std::string>& topics) {
        std::vector<std::string> argv{"mosquitto_sub", "-v", "-q", "1"};
        const auto o = broker.ClientOptions();
        argv.insert(argv.end(), o.begin(), o.end());
        for (const std::string& t : topics)
            argv.insert(argv.end(), {"-t", t});
        process_ = std::make_unique<ChildProcess>(argv, std::vector<std::string>{}, std::string());
        // Subscribed once a retained probe of its own comes back is overkill: a short wait.
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
    // Payloads received on `topic`, in order.
    std::vector<std::string> On(const std::string& topic) {
        std::vector<std::string> out;
        for (const std::string& l : process_->lines())
            if (l.rfind(topic + " ", 0) == 0) out.push_back(l.substr(topic.size() + 1));
        return out;
    }
    std::vector<std::string> Lines() { return process_->lines(); }

private:
    std::unique_ptr<ChildProcess> process_;
};

} // namespace cbtest
