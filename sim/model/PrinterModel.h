// The printer behind the line protocol: one request line in, one response
// line out. Front ends (TCP, pseudo-terminal, the RS-232 secondary station)
// hand it complete lines and send back what it answers; it knows nothing of
// connections beyond a number that tells them apart.
//
// Not thread-safe: the owner serialises calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/model/FiscalRecords.h"
#include "sim/model/PrinterSettings.h"
#include "sim/model/Reply.h"
#include "sim/model/RequestLine.h"
#include "sim/records/PaperRoll.h"

namespace korvo::sim {

class StateVisitor;

class PrinterModel {
public:
    // Local civil time of the host in seconds (see CivilTime.h).
    using HostClock = int64_t (*)();

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

    void SetHostClock(HostClock clock) { hostClock = clock; }
    // The printer's own date and time: the host's, moved by setDate.
    int64_t Now() const;

    PaperRoll& Paper() { return paper; }
    const PaperRoll& Paper() const { return paper; }

    PrinterSettings& Settings() { return settings; }
    const PrinterSettings& Settings() const { return settings; }
    DocumentState State() const { return state; }
    bool Training() const { return training; }
    const Receipt& CurrentReceipt() const { return receipt; }
    const Totals& Daily() const { return daily; }
    const Totals& Grand() const { return grand; }
    const Counters& DocumentCounters() const { return counters; }
    const RegisteredReceipt& LastReceipt() const { return lastReceipt; }
    bool SessionOpen() const { return sessionOwner != 0; }

    // True when something worth saving changed since the last call.
    bool TakeChanged();
    // Every persistent value under its name (state file).
    void VisitState(StateVisitor& visitor);

private:
    using Handler = int32_t (PrinterModel::*)(const RequestLine&);
    struct Rule {
        const char* shortName;
        Handler handler;
        uint16_t workMs;
        bool changes; // may change persistent state
        bool prints;  // needs paper and a closed cover
    };
    static const Rule kRules[];
    static const Rule* FindRule(const char* shortName);

    // Reply building: values are kept apart until the code is known.
    void Value(const char* text);
    void ValueInteger(int64_t value);
    void ValueMoney(int64_t thousandths);
    void ValueDateTime(int64_t seconds);

    // Shared checks and helpers. A field that does not read is 405 when it
    // was left empty and 401 otherwise.
    static int32_t BadField(const char* field);
    int32_t PrinterFault() const;
    bool InReceipt() const;
    bool CashReceipt() const;
    int32_t VatIndex(const char* field) const; // 0-based, or -1
    int32_t ReadVat(const char* vatField, const char* regulation, int32_t& vat) const;
    int32_t SaleBodyState() const;
    int32_t PaymentIndex(const char* field) const;
    bool ItemText(const char* text) const;
    void AddLog(const char* text);
    void StartDocument();
    void EndDocument(bool cut);
    void PrintHeader();
    void PrintTrailer();
    void VoidReceipt(const char* reason);
    void NoteTransaction(const char* id, int32_t status);
    void CloseDay();
    uint32_t TickMs() const;

    // Receipt body, shared by the item commands.
    int32_t RegisterItem(const RequestLine& r, int32_t sign, bool correction, const char* label);
    int32_t ApplyToVat(int vat, int64_t signedAmount, int32_t kind);
    void PrintAmountLine(const char* text, int64_t amount, int vat);
    void PrintReceiptEnd();
    int32_t CheckPayment(const RequestLine& r, int64_t total, int32_t& payment);
    void PrintTotalLine();
    void PrintVatRecap();
    void PrintTotalsReport(const Totals& totals, const char* title);
    int64_t CashInDrawer() const;

    // Session.
    int32_t Connect(uint32_t connection);
    int32_t Disconnect(uint32_t connection);

    // Commands, by short name.
    int32_t SetSerialNumber(const RequestLine& r);
    int32_t BeginFiscalReceipt(const RequestLine& r);
    int32_t BeginNonFiscal(const RequestLine& r);
    int32_t BeginTraining(const RequestLine& r);
    int32_t ClearDisplay(const RequestLine& r);
    int32_t CutPaper(const RequestLine& r);
    int32_t CancelRest(const RequestLine& r);
    int32_t DeferFirmwareUpdate(const RequestLine& r);
    int32_t DisplayTextAt(const RequestLine& r);
    int32_t EndFiscalReceipt(const RequestLine& r);
    int32_t EndNonFiscal(const RequestLine& r);
    int32_t EndTraining(const RequestLine& r);
    int32_t GetCounter(const RequestLine& r);
    int32_t GetData(const RequestLine& r);
    int32_t GetDate(const RequestLine& r);
    int32_t GetFirmwareUpdateRequest(const RequestLine& r);
    int32_t GetFontAttribute(const RequestLine& r);
    int32_t GetLastRegisteredLocationInfo(const RequestLine& r);
    int32_t GetLastRegisteredReceiptInfo(const RequestLine& r);
    int32_t GetProperty(const RequestLine& r);
    int32_t GetTotalizer(const RequestLine& r);
    int32_t GetTransactionStatus(const RequestLine& r);
    int32_t GetVatEntry(const RequestLine& r);
    int32_t OpenDrawer(const RequestLine& r);
    int32_t ObtainProgress(const RequestLine& r);
    int32_t PrintBarCode(const RequestLine& r);
    int32_t PrintDuplicateReceipt(const RequestLine& r);
    int32_t PrintNormal(const RequestLine& r);
    int32_t PrintRecAdvancePaymentDeduct(const RequestLine& r);
    int32_t PrintRecCash(const RequestLine& r);
    int32_t PrintRecItem(const RequestLine& r);
    int32_t PrintRecItemCorrection(const RequestLine& r);
    int32_t PrintRecItemRefund(const RequestLine& r);
    int32_t PrintRecItemRefundCorrection(const RequestLine& r);
    int32_t PrintRecItemAdjustment(const RequestLine& r);
    int32_t PrintRecMessage(const RequestLine& r);
    int32_t PrintRecPackageAdjustment(const RequestLine& r);
    int32_t PrintRecItemSinglePurposeVoucher(const RequestLine& r);
    int32_t PrintRecSubtotal(const RequestLine& r);
    int32_t PrintRecTotal(const RequestLine& r);
    int32_t PrintRecTotalChange(const RequestLine& r);
    int32_t PrintRecVoid(const RequestLine& r);
    int32_t PrintUnsentDataMsgReport(const RequestLine& r);
    int32_t PrintXReport(const RequestLine& r);
    int32_t PrintZReport(const RequestLine& r);
    int32_t RegisterLocation(const RequestLine& r);
    int32_t ResetPrinter(const RequestLine& r);
    int32_t SetBitmap(const RequestLine& r);
    int32_t SetCustomerEmailAddress(const RequestLine& r);
    int32_t SendCloudMessages(const RequestLine& r);
    int32_t SetDate(const RequestLine& r);
    int32_t SetFiscalMode(const RequestLine& r);
    int32_t SetFontAttribute(const RequestLine& r);
    int32_t SetHeaderLines(const RequestLine& r);
    int32_t SetTrailerLines(const RequestLine& r);
    int32_t GetHeaderLine(const RequestLine& r);
    int32_t GetTrailerLine(const RequestLine& r);
    int32_t SetPaymentType(const RequestLine& r);
    int32_t GetPaymentEntry(const RequestLine& r);
    int32_t SetPaymentEntry(const RequestLine& r);
    int32_t SetPosId(const RequestLine& r);
    int32_t SetProperty(const RequestLine& r);
    int32_t SoundImmediate(const RequestLine& r);
    int32_t StoreAllBitmaps(const RequestLine& r);
    int32_t GetInspectionRequest(const RequestLine& r);
    int32_t AffirmInspectionRequest(const RequestLine& r);
    int32_t ResetInspectionRequest(const RequestLine& r);
    int32_t GetNextLogRecord(const RequestLine& r);
    int32_t SetCustomer(const RequestLine& r);
    int32_t SetParagon(const RequestLine& r);
    int32_t RegisterUnsentDataMessages(const RequestLine& r);
    int32_t UpdateFirmware(const RequestLine& r);
    int32_t GetLicenceData(const RequestLine& r);

    int32_t SetLogoLines(const RequestLine& r, char (*lines)[kLineText + 1], const char* what);
    int32_t GetLogoLine(const RequestLine& r, const char (*lines)[kLineText + 1]);
    int32_t InspectionIndex(const char* field) const;
    int64_t InspectionMonitored(int index) const;
    bool InspectionBlocks() const;

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
    uint32_t sessionOwner = 0;
    bool changed = false;
    bool restartAfterReply = false;

    // Values of the reply being built, and the customer data of the open receipt.
    char values[Reply::kCapacity];
    size_t valuesLength = 0;
    char customerEmail[65] = {};
    std::string lastReceiptText; // for duplicates
};

} // namespace korvo::sim
