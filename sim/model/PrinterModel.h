// The printer behind the line protocol: one request line in, one response
// line out. It checks requests, keeps the session and hands each command to
// its part: receipts, settings, or other documents and reports. Front ends
// (TCP, pseudo-terminal, the RS-232 secondary station) hand it complete lines
// and send back what it answers; it knows nothing of connections beyond a
// number that tells them apart.
//
// Not thread-safe: the owner serialises calls.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sim/model/DocumentCommands.h"
#include "sim/model/ModelCore.h"
#include "sim/model/ReceiptCommands.h"
#include "sim/model/Reply.h"
#include "sim/model/RequestLine.h"
#include "sim/model/SettingCommands.h"

namespace korvo::sim {

class StateVisitor;

class PrinterModel {
public:
    using HostClock = ModelCore::HostClock;

    PrinterModel();
    PrinterModel(const PrinterModel&) = delete;
    PrinterModel& operator=(const PrinterModel&) = delete;

    // Handles one request line (without its LF; line[length] must be writable,
    // the line is split in place). Always fills reply with exactly one line.
    void Handle(uint32_t connection, char* line, size_t length, Reply& reply);

    // The answer to a request line that was too long to take: 402, echoing
    // its name when head (the line's first bytes) shows one.
    static void AnswerTooLong(const char* head, size_t length, Reply& reply);

    // "NAME\tRSP\tCODE\n", for answers forced without executing anything.
    static void AnswerCode(const char* name, int32_t code, Reply& reply);

    // The short name a reply should echo for a raw request line: its first
    // field, when it is a plausible name; "" otherwise.
    static void EchoName(const char* line, size_t length, char* name, size_t size);

    void SetHostClock(HostClock clock) { core.hostClock = clock; }
    // The printer's own date and time: the host's, moved by setDate.
    int64_t Now() const;

    PaperRoll& Paper() { return core.paper; }
    const PaperRoll& Paper() const { return core.paper; }

    PrinterSettings& Settings() { return core.settings; }
    const PrinterSettings& Settings() const { return core.settings; }
    DocumentState State() const { return core.state; }
    bool Training() const { return core.training; }
    const Receipt& CurrentReceipt() const { return core.receipt; }
    const Totals& Daily() const { return core.daily; }
    const Totals& Grand() const { return core.grand; }
    const Counters& DocumentCounters() const { return core.counters; }
    const RegisteredReceipt& LastReceipt() const { return core.lastReceipt; }
    bool SessionOpen() const { return sessionOwner != 0; }

    // True when something worth saving changed since the last call.
    bool TakeChanged();
    // Every persistent value under its name (state file).
    void VisitState(StateVisitor& visitor);

private:
    using Handler = int32_t (*)(PrinterModel&, const RequestLine&);
    struct Rule {
        const char* shortName;
        Handler handler;
        uint16_t workMs;
        bool changes; // may change persistent state
        bool prints;  // needs paper and a closed cover
    };
    static const Rule kRules[];
    static const Rule* FindRule(const char* shortName);
    // A command of one of the parts, as a rule's handler.
    template <auto Part, auto Command> static int32_t Run(PrinterModel& m, const RequestLine& r) {
        return ((m.*Part).*Command)(r);
    }

    // Session.
    int32_t Connect(uint32_t connection);
    int32_t Disconnect(uint32_t connection);

    ModelCore core;
    ReceiptCommands receipts;
    SettingCommands setup;
    DocumentCommands documents;
    uint32_t sessionOwner = 0;
    bool changed = false;
};

} // namespace korvo::sim
