// The DNS connect modes against the system's real resolver. A host name with
// two loopback addresses exists only inside a private mount namespace, where
// a hosts file of the test's own is mounted over /etc/hosts (the machine's
// files are never touched) and name lookups go to files only, so nothing
// leaves the machine.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <netdb.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include "OwnedText.h"
#include "PosixPeer.h"
#include "korvocomm.h"
#include "transport/CTcpNetwLayer.h"
#include "transport/SocketsStarted.h"

namespace korvo {
namespace {

// What the child process found, sent back through a pipe.
struct Outcome {
    char skip[200]; // non-empty: the scenario cannot run here, and why
    char failure[200];
    int32_t multipleRefused;   // mode 0, two addresses
    int32_t multipleConnected; // connections that arrived in mode 0
    int32_t firstOnly;         // mode 2, first address listening
    int32_t firstOnlyAtFirst;  // ... connections at the first address
    int32_t firstOnlyAtSecond; // ... and at the second
    int32_t firstOnlyRefused;  // mode 2, first address refusing
    int32_t firstOnlyFellBack; // ... connections at the second (must be 0)
    int32_t fallback;          // mode 1, first address refusing
    int32_t fallbackAtSecond;  // ... connections at the second
    int32_t singleInMode0;     // mode 0, a name with one address
    int32_t unresolvable;      // a name the resolver does not know
};

bool WriteFile(const std::string& path, const char* text) {
    FILE* f = std::fopen(path.c_str(), "w");
    if (!f) return false;
    bool ok = std::fputs(text, f) >= 0;
    return std::fclose(f) == 0 && ok;
}

int32_t OpenIn(uint32_t mode, const char* host, uint16_t port) {
    CTcpNetwLayer tcp(test::OwnedText(host), port);
    tcp.SetOption(OPTION_DNS_CONNECT_MODE, mode);
    return tcp.Open();
}

// Drains the connections waiting at a listener and counts them.
int32_t Arrived(test::LoopbackListener& l) {
    int32_t n = 0;
    for (int fd; (fd = l.Accept(20)) >= 0; ++n)
        close(fd);
    return n;
}

// Runs in the child: sets up the namespace, then every scenario.
void RunScenarios(Outcome& out, const std::string& dir) {
    auto skip = [&](const char* why) {
        std::snprintf(out.skip, sizeof out.skip, "%s (%s)", why, std::strerror(errno));
    };
    if (unshare(CLONE_NEWNS) != 0) return skip("no private mount namespace");
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return skip("mounts cannot be made private");
    const std::string hosts = dir + "/hosts", nss = dir + "/nsswitch.conf";
    if (!WriteFile(hosts, "127.0.0.1 localhost\n"
                          "127.0.0.2 twin.korvo.test\n"
                          "127.0.0.3 twin.korvo.test\n"
                          "127.0.0.4 single.korvo.test\n") ||
        !WriteFile(nss, "hosts: files\n"))
        return skip("cannot write the test's hosts file");
    if (mount(hosts.c_str(), "/etc/hosts", nullptr, MS_BIND, nullptr) != 0 ||
        mount(nss.c_str(), "/etc/nsswitch.conf", nullptr, MS_BIND, nullptr) != 0)
        return skip("cannot bind-mount over /etc/hosts");

    // The resolver's own order decides which address is "first".
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo* list = nullptr;
    if (getaddrinfo("twin.korvo.test", "1", &hints, &list) != 0)
        return skip("the resolver does not read the private hosts file");
    char first[64] = "", second[64] = "";
    int count = 0;
    for (addrinfo* a = list; a; a = a->ai_next, ++count) {
        if (a->ai_family != AF_INET || count >= 2) continue;
        inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(a->ai_addr)->sin_addr,
                  count == 0 ? first : second, 64);
    }
    freeaddrinfo(list);
    if (count != 2 || !*first || !*second)
        return skip("the resolver does not give the two addresses of the private hosts file");

    // The same port on both addresses.
    std::unique_ptr<test::LoopbackListener> a, b;
    for (int attempt = 0; attempt < 20 && !(a && b && b->ok()); ++attempt) {
        a.reset(new test::LoopbackListener(first));
        b.reset(a->ok() ? new test::LoopbackListener(second, a->Port()) : nullptr);
    }
    if (!a || !b || !a->ok() || !b->ok()) return skip("cannot listen on 127.0.0.2 and 127.0.0.3");
    const uint16_t port = a->Port();

    out.multipleRefused = OpenIn(0, "twin.korvo.test", port);
    out.multipleConnected = Arrived(*a) + Arrived(*b);

    out.firstOnly = OpenIn(2, "twin.korvo.test", port);
    out.firstOnlyAtFirst = Arrived(*a);
    out.firstOnlyAtSecond = Arrived(*b);

    a->Stop(); // the first address now refuses
    out.firstOnlyRefused = OpenIn(2, "twin.korvo.test", port);
    out.firstOnlyFellBack = Arrived(*b);
    out.fallback = OpenIn(1, "twin.korvo.test", port);
    out.fallbackAtSecond = Arrived(*b);

    test::LoopbackListener single("127.0.0.4", port);
    if (!single.ok()) {
        std::snprintf(out.failure, sizeof out.failure, "cannot listen on 127.0.0.4:%u", port);
        return;
    }
    out.singleInMode0 = OpenIn(0, "single.korvo.test", port);
    out.unresolvable = OpenIn(1, "nowhere.korvo.test", port);
}

TEST(TcpDnsModes, TwoAddressesForOneName) {
    char tmpl[] = "/tmp/korvo-dns-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    const std::string dir = tmpl;
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(60); // never outlive a wedged scenario
        close(fds[0]);
        Outcome out{};
        socketsStarted.store(true);
        RunScenarios(out, dir);
        ssize_t written = write(fds[1], &out, sizeof out);
        _exit(written == static_cast<ssize_t>(sizeof out) ? 0 : 1);
    }
    close(fds[1]);
    Outcome out{};
    size_t got = 0;
    while (got < sizeof out) {
        ssize_t n = read(fds[0], reinterpret_cast<char*>(&out) + got, sizeof out - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    close(fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    unlink((dir + "/hosts").c_str());
    unlink((dir + "/nsswitch.conf").c_str());
    rmdir(dir.c_str());

    ASSERT_EQ(got, sizeof out) << "the scenario process ended early, status " << status;
    if (out.skip[0]) GTEST_SKIP() << "DNS connect modes not tested: " << out.skip;
    ASSERT_EQ(out.failure[0], '\0') << out.failure;

    EXPECT_EQ(out.multipleRefused, APP_TCP_MULTIPLE_HOSTS);
    EXPECT_EQ(out.multipleConnected, 0) << "mode 0 must not try to connect";
    EXPECT_EQ(out.firstOnly, 0);
    EXPECT_EQ(out.firstOnlyAtFirst, 1);
    EXPECT_EQ(out.firstOnlyAtSecond, 0);
    EXPECT_EQ(out.firstOnlyRefused, APP_TCP_CONNECTION_REFUSED);
    EXPECT_EQ(out.firstOnlyFellBack, 0) << "mode 2 must not try the second address";
    EXPECT_EQ(out.fallback, 0);
    EXPECT_EQ(out.fallbackAtSecond, 1);
    EXPECT_EQ(out.singleInMode0, 0);
    EXPECT_EQ(out.unresolvable, APP_TCP_HOST_NOT_FOUND);
}

} // namespace
} // namespace korvo
