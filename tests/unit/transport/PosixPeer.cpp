#include "PosixPeer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace korvo::test {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

bool SameAddress(const sockaddr_storage& a, socklen_t al, const sockaddr_storage& b, socklen_t bl) {
    return al == bl && std::memcmp(&a, &b, al) == 0;
}

} // namespace

bool Readable(int fd, int timeoutMs) {
    pollfd p{fd, POLLIN, 0};
    int rc;
    do {
        rc = poll(&p, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    return rc > 0;
}

bool ReadLine(int fd, std::string& line, int timeoutMs) {
    line.clear();
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (!Readable(fd, MsLeft(deadline))) return false;
        char c;
        ssize_t n = read(fd, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return false;
        line += c;
        if (c == '\n') return true;
    }
}

bool ReadExactly(int fd, size_t n, std::string& out, int timeoutMs) {
    out.clear();
    auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[4096];
    while (out.size() < n) {
        if (!Readable(fd, MsLeft(deadline))) return false;
        size_t want = std::min(sizeof buffer, n - out.size());
        ssize_t got = read(fd, buffer, want);
        if (got < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (got <= 0) return false;
        out.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            pollfd p{fd, POLLOUT, 0};
            poll(&p, 1, 100);
            continue;
        }
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

LoopbackListener::LoopbackListener(const char* address, uint16_t wantedPort, int receiveBuffer) {
    sockaddr_storage ss{};
    socklen_t length;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&ss);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&ss);
    if (inet_pton(AF_INET, address, &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(wantedPort);
        length = sizeof *v4;
    } else if (inet_pton(AF_INET6, address, &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(wantedPort);
        length = sizeof *v6;
    } else {
        return;
    }
    int s = socket(ss.ss_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (s < 0) return;
    int one = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (receiveBuffer > 0)
        setsockopt(s, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    if (bind(s, reinterpret_cast<sockaddr*>(&ss), length) != 0 || listen(s, 8) != 0) {
        close(s);
        return;
    }
    sockaddr_storage bound{};
    socklen_t boundLength = sizeof bound;
    getsockname(s, reinterpret_cast<sockaddr*>(&bound), &boundLength);
    port = ntohs(bound.ss_family == AF_INET ? reinterpret_cast<sockaddr_in*>(&bound)->sin_port
                                            : reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port);
    fd = s;
}

LoopbackListener::~LoopbackListener() {
    Stop();
}

void LoopbackListener::Stop() {
    if (fd >= 0) close(fd);
    fd = -1;
}

int LoopbackListener::Accept(int timeoutMs) {
    if (!Readable(fd, timeoutMs)) return -1;
    return accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
}

uint16_t UnusedPort() {
    LoopbackListener probe;
    return probe.Port(); // closed again when probe goes
}

int FindClientSocketOf(int peer) {
    sockaddr_storage peerLocal{}, peerRemote{};
    socklen_t localLength = sizeof peerLocal, remoteLength = sizeof peerRemote;
    if (getsockname(peer, reinterpret_cast<sockaddr*>(&peerLocal), &localLength) != 0 ||
        getpeername(peer, reinterpret_cast<sockaddr*>(&peerRemote), &remoteLength) != 0)
        return -1;
    for (int fd = 0; fd < 1024; ++fd) {
        if (fd == peer) continue;
        sockaddr_storage local{}, remote{};
        socklen_t l = sizeof local, r = sizeof remote;
        if (getsockname(fd, reinterpret_cast<sockaddr*>(&local), &l) != 0) continue;
        if (getpeername(fd, reinterpret_cast<sockaddr*>(&remote), &r) != 0) continue;
        if (SameAddress(local, l, peerRemote, remoteLength) &&
            SameAddress(remote, r, peerLocal, localLength))
            return fd;
    }
    return -1;
}

PtyPort::PtyPort(unsigned comNumber) {
    char tmpl[] = "/tmp/korvo-ports-XXXXXX";
    if (!mkdtemp(tmpl)) return;
    dir = tmpl;
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) return;
    char name[128];
    if (ptsname_r(master, name, sizeof name) != 0) return;
    slave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    link = dir + "/com" + std::to_string(comNumber);
    if (symlink(name, link.c_str()) != 0) {
        link.clear();
        return;
    }
    if (const char* old = std::getenv("KORVOCOMM_PORTS")) {
        hadPorts = true;
        savedPorts = old;
    }
    setenv("KORVOCOMM_PORTS", dir.c_str(), 1);
}

PtyPort::~PtyPort() {
    if (hadPorts)
        setenv("KORVOCOMM_PORTS", savedPorts.c_str(), 1);
    else
        unsetenv("KORVOCOMM_PORTS");
    if (!link.empty()) unlink(link.c_str());
    if (!dir.empty()) rmdir(dir.c_str());
    if (slave >= 0) close(slave);
    if (master >= 0) close(master);
}

LinePeer::LinePeer(int fd, int lines, Answer answer) {
    thread = std::thread([this, fd, lines, answer] {
        for (int i = 0; i < lines; ++i) {
            std::string line;
            if (!ReadLine(fd, line, 10000)) return;
            requests.push_back(line);
            if (!WriteAll(fd, answer(line))) return;
        }
    });
}

LinePeer::~LinePeer() {
    Join();
}

void LinePeer::Join() {
    if (thread.joinable()) thread.join();
}

} // namespace korvo::test
