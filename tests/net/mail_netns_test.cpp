// SPDX-License-Identifier: GPL-3.0-or-later
// Two hosts made of network namespaces joined by a veth pair: an announcement sent on one
// reaches a receiver on the other. The sender knows no address of the other host, so what
// arrives crossed the link as a broadcast.
#include "support/Process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

std::string PeerPath() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "mail_peer").string();
}

int Shell(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Output of a short command.
std::string Capture(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char chunk[256];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0)
            out.append(chunk, n);
        ::pclose(pipe);
    }
    return out;
}

// The namespaces and the veth pair go away with the test, whatever its outcome.
struct TwoHosts {
    std::string nsA, nsB, vethA, vethB;
    bool created = false;

    TwoHosts() {
        const std::string id = std::to_string(::getpid());
        nsA = "cbmail-" + id + "-a";
        nsB = "cbmail-" + id + "-b";
        vethA = "cbma" + id; // interface names: 15 characters at most
        vethB = "cbmb" + id;
    }
    ~TwoHosts() {
        if (!created) return;
        Shell("ip netns del " + nsA); // deleting a namespace removes its veth end and the peer
        Shell("ip netns del " + nsB);
        Shell("ip link del " + vethA);
    }
    // Empty on success, else why the environment does not allow it.
    std::string Create() {
        Shell("ip netns del " + nsA); // left over by a killed run with the same process id
        Shell("ip netns del " + nsB);
        if (Shell("ip netns add " + nsA) != 0) return "cannot create network namespaces";
        created = true;
        if (Shell("ip netns add " + nsB) != 0) return "cannot create network namespaces";
        if (Shell("ip link add " + vethA + " type veth peer name " + vethB) != 0)
            return "cannot create veth pairs";
        return {};
    }
};

} // namespace

TEST(MailAcrossHosts, AnnouncementCrossesTheLinkAsBroadcast) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root (CAP_NET_ADMIN) to build two network hosts";
    TwoHosts hosts;
    const std::string why = hosts.Create();
    if (!why.empty()) GTEST_SKIP() << why << " here; the cross-host test did not run";

    const std::string& a = hosts.nsA;
    const std::string& b = hosts.nsB;
    // Inside a chroot the namespaces can be made but not entered (ip cannot remount /).
    if (Shell("ip -n " + a + " link set lo up") != 0)
        GTEST_SKIP()
            << "network namespaces cannot be entered here; the cross-host test did not run";
    ASSERT_EQ(Shell("ip link set " + hosts.vethA + " netns " + a), 0);
    ASSERT_EQ(Shell("ip link set " + hosts.vethB + " netns " + b), 0);
    // Host A's address without an explicit broadcast, host B's with one: both ways are common.
    ASSERT_EQ(Shell("ip -n " + a + " addr add 10.213.7.1/24 dev " + hosts.vethA), 0);
    ASSERT_EQ(Shell("ip -n " + b + " addr add 10.213.7.2/24 brd + dev " + hosts.vethB), 0);
    for (const auto& [ns, dev] : {std::pair{a, hosts.vethA}, std::pair{b, hosts.vethB}}) {
        ASSERT_EQ(Shell("ip -n " + ns + " link set lo up"), 0);
        ASSERT_EQ(Shell("ip -n " + ns + " link set " + dev + " up"), 0);
    }

    // Both peers run inside the namespaces made above: here the real interface broadcast is
    // what is under test, so the loopback-only restriction of the test run is lifted.
    ::unsetenv("CALLBEACON_BROADCAST");
    const std::string peer = PeerPath();
    ASSERT_TRUE(std::filesystem::exists(peer)) << peer;
    const std::string targets = Capture("ip netns exec " + a + " " + peer + " targets");
    EXPECT_EQ(targets, "10.213.7.255\n127.255.255.255\n");

    cbtest::ChildProcess receiver(
        {"ip", "netns", "exec", b, peer, "recv", "DEDOV", "28183", "10000"}, {}, std::string());
    ASSERT_TRUE(receiver.WaitForLine("ready", 5000));

    // The veth link may need a moment before it carries traffic; announce until it arrives.
    const std::string message = "0,1700000000,0891234567,5678";
    bool got = false;
    for (int attempt = 0; attempt < 20 && !got; ++attempt) {
        ASSERT_EQ(Shell("ip netns exec " + a + " " + peer + " send DEDOV 28183 " + message), 0);
        got = receiver.WaitForLine("got " + message, 250);
    }
    EXPECT_TRUE(got);
    EXPECT_EQ(receiver.lines().back(), "got " + message);
}
