// A transport for tests: records what is sent, hands out scripted chunks (one
// chunk per Receive, each from a given tick on), and can be told to fail
// Open, Send or Receive, or to report a broken link.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "transport/INetworkLayer.h"

namespace korvo::test {

class ScriptedTransport : public INetworkLayer {
public:
    // Behaviour.
    int32_t openResult = 0;
    int32_t sendResult = 0;
    int32_t receiveResult = 0; // non-zero: Receive returns it instead of data
    bool failed = false;
    int32_t failureCode = 0;
    uint32_t extraResponseTime = 0;
    int32_t dnsOption = -1; // -1: the option does not exist here
    // Called with each request that Send accepts; may queue chunks.
    std::function<void(const std::string& request)> onSend;

    // Record.
    std::vector<std::string> sent;
    int opens = 0, closes = 0, purges = 0, endReceives = 0, receives = 0;
    std::vector<uint32_t> transferTimes;
    std::vector<std::pair<int32_t, uint32_t>> options;
    bool destroyed = false;

    // Queues a chunk that becomes available at tick `at` (now by default).
    void Deliver(const std::string& bytes);
    void DeliverAt(uint32_t at, const std::string& bytes);
    // Answers every request with the given chunks (split as given).
    void AnswerEach(std::function<std::vector<std::string>(const std::string& request)> answer);
    size_t Pending() const { return chunks.size(); }

    int32_t Open() override;
    int32_t Close() override;
    int32_t Send(const uint8_t* data, uint32_t length) override;
    int32_t Receive(uint8_t* buffer, uint32_t capacity) override;
    uint32_t BytesAvailable() override;
    void PurgeReceive() override;
    void EndReceive() override { ++endReceives; }
    bool HasFailed() override { return failed; }
    int32_t GetFailureCode() override { return failureCode; }
    bool SetTransferTime(uint32_t ms) override;
    uint32_t GetExtraResponseTime() override { return extraResponseTime; }
    bool SetOption(int32_t id, uint32_t value) override;
    int32_t GetOption(int32_t id) override;

private:
    struct Chunk {
        uint32_t at;
        std::string bytes;
    };
    std::deque<Chunk> chunks;
};

// "NAME\tRSP\tCODE[\tVALUES]\n" for the short name of a request line.
std::string ResponseTo(const std::string& request, int32_t code, const char* values = nullptr);

} // namespace korvo::test
