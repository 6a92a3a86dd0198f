// The link frames of the RS-232 link, both ways: frames from the printer as
// the primary station receives them (bytes delivered whole or in pieces), and
// information frames the primary builds from the same bytes, read back off
// the wire.
//
// Input: the printer's address byte, a delivery size byte (0: all at once),
// then the line's bytes.
#include <cstring>
#include <string>

#include "FastClock.h"
#include "FuzzTarget.h"
#include "ScriptedTransport.h"
#include "transport/Crc16.h"
#include "transport/LinkFrames.h"

namespace {

using namespace korvo;
using korvo::fuzz::Fail;

void CheckReceived(const LinkFrames& frames, int32_t result) {
    if (result != 0) return;
    switch (frames.linkState) {
    case kCtrlI:
        if (frames.frameBuffer[3] < 2 || frames.frameBuffer[3] > kFrameDataMax + 1)
            Fail("information frame taken with a length out of range");
        break;
    case kCtrlRR:
    case kCtrlRNR:
    case kCtrlUA:
    case kCtrlFRMR:
        break;
    default:
        Fail("frame taken with an unknown link state");
    }
    if (frames.peerAckSeq > 7 || frames.peerSendSeq > 7) Fail("sequence number beyond 7");
}

// The wire bytes of one frame back to its body; fails on a lone start byte.
std::string Unescape(const std::string& wire) {
    if (wire.empty() || static_cast<uint8_t>(wire[0]) != kFrameStart) Fail("frame without start byte");
    std::string body;
    for (size_t i = 1; i < wire.size(); ++i) {
        body.push_back(wire[i]);
        if (static_cast<uint8_t>(wire[i]) != kFrameStart) continue;
        if (i + 1 >= wire.size() || static_cast<uint8_t>(wire[i + 1]) != kFrameStart)
            Fail("start byte inside a frame not doubled");
        ++i;
    }
    return body;
}

void CheckSent(const std::string& data, uint8_t address) {
    test::ScriptedTransport transport;
    LinkFrames frames(address, 9600);
    frames.link = &transport;
    frames.sendSeq = static_cast<uint8_t>(data.size() & 7);
    frames.recvSeq = static_cast<uint8_t>((data.size() >> 3) & 7);
    uint32_t piece = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(data.data());
    if (frames.SendInformation(bytes, static_cast<uint32_t>(data.size()), piece) != 0)
        Fail("information frame not sent");
    const uint32_t most = data.size() < kFrameDataMax ? static_cast<uint32_t>(data.size()) : kFrameDataMax;
    if (piece > most || (most > 0 && piece == 0)) Fail("piece size out of range");
    if (transport.sent.size() != 1) Fail("not exactly one frame written");

    std::string body = Unescape(transport.sent[0]);
    if (body.size() != piece + 6) Fail("frame body length");
    const auto* b = reinterpret_cast<const uint8_t*>(body.data());
    if (b[0] != address || b[1] != kPrimaryAddress) Fail("frame addresses");
    if (b[2] != InformationControl(frames.sendSeq, frames.recvSeq)) Fail("control byte");
    if (b[3] != piece + 1) Fail("length byte");
    if (std::memcmp(b + 4, bytes, piece) != 0) Fail("data bytes");
    uint16_t crc = Crc16(b, piece + 4);
    if (b[piece + 4] != (crc & 0xFF) || b[piece + 5] != (crc >> 8)) Fail("CRC");
    // A CRC holding the start byte is only sent when no shorter piece avoids it.
    if ((b[piece + 4] == kFrameStart || b[piece + 5] == kFrameStart) && piece != most)
        Fail("piece not shortened to keep the start byte out of its CRC");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    korvo::fuzz::FuzzInput in(data, size);
    const uint8_t address = static_cast<uint8_t>(2 + in.TakeByte() % 254);
    const size_t piece = in.TakeByte();
    const std::string line = in.Rest();

    {
        korvo::fuzz::FastClock clock;
        test::ScriptedTransport transport;
        for (size_t at = 0; at < line.size(); at += piece ? piece : line.size())
            transport.Deliver(line.substr(at, piece ? piece : line.size()));
        LinkFrames frames(address, 115200);
        frames.link = &transport;
        for (int i = 0; i < 64 && transport.Pending() > 0; ++i) CheckReceived(frames, frames.ReceiveFrame());
    }
    CheckSent(line, address);
    return 0;
}
