// What the plain byte-pipe transports (a COM port, a TCP connection) do
// alike: no framing of their own, a purge that reads until nothing is left,
// the transfer time kept for the response time limit, and no failure state
// and no options unless the transport says otherwise. It overrides only what
// INetworkLayer declares, so the slot order stays.
#pragma once

#include <cstdint>

#include "transport/INetworkLayer.h"

namespace korvo {

class CBytePipeLayer : public INetworkLayer {
public:
    // Reads and drops what Receive delivers until it delivers nothing.
    void PurgeReceive() override;
    void EndReceive() override {}
    bool HasFailed() override { return false; }
    int32_t GetFailureCode() override { return 0; }
    bool SetTransferTime(uint32_t milliseconds) override;
    uint32_t GetExtraResponseTime() override { return 2 * transferTime; }
    bool SetOption(int32_t, uint32_t) override { return false; }
    int32_t GetOption(int32_t) override { return -1; }

protected:
    explicit CBytePipeLayer(uint32_t initialTransferTime) : transferTime(initialTransferTime) {}

private:
    uint32_t transferTime;
};

} // namespace korvo
