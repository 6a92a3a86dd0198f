#include "sim/station/SecondaryStation.h"

#include <cctype>

#include "transport/Crc16.h"
#include "transport/LinkFrameFormat.h"

namespace korvo::sim {

namespace {

uint16_t CrcOf(const std::string& bytes, size_t length) {
    return Crc16(reinterpret_cast<const uint8_t*>(bytes.data()), static_cast<uint32_t>(length));
}

uint8_t At(const std::string& bytes, size_t i) {
    return static_cast<uint8_t>(bytes[i]);
}

// The shorter of the two is where the longer begins.
bool Agree(const std::string& a, const std::string& b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    return a.compare(0, n, b, 0, n) == 0;
}

} // namespace

bool StationHandler::BeginsRequest(const std::string& bytes) const {
    size_t name = 0;
    while (name < bytes.size() && std::isalpha(static_cast<unsigned char>(bytes[name])))
        ++name;
    if (name == 0 || bytes.compare(name, 4, "\tREQ") != 0 || bytes.size() <= name + 4) return false;
    return bytes[name + 4] == '\t' || bytes[name + 4] == '\n';
}

SecondaryStation::SecondaryStation(uint8_t stationAddress, StationHandler& h)
    : address(stationAddress), handler(h) {}

void SecondaryStation::Feed(const uint8_t* data, size_t length, std::string& out) {
    for (size_t i = 0; i < length; ++i)
        TakeByte(data[i], out);
}

void SecondaryStation::DropPartialFrame() {
    inFrame = false;
    heldStart = false;
    startRun = 0;
    body.clear();
    rawFrame.clear();
}

void SecondaryStation::TakeByte(uint8_t c, std::string& out) {
    if (!inFrame) {
        if (c == kFrameStart) {
            ++startRun;
            return;
        }
        if (startRun == 0) return; // garbage between frames
        // A run of start bytes ends: its last odd one starts the frame, the
        // pairs after it are doubled body bytes (a station address of 0xAA),
        // and a lone extra one in front is garbage: "AA AA 01" starts with 01,
        // "AA AA AA 01" with AA 01.
        uint32_t doubled = (startRun - 1) / 2;
        inFrame = true;
        body.assign(doubled, static_cast<char>(kFrameStart));
        body.push_back(static_cast<char>(c));
        rawFrame.assign(1 + 2 * doubled, static_cast<char>(kFrameStart));
        rawFrame.push_back(static_cast<char>(c));
        startRun = 0;
        return;
    }
    rawFrame.push_back(static_cast<char>(c));
    if (heldStart) {
        heldStart = false;
        if (c == kFrameStart) {
            body.push_back(static_cast<char>(c));
        } else {
            // A lone start byte: the frame so far was cut off, a new one begins.
            body.assign(1, static_cast<char>(c));
            rawFrame.assign(1, static_cast<char>(kFrameStart));
            rawFrame.push_back(static_cast<char>(c));
        }
    } else if (c == kFrameStart) {
        heldStart = true;
        return;
    } else {
        body.push_back(static_cast<char>(c));
    }

    if (body.size() < 3) return;
    size_t need = kFrameHead;
    if (IsInformationControl(At(body, 2))) {
        if (body.size() < 4) return;
        uint8_t length = At(body, 3);
        if (length < 2 || length > kFrameDataMax + 1) {
            DropPartialFrame();
            return;
        }
        need = length + kFrameHead;
    }
    if (body.size() < need) return;
    OnFrame(out);
    DropPartialFrame();
}

void SecondaryStation::OnFrame(std::string& out) {
    // Frames for other stations, and damaged ones, get no answer.
    if (At(body, 0) != address || At(body, 1) != kPrimaryAddress) return;
    size_t crcAt = body.size() - 2;
    if (CrcOf(body, crcAt) != (At(body, crcAt) | At(body, crcAt + 1) << 8)) return;

    const uint8_t control = At(body, 2);
    const bool information = IsInformationControl(control);
    ++framesReceived;
    if (information) ++informationReceived;
    if (observer) observer(true, rawFrame);
    faults.OnFrame(framesReceived, informationReceived);
    if (faults.Take(LinkFaultKind::Silence)) return;

    if (faults.Take(LinkFaultKind::Reject)) {
        linkUp = false;
        Answer(kCtrlFRMR, out);
        return;
    }
    if (control == kCtrlSNRM) {
        linkUp = true;
        vs = vr = 0;
        firstAfterSetUp = true;
        offeredAfterSetUp = false;
        Answer(kCtrlUA, out);
        return;
    }
    if (control == kCtrlDISC) {
        linkUp = false;
        Answer(kCtrlUA, out);
        return;
    }
    if (!linkUp || !(information || IsSupervisoryControl(control))) {
        // Not set up, or a frame we do not know: the primary must set the
        // link up again.
        Answer(kCtrlFRMR, out);
        return;
    }

    Acknowledged(ReceiveSequence(control));
    if (faults.Take(LinkFaultKind::Busy)) {
        Answer(SupervisoryControl(kCtrlRNR, vr), out);
        return;
    }
    if (information) {
        uint8_t ns = SendSequence(control);
        std::string piece(body, 4, At(body, 3) - 1u);
        if (ns == vr) {
            TakePiece(piece, true);
            vr = NextSequence(vr);
        } else if (!firstAfterSetUp && ns == PreviousSequence(vr)) {
            // The frame taken last, again: our acknowledgement was lost.
            TakePiece(piece, false);
        }
        // Anything else keeps our N(R), and the primary sets the link up.
        firstAfterSetUp = false;
        offeredAfterSetUp = true;
        Answer(SupervisoryControl(kCtrlRR, vr), out);
        return;
    }
    // A poll. Outside a new set-up it also shows that our last
    // acknowledgement arrived (else the primary would repeat its frame).
    if (!firstAfterSetUp) Confirmed();
    bool offer = !offeredAfterSetUp;
    offeredAfterSetUp = true;
    if ((control & 0x1F) == kCtrlRR && !offer && (hasInFlight || !pending.empty()))
        AnswerInformation(out);
    else
        Answer(SupervisoryControl(kCtrlRR, vr), out);
}

void SecondaryStation::Acknowledged(uint8_t nr) {
    if (hasInFlight && nr == NextSequence(vs)) {
        vs = nr;
        hasInFlight = false;
        inFlight.clear();
    }
}

void SecondaryStation::Confirmed() {
    held.erase(0, heldFrame < held.size() ? heldFrame : held.size());
    heldFrame = 0;
}

void SecondaryStation::TakePiece(const std::string& piece, bool fresh) {
    if (!fresh) {
        // The frame taken last, again. It starts where that frame did; sent
        // with another N(R) it may be cut longer, and only the bytes beyond
        // the first one's are new. A poll before it may have let the held
        // bytes go: they are held again.
        if (held.size() < piece.size() || !Agree(piece, held)) held = piece;
        heldFrame = piece.size();
        if (piece.size() <= lastFrame) return;
        size_t known = lastFrame;
        lastFrame = piece.size();
        TakeData(piece.substr(known), false);
        return;
    }
    // A fresh frame starts after the last one, whose acknowledgement the
    // primary has seen. Across a new set-up only the bytes can tell: a piece
    // that agrees with what we hold is taken for a repeat, so that a request
    // never runs twice.
    if (!(firstAfterSetUp && Agree(piece, held))) Confirmed();
    if (!Agree(piece, held)) held.clear();
    size_t known = piece.size() < held.size() ? piece.size() : held.size();
    if (held.size() < piece.size()) held = piece;
    heldFrame = lastFrame = piece.size();
    if (known == piece.size()) return;
    // The message sent again from its first byte (after RNR answers)
    // replaces the part taken before.
    TakeData(piece.substr(known), firstAfterSetUp && known == 0);
}

void SecondaryStation::TakeData(const std::string& data, bool mayRestart) {
    if (mayRestart && !request.empty()) {
        if (Agree(data, request))
            request.clear();
        else
            joinedAt = request.size();
    }
    // A request that never ends would block the line; it is dropped.
    if (request.size() + data.size() > kRequestMax) {
        request.clear();
        joinedAt = 0;
    }
    request += data;
    if (!handler.IsComplete(request)) return;
    // The part before the new set-up is what is left of a request that the
    // primary gave up after some of it went out, when a request line begins
    // after it: the primary goes on after a set-up with the first byte not
    // acknowledged, which is never the start of a line unless it is a new one.
    if (joinedAt != 0 && handler.BeginsRequest(request.substr(joinedAt))) request.erase(0, joinedAt);
    joinedAt = 0;
    std::string response = handler.Execute(request);
    request.clear();
    // What was not sent yet of an older response belongs to a request that
    // its sender has given up on. The frame in flight stays: the primary may
    // have it already, its acknowledgement still on the way, and its N(S)
    // must not carry other bytes, or the new response is taken for its repeat.
    pending = std::move(response);
}

void SecondaryStation::Answer(uint8_t control, std::string& out) {
    std::string frame;
    frame.push_back(static_cast<char>(kPrimaryAddress));
    frame.push_back(static_cast<char>(address));
    frame.push_back(static_cast<char>(control));
    Emit(std::move(frame), out);
}

void SecondaryStation::AnswerInformation(std::string& out) {
    if (!hasInFlight) {
        size_t n = pending.size() < kFrameDataMax ? pending.size() : kFrameDataMax;
        inFlight = pending.substr(0, n);
        pending.erase(0, n);
        hasInFlight = true;
    }
    std::string frame;
    frame.push_back(static_cast<char>(kPrimaryAddress));
    frame.push_back(static_cast<char>(address));
    frame.push_back(static_cast<char>(InformationControl(vs, vr)));
    frame.push_back(static_cast<char>(inFlight.size() + 1));
    frame += inFlight;
    Emit(std::move(frame), out);
}

void SecondaryStation::Emit(std::string frame, std::string& out) {
    if (faults.Take(LinkFaultKind::WrongAddress))
        frame[1] = static_cast<char>(address == 0xFF ? 0xFE : address + 1);
    uint8_t numbered = At(frame, 2);
    if ((IsInformationControl(numbered) || IsSupervisoryControl(numbered)) &&
        faults.Take(LinkFaultKind::WrongSequence)) {
        uint8_t control = numbered;
        // Three ahead: neither the expected number nor a repeat.
        control = IsInformationControl(control)
                      ? InformationControl(static_cast<uint8_t>(SendSequence(control) + 3),
                                           ReceiveSequence(control))
                      : SupervisoryControl(control & 0x1F,
                                           static_cast<uint8_t>(ReceiveSequence(control) + 3));
        frame[2] = static_cast<char>(control);
    }
    uint16_t crc = CrcOf(frame, frame.size());
    if (faults.Take(LinkFaultKind::CorruptCrc)) crc ^= 0x0101;
    frame.push_back(static_cast<char>(crc & 0xFF));
    frame.push_back(static_cast<char>(crc >> 8));

    std::string wire(1, static_cast<char>(kFrameStart));
    for (char c : frame) {
        wire.push_back(c);
        if (static_cast<uint8_t>(c) == kFrameStart) wire.push_back(c);
    }
    if (observer) observer(false, wire);
    if (faults.Take(LinkFaultKind::Lose)) return;
    out += wire;
}

} // namespace korvo::sim
