// Faults that the simulator's RS-232 secondary station can be told to make,
// to show how the primary recovers. Each fault starts at a trigger (the n-th
// frame received, or the n-th information frame received) and then applies
// to a number of frames in a row.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace korvo::sim {

enum class LinkFaultKind : uint8_t {
    Silence,      // frames received are ignored: neither taken in nor answered
    Lose,         // frames are taken in, the answer is lost on the line
    CorruptCrc,   // the answer goes out with a wrong CRC
    Busy,         // every frame is answered with RNR and no data is taken
    Reject,       // every frame is answered with FRMR and not taken in
    WrongAddress, // the answer carries another station's address
    WrongSequence // the answer carries a wrong N(S) (I frames) or N(R)
};

struct LinkFault {
    LinkFaultKind kind = LinkFaultKind::Silence;
    uint32_t count = 1;
    bool onInformation = false; // trigger counts information frames only
    uint32_t trigger = 0;       // 1-based; 0 = the next frame
    // State.
    bool active = false;
    bool spent = false;
    uint32_t left = 0;
};

// "KIND[:COUNT][@[i]N]", KIND one of silence, lose, crc, rnr, frmr, addr,
// seq. "lose:2@i3": the answers to the third information frame and the frame
// after it are lost. False for anything else.
bool ParseLinkFault(const char* text, LinkFault& fault);

class LinkFaultPlan {
public:
    void Add(const LinkFault& fault) { faults.push_back(fault); }
    void Clear() { faults.clear(); }
    bool Empty() const { return faults.empty(); }

    // Called once per frame received (after counting it): starts the faults
    // whose trigger has come.
    void OnFrame(uint32_t frameNumber, uint32_t informationNumber);
    // Consumes one frame's worth of the first active fault of this kind.
    bool Take(LinkFaultKind kind);

private:
    std::vector<LinkFault> faults;
};

} // namespace korvo::sim
