// A bare line client for the simulator's front ends: a loopback TCP socket or
// a pseudo-terminal opened through its symlink. No part of the kit is used,
// so the front ends are tested on their own.
#pragma once

#include <cstdint>
#include <string>

namespace korvo::sim::test {

class RawClient {
public:
    RawClient() = default;
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool ConnectTcp(const char* address, uint16_t port);
    bool OpenDevice(const std::string& path);
    void Close();

    bool Send(const std::string& bytes);
    // The next line with its LF; "" when none completes within timeoutMs.
    std::string ReadLine(int timeoutMs = 5000);
    // Whatever arrives until the peer closes or timeoutMs passes quietly.
    std::string ReadUntilClosed(int timeoutMs = 5000);
    bool PeerClosed() const { return closed; }
    // Reads whatever has arrived already, without waiting; returns it.
    std::string DrainAvailable();
    // Sends line + LF and returns the response line.
    std::string Exchange(const std::string& line, int timeoutMs = 5000);

private:
    bool Fill(int timeoutMs);

    int fd = -1;
    bool closed = false;
    std::string pending;
};

} // namespace korvo::sim::test
