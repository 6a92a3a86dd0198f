#include "RawClient.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

namespace korvo::sim::test {

RawClient::~RawClient() {
    Close();
}

void RawClient::Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    pending.clear();
    closed = false;
}

bool RawClient::ConnectTcp(const char* address, uint16_t port) {
    Close();
    bool v6 = std::string(address).find(':') != std::string::npos;
    fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    int r;
    if (v6) {
        sockaddr_in6 a{};
        a.sin6_family = AF_INET6;
        a.sin6_port = htons(port);
        inet_pton(AF_INET6, address, &a.sin6_addr);
        r = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    } else {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        inet_pton(AF_INET, address, &a.sin_addr);
        r = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    }
    return r == 0;
}

bool RawClient::OpenDevice(const std::string& path) {
    Close();
    fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        ::cfmakeraw(&t);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    return true;
}

bool RawClient::Send(const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK) n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool RawClient::Fill(int timeoutMs) {
    if (fd < 0 || closed) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    char buffer[4096];
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) {
        closed = true; // end of stream, reset, or a pseudo-terminal gone (EIO)
        return false;
    }
    pending.append(buffer, static_cast<size_t>(n));
    return true;
}

std::string RawClient::ReadLine(int timeoutMs) {
    for (;;) {
        size_t lf = pending.find('\n');
        if (lf != std::string::npos) {
            std::string line = pending.substr(0, lf + 1);
            pending.erase(0, lf + 1);
            return line;
        }
        if (!Fill(timeoutMs)) return "";
    }
}

std::string RawClient::ReadUntilClosed(int timeoutMs) {
    while (Fill(timeoutMs)) {
    }
    std::string all;
    all.swap(pending);
    return all;
}

std::string RawClient::DrainAvailable() {
    while (Fill(0)) {
    }
    std::string all;
    all.swap(pending);
    return all;
}

std::string RawClient::Exchange(const std::string& line, int timeoutMs) {
    if (!Send(line + "\n")) return "";
    return ReadLine(timeoutMs);
}

} // namespace korvo::sim::test
