// The far end of a connection under test, played with plain POSIX calls: a
// loopback TCP listener, a pseudo-terminal that stands in for a COM port, and
// a thread that answers request lines the way a printer does.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace korvo::test {

// Reads until a line end, at most timeoutMs in all. False on time-out, error
// or end of data (what arrived stays in line).
bool ReadLine(int fd, std::string& line, int timeoutMs = 5000);
// Reads exactly n bytes, at most timeoutMs in all.
bool ReadExactly(int fd, size_t n, std::string& out, int timeoutMs = 5000);
bool WriteAll(int fd, const std::string& bytes);
// True when fd has something to read (or a connection to accept) within
// timeoutMs.
bool Readable(int fd, int timeoutMs);

// A listening TCP socket on a loopback address.
class LoopbackListener {
public:
    // port 0 picks a free one. receiveBuffer > 0 sets SO_RCVBUF, which the
    // accepted connections inherit.
    explicit LoopbackListener(const char* address = "127.0.0.1", uint16_t port = 0,
                              int receiveBuffer = 0);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    bool ok() const { return fd >= 0; }
    uint16_t Port() const { return port; }
    // Accepts one connection (fd, or -1 after timeoutMs).
    int Accept(int timeoutMs = 5000);
    // A connection is waiting to be accepted.
    bool HasPendingConnection() { return Readable(fd, 0); }
    void Stop();

private:
    int fd = -1;
    uint16_t port = 0;
};

// A port on 127.0.0.1 with nobody listening.
uint16_t UnusedPort();

// The descriptor in this process that holds the other end of the accepted
// connection peer (our client socket), or -1.
int FindClientSocketOf(int peer);

// A pseudo-terminal whose slave is linked as <dir>/com<n> in a temporary
// directory that KORVOCOMM_PORTS names while the object lives. The object
// keeps a slave descriptor open so that the terminal's settings can be read
// and the master never sees a hang-up between openers.
class PtyPort {
public:
    explicit PtyPort(unsigned comNumber);
    ~PtyPort();
    PtyPort(const PtyPort&) = delete;
    PtyPort& operator=(const PtyPort&) = delete;

    bool ok() const { return master >= 0 && slave >= 0; }
    int Master() const { return master; }
    int Slave() const { return slave; }
    const std::string& Directory() const { return dir; }

private:
    int master = -1;
    int slave = -1;
    std::string dir;
    std::string link;
    std::string savedPorts;
    bool hadPorts = false;
};

// Answers request lines on fd with answer(request) until `lines` requests
// were answered, the far end closes, or nothing comes for 10 s. Records the
// requests exactly as they arrived (with their line ends).
class LinePeer {
public:
    using Answer = std::function<std::string(const std::string& request)>;
    LinePeer(int fd, int lines, Answer answer);
    ~LinePeer(); // joins
    void Join();
    std::vector<std::string> requests;

private:
    std::thread thread;
};

} // namespace korvo::test
