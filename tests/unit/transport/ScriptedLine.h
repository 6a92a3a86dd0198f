// A serial line in memory, seen from the primary station. Every Send is one
// frame of the primary; an answerer, run on the sending thread, returns the
// raw bytes the secondary puts on the line in reply, which are there at once.
// Bytes can also be put on the line directly, from a given tick on. The line
// models a driver queue: BytesAvailable counts every byte that has arrived.
// Shared safely by the link thread and the test.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "HexBytes.h"
#include "transport/INetworkLayer.h"
#include "transport/SerialLinkState.h"

namespace korvo::test {

class ScriptedLine {
public:
    using Answerer = std::function<std::string(const std::string& frame)>;

    void Answer(Answerer answerer);
    // Bytes that arrive at tick `at` (or now).
    void Put(const std::string& bytes);
    void PutAt(uint32_t at, const std::string& bytes);

    // The primary's frames, wire bytes, in order.
    std::vector<std::string> Frames() const;
    // Both directions in order: "L>P AA 02 ..." and "P>L AA 01 ...".
    std::vector<std::string> Log() const;
    size_t Queued() const;
    int Receives() const;

    void SetOpenResult(int32_t code);
    // The next n sends fail with code.
    void FailSends(int n, int32_t code);
    // While blocked, a Send waits (the way a write to a stalled port does).
    void BlockSends(bool on);
    bool SendIsBlocked() const;

    int LiveLinks() const;
    int Opens() const;
    int Closes() const;

    // A physical link on this line; the line must outlive it.
    std::unique_ptr<INetworkLayer> NewLink();
    LinkFactory Factory();

private:
    friend class LineLink;
    int32_t LinkOpen();
    void LinkClose();
    int32_t LinkSend(const uint8_t* data, uint32_t length);
    int32_t LinkReceive(uint8_t* buffer, uint32_t capacity);
    uint32_t LinkAvailable();
    void LinkPurge();
    uint32_t ArrivedLocked() const;

    struct Chunk {
        uint32_t at;
        std::string bytes;
    };
    mutable std::mutex m;
    std::condition_variable unblocked;
    Answerer answerer;
    std::vector<Chunk> chunks;
    std::vector<std::string> frames;
    std::vector<std::string> log;
    int32_t openResult = 0;
    int failSends = 0;
    int32_t failCode = 0;
    bool blockSends = false;
    bool sendBlocked = false;
    int liveLinks = 0;
    int opens = 0;
    int closes = 0;
    int receives = 0;
};

} // namespace korvo::test
