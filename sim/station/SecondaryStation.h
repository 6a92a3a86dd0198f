// The printer's side of the RS-232 link: a secondary station that answers
// every frame of the primary with exactly one frame. UA to SNRM and DISC;
// RR (or RNR when busy) with its N(R) to polls and to information frames;
// an information frame with the printer's response when polled and it has
// one; a window of one frame in each direction. A repeated information frame
// is recognised by its N(S), or after a new set-up of the link by its bytes,
// and never taken twice, so no request runs twice.
//
// The station works on bytes only: Feed takes what came down the line and
// returns the frames to send back; the front end moves the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "sim/station/LinkFaults.h"

namespace korvo::sim {

// What the station serves: it decides where a request ends and answers it.
class StationHandler {
public:
    virtual ~StationHandler() = default;
    // True when the bytes received so far form a whole request; requests of
    // this system are lines ending in LF.
    virtual bool IsComplete(const std::string& request) const {
        return !request.empty() && request.back() == '\n';
    }
    // True when bytes begin a request line: a short name of letters, TAB,
    // REQ, then TAB or LF. No part of a request after its start looks so.
    virtual bool BeginsRequest(const std::string& bytes) const;
    // Runs one request; returns the response bytes.
    virtual std::string Execute(const std::string& request) = 0;
};

class SecondaryStation {
public:
    static constexpr size_t kRequestMax = 2500;

    SecondaryStation(uint8_t address, StationHandler& handler);

    // Takes bytes from the line; appends the answer frames (wire bytes) to
    // out. At most one answer per complete frame received.
    void Feed(const uint8_t* data, size_t length, std::string& out);
    // Drops a partly received frame (the front end calls it after a pause).
    void DropPartialFrame();

    LinkFaultPlan& Faults() { return faults; }
    uint8_t Address() const { return address; }
    bool LinkUp() const { return linkUp; }
    uint32_t FramesReceived() const { return framesReceived; }
    uint32_t InformationFramesReceived() const { return informationReceived; }
    // Called with each frame received (wire bytes from its start byte) and
    // each frame sent; for journals and recordings.
    std::function<void(bool fromPrimary, const std::string& wire)> observer;

private:
    void TakeByte(uint8_t c, std::string& out);
    void OnFrame(std::string& out);
    void Answer(uint8_t control, std::string& out);
    void AnswerInformation(std::string& out);
    void Acknowledged(uint8_t nr);
    void TakePiece(const std::string& piece, bool fresh);
    void TakeData(const std::string& data, bool mayRestart);
    void Confirmed();
    void Emit(std::string body, std::string& out);

    uint8_t address;
    StationHandler& handler;
    LinkFaultPlan faults;

    // Frame being received.
    std::string body;
    std::string rawFrame;
    bool inFrame = false;
    bool heldStart = false;
    uint32_t startRun = 0; // start bytes in a row while no frame is open

    // Link.
    bool linkUp = false;
    uint8_t vs = 0; // N(S) of our next new information frame
    uint8_t vr = 0; // N(S) expected from the primary
    uint32_t framesReceived = 0;
    uint32_t informationReceived = 0;

    // Request being received, and the guard against taking bytes twice. The
    // primary sends again from the first byte whose acknowledgement it has
    // not seen, cut into pieces anew: the CRC rule makes the cut depend on
    // N(S) and N(R). held: the primary's bytes that we have, from the first
    // byte of the last information frame received on; heldFrame: how many
    // that frame carried.
    std::string request;
    // Where in request the first frame after a new set-up began, 0 for none.
    size_t joinedAt = 0;
    std::string held;
    size_t heldFrame = 0;
    // How many bytes the last information frame taken carried; a repeat of
    // it knows them, whatever a poll let go.
    size_t lastFrame = 0;
    // No information frame since the last set-up: sequence numbers started
    // again, so whether the primary saw our last acknowledgement can only be
    // told by the bytes it sends.
    bool firstAfterSetUp = false;
    // After a set-up the first poll gets RR, not data: the primary may still
    // hold a message whose acknowledgement it lost, and it sends only after RR.
    bool offeredAfterSetUp = false;

    // Response: bytes not yet sent, and the frame in flight.
    std::string pending;
    std::string inFlight;
    bool hasInFlight = false;
};

} // namespace korvo::sim
