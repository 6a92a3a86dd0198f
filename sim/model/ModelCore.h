// What every part of the printer model shares: the paper, the settings, the
// document in progress with the fiscal records, the event log and the
// values of the answer being built, with the checks and printing steps that
// receipts, settings and reports all use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/model/FiscalRecords.h"
#include "sim/model/PrinterSettings.h"
#include "sim/model/Reply.h"
#include "sim/records/PaperRoll.h"

namespace korvo::sim {

class ModelCore {
public:
    // Local civil time of the host in seconds (see CivilTime.h).
    using HostClock = int64_t (*)();

    ModelCore();
    ModelCore(const ModelCore&) = delete;
    ModelCore& operator=(const ModelCore&) = delete;

    // The printer's own date and time: the host's, moved by setDate.
    int64_t Now() const;
    // Milliseconds since the printer started, for the log.
    uint32_t TickMs() const;

    // Answer values, kept apart until the result code is known.
    void ClearValues() { valuesLength = 0; }
    void Value(const char* text);
    void ValueInteger(int64_t value);
    void ValueMoney(int64_t thousandths);
    void ValueDateTime(int64_t seconds);

    // A field that does not read is 405 when it was left empty and 401 otherwise.
    static int32_t BadField(const char* field);
    // Why the printer cannot print now (cover open, no paper), or 0.
    int32_t PrinterFault() const;
    bool InReceipt() const;
    bool CashReceipt() const;
    int32_t VatIndex(const char* field) const;     // 0-based, or -1
    int32_t PaymentIndex(const char* field) const; // 0-based, or -1 (unused ones too)
    // Printable text of at most one paper line.
    bool ItemText(const char* text) const;
    int64_t CashInDrawer() const;
    // What a service request counts (days since the service, receipts), and
    // whether one that is due and not affirmed blocks new documents.
    int64_t InspectionMonitored(int index) const;
    bool InspectionBlocks() const;

    void AddLog(const char* text);
    void NoteTransaction(const char* id, int32_t status);

    void StartDocument();
    void EndDocument(bool cut);
    void PrintHeader();
    void PrintTrailer();
    // text and the amount on one line, with the VAT letter when vat >= 0.
    void PrintAmountLine(const char* text, int64_t amount, int vat);

    HostClock hostClock;
    PaperRoll paper;
    PrinterSettings settings;
    DocumentState state = DocumentState::Idle;
    bool training = false;
    Receipt receipt{};
    Totals daily{};
    Totals grand{};
    Counters counters{};
    RegisteredReceipt lastReceipt{};
    RegisteredLocation lastLocation{};
    Transaction transactions[kTransactions]{};
    int nextTransaction = 0;
    LogRecord log[kLogRecords]{};
    uint32_t nextLogId = 1;
    int64_t startTime = 0;
    bool restartAfterReply = false; // the printer restarts once it has answered

    char values[Reply::kCapacity];
    size_t valuesLength = 0;
    char customerEmail[65] = {}; // of the open receipt
    std::string lastReceiptText; // for duplicates
};

} // namespace korvo::sim
