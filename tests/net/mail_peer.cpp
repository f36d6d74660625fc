// SPDX-License-Identifier: GPL-3.0-or-later
// mail_peer targets                          the broadcast targets, one per line
// mail_peer send SLOT PORT TEXT              one SendText
// mail_peer recv SLOT PORT TIMEOUT_MS        prints "ready", then "got TEXT" for the first message
#include "net/Mail.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "targets") {
        for (const std::string& target : MailBroadcastTargets())
            std::printf("%s\n", target.c_str());
        return 0;
    }
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: mail_peer targets | send SLOT PORT TEXT | recv SLOT PORT MS\n");
        return 2;
    }
    SetMailPortOverride(static_cast<uint16_t>(std::atoi(argv[3])));
    if (mode == "send") {
        TMailServer server(argv[2]);
        if (server.hSlot < 0) return 2;
        server.SendText(argv[4]);
        return 0;
    }
    if (mode == "recv") {
        TMailClient client(argv[2]);
        if (client.hSlot < 0) return 2;
        std::printf("ready\n");
        std::fflush(stdout);
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atoi(argv[4]));
        char buffer[200];
        uint32_t read = 0;
        while (std::chrono::steady_clock::now() < deadline) {
            if (client.ReadMessage(buffer, sizeof buffer, &read)) {
                std::printf("got %.*s\n", static_cast<int>(strnlen(buffer, read)), buffer);
                return 0;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return 1;
    }
    return 2;
}
