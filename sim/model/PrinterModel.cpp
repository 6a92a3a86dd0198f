// The line protocol of the printer: request checks, the session, dispatch to
// the commands, and the pieces the commands share.
#include "sim/model/PrinterModel.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "protocol/CommandCatalogue.h"
#include "protocol/ResultCodes.h"
#include "sim/model/StateVisitor.h"
#include "sim/values/Amount.h"
#include "sim/values/CivilTime.h"

namespace korvo::sim {

namespace {

constexpr uint16_t kQuick = 20; // getters and settings
constexpr uint16_t kLine = 150; // one printed line
constexpr uint16_t kErrorMs = 10;
constexpr size_t kNameLimit = 32;

const CommandEntry* FindShortName(const char* name) {
    for (const CommandEntry* e = CommandCatalogue; e->shortName; ++e)
        if (std::strcmp(e->shortName, name) == 0) return e;
    return nullptr;
}

// Fields in a request head, and how many of them a request must carry: the
// trailing optional fields ('*') may be left out.
void HeadShape(const char* head, int& fields, int& mandatory) {
    fields = 0;
    mandatory = 0;
    const char* field = head;
    for (const char* p = head;; ++p) {
        if (*p == '\t' || *p == 0) {
            ++fields;
            if (*field != '*') mandatory = fields;
            field = p + 1;
        }
        if (*p == 0) break;
    }
}

int32_t CheckFieldCount(const CommandEntry& entry, const RequestLine& r) {
    if (r.tooManyFields) return EFP_EXTRA_FIELD;
    if (!entry.requestHead) {
        bool none = r.fieldCount == 0 || (r.fieldCount == 1 && r.fields[0][0] == 0);
        return none ? 0 : EFP_EXTRA_FIELD;
    }
    int fields = 0, mandatory = 0;
    HeadShape(entry.requestHead, fields, mandatory);
    if (r.fieldCount > fields) return EFP_EXTRA_FIELD;
    if (r.fieldCount < mandatory) return EFP_MISSING_FIELD;
    return 0;
}

void Finish(Reply& reply, const char* name, int32_t code, const char* values, size_t valuesLength) {
    int n = std::snprintf(reply.text, sizeof reply.text, "%s\tRSP\t%d", name, code);
    size_t length = n < 0 ? 0 : static_cast<size_t>(n);
    if (values && length + 1 + valuesLength + 1 <= Reply::kCapacity) {
        reply.text[length++] = '\t';
        std::memcpy(reply.text + length, values, valuesLength);
        length += valuesLength;
    }
    reply.text[length++] = '\n';
    reply.text[length] = 0;
    reply.length = length;
    reply.code = code;
}

} // namespace

// Every catalogue command except the handshake, with the time a printer takes
// over it and whether it prints.
const PrinterModel::Rule PrinterModel::kRules[] = {
    {"SETSERIALNUM", &PrinterModel::SetSerialNumber, kQuick, true, false},
    {"bFR", &PrinterModel::BeginFiscalReceipt, 300, true, true},
    {"bNF", &PrinterModel::BeginNonFiscal, 250, true, true},
    {"bT", &PrinterModel::BeginTraining, kQuick, false, false},
    {"cD", &PrinterModel::ClearDisplay, kQuick, false, false},
    {"cP", &PrinterModel::CutPaper, 200, false, true},
    {"cR", &PrinterModel::CancelRest, kQuick, false, false},
    {"dFUR", &PrinterModel::DeferFirmwareUpdate, 400, true, false},
    {"dTA", &PrinterModel::DisplayTextAt, kQuick, false, false},
    {"eFR", &PrinterModel::EndFiscalReceipt, 1800, true, true},
    {"eNF", &PrinterModel::EndNonFiscal, 600, true, true},
    {"eT", &PrinterModel::EndTraining, kQuick, false, false},
    {"gC", &PrinterModel::GetCounter, kQuick, false, false},
    {"gD", &PrinterModel::GetData, kQuick, false, false},
    {"gDT", &PrinterModel::GetDate, kQuick, false, false},
    {"gFUR", &PrinterModel::GetFirmwareUpdateRequest, 800, false, false},
    {"gFA", &PrinterModel::GetFontAttribute, kQuick, false, false},
    {"gLRLI", &PrinterModel::GetLastRegisteredLocationInfo, kQuick, false, false},
    {"gLRRI", &PrinterModel::GetLastRegisteredReceiptInfo, kQuick, false, false},
    {"gP", &PrinterModel::GetProperty, kQuick, false, false},
    {"gT", &PrinterModel::GetTotalizer, kQuick, false, false},
    {"gTS", &PrinterModel::GetTransactionStatus, kQuick, false, false},
    {"gVE", &PrinterModel::GetVatEntry, kQuick, false, false},
    {"oD", &PrinterModel::OpenDrawer, 100, false, false},
    {"oP", &PrinterModel::ObtainProgress, kQuick, false, false},
    {"pBC", &PrinterModel::PrintBarCode, 400, false, true},
    {"pDR", &PrinterModel::PrintDuplicateReceipt, 1500, false, true},
    {"pN", &PrinterModel::PrintNormal, kLine, false, true},
    {"pRAPD", &PrinterModel::PrintRecAdvancePaymentDeduct, kLine, true, true},
    {"pRC", &PrinterModel::PrintRecCash, kLine, true, true},
    {"pRI", &PrinterModel::PrintRecItem, kLine, true, true},
    {"pRIC", &PrinterModel::PrintRecItemCorrection, kLine, true, true},
    {"pRIR", &PrinterModel::PrintRecItemRefund, kLine, true, true},
    {"pRIRC", &PrinterModel::PrintRecItemRefundCorrection, kLine, true, true},
    {"pRIA", &PrinterModel::PrintRecItemAdjustment, kLine, true, true},
    {"pRM", &PrinterModel::PrintRecMessage, kLine, false, true},
    {"pRPA", &PrinterModel::PrintRecPackageAdjustment, kLine, true, true},
    {"pRISPV", &PrinterModel::PrintRecItemSinglePurposeVoucher, kLine, true, true},
    {"pRS", &PrinterModel::PrintRecSubtotal, kLine, true, true},
    {"pRT", &PrinterModel::PrintRecTotal, 300, true, true},
    {"pRTC", &PrinterModel::PrintRecTotalChange, 300, true, true},
    {"pRV", &PrinterModel::PrintRecVoid, 500, true, true},
    {"pUDMR", &PrinterModel::PrintUnsentDataMsgReport, 800, false, true},
    {"pXR", &PrinterModel::PrintXReport, 2500, false, true},
    {"pZR", &PrinterModel::PrintZReport, 3500, true, true},
    {"rL", &PrinterModel::RegisterLocation, 2000, true, true},
    {"rP", &PrinterModel::ResetPrinter, 500, true, false},
    {"sB", &PrinterModel::SetBitmap, 200, false, false},
    {"sCEA", &PrinterModel::SetCustomerEmailAddress, kQuick, false, false},
    {"sCM", &PrinterModel::SendCloudMessages, 300, true, false},
    {"sD", &PrinterModel::SetDate, kQuick, true, false},
    {"sFM", &PrinterModel::SetFiscalMode, kQuick, false, false},
    {"sFA", &PrinterModel::SetFontAttribute, kQuick, true, false},
    {"sHL", &PrinterModel::SetHeaderLines, kQuick, true, false},
    {"sTL", &PrinterModel::SetTrailerLines, kQuick, true, false},
    {"gHL", &PrinterModel::GetHeaderLine, kQuick, false, false},
    {"gTL", &PrinterModel::GetTrailerLine, kQuick, false, false},
    {"sPT", &PrinterModel::SetPaymentType, kQuick, true, false},
    {"gPE", &PrinterModel::GetPaymentEntry, kQuick, false, false},
    {"sPE", &PrinterModel::SetPaymentEntry, kQuick, true, false},
    {"sPI", &PrinterModel::SetPosId, kQuick, true, false},
    {"sP", &PrinterModel::SetProperty, kQuick, true, false},
    {"sI", &PrinterModel::SoundImmediate, 100, false, false},
    {"sAB", &PrinterModel::StoreAllBitmaps, 1000, false, false},
    {"gIR", &PrinterModel::GetInspectionRequest, kQuick, false, false},
    {"aIR", &PrinterModel::AffirmInspectionRequest, kQuick, true, false},
    {"rIR", &PrinterModel::ResetInspectionRequest, kQuick, true, false},
    {"gNLR", &PrinterModel::GetNextLogRecord, kQuick, false, false},
    {"sC", &PrinterModel::SetCustomer, kQuick, false, true},
    {"sPA", &PrinterModel::SetParagon, kQuick, false, true},
    {"rUDM", &PrinterModel::RegisterUnsentDataMessages, 600, true, false},
    {"uF", &PrinterModel::UpdateFirmware, 5000, true, false},
    {"gLD", &PrinterModel::GetLicenceData, kQuick, false, false},
    {nullptr, nullptr, 0, false, false},
};

const PrinterModel::Rule* PrinterModel::FindRule(const char* shortName) {
    for (const Rule* r = kRules; r->shortName; ++r)
        if (std::strcmp(r->shortName, shortName) == 0) return r;
    return nullptr;
}

PrinterModel::PrinterModel() : hostClock(&HostLocalSeconds) {
    DefaultSettings(settings);
    startTime = Now();
    counters.fiscalisedTime = startTime - 400 * 86400;
    settings.lastServiceTime = startTime - 30 * 86400;
    counters.monthKey = -1;
    AddLog("POWER ON");
}

int64_t PrinterModel::Now() const {
    return hostClock() + settings.clockOffset;
}

uint32_t PrinterModel::TickMs() const {
    return static_cast<uint32_t>((Now() - startTime) * 1000);
}

bool PrinterModel::TakeChanged() {
    bool was = changed;
    changed = false;
    return was;
}

void PrinterModel::EchoName(const char* line, size_t length, char* name, size_t size) {
    size_t n = 0;
    while (n < length && line[n] != '\t')
        ++n;
    bool plausible = n > 0 && n <= kNameLimit && n < size;
    for (size_t i = 0; plausible && i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(line[i]);
        plausible = c > 0x20 && c < 0x7F;
    }
    if (!plausible) n = 0;
    std::memcpy(name, line, n);
    name[n] = 0;
}

void PrinterModel::AnswerCode(const char* name, int32_t code, Reply& reply) {
    reply.dropAfter = false;
    reply.workMs = kErrorMs;
    Finish(reply, name, code, nullptr, 0);
}

void PrinterModel::AnswerTooLong(const char* head, size_t length, Reply& reply) {
    char name[kNameLimit + 1];
    EchoName(head, length, name, sizeof name);
    AnswerCode(name, EFP_LONG_MESSAGE, reply);
}

void PrinterModel::Handle(uint32_t connection, char* line, size_t length, Reply& reply) {
    char name[kNameLimit + 1];
    EchoName(line, length, name, sizeof name);
    RequestLine r;
    SplitRequestLine(line, length, r);
    valuesLength = 0;
    restartAfterReply = false;
    reply.dropAfter = false;
    reply.workMs = kErrorMs;

    // A name the printer cannot read (blank, control bytes, too long) is no
    // command it knows, whatever its first bytes spell.
    const CommandEntry* entry = name[0] ? FindShortName(name) : nullptr;
    int32_t code = 0;
    const Rule* rule = nullptr;
    if (!entry || std::strlen(r.name) != std::strlen(name)) {
        code = EFP_UNKNOWN_CMD;
    } else if (!r.marker) {
        code = EFP_MISSING_FIELD;
    } else if (std::strcmp(r.marker, "REQ") != 0) {
        code = EFP_DATA_TYPE;
    } else if ((code = CheckFieldCount(*entry, r)) != 0) {
    } else if (r.hasNul) {
        code = EFP_DATA_TYPE;
    } else if (std::strcmp(name, "CONNECT") == 0) {
        code = Connect(connection);
    } else if (std::strcmp(name, "DISCONNECT") == 0) {
        code = Disconnect(connection);
    } else if (sessionOwner == 0 || sessionOwner != connection) {
        code = EFP_ILLEGAL_COMMAND;
    } else if ((rule = FindRule(name)) == nullptr) {
        code = EFP_UNKNOWN_CMD;
    } else if (rule->prints && (code = PrinterFault()) != 0) {
    } else {
        code = (this->*rule->handler)(r);
        reply.workMs = rule->workMs;
        if (rule->changes) changed = true;
    }

    bool withValues = code == 0 && entry && entry->responseHead;
    Finish(reply, name, code, withValues ? values : nullptr, withValues ? valuesLength : 0);
    if (restartAfterReply) {
        // The printer restarts into its new firmware: the session is gone.
        reply.dropAfter = true;
        sessionOwner = 0;
    }
}

int32_t PrinterModel::Connect(uint32_t connection) {
    if (sessionOwner != 0) {
        // One session at a time: the open one is closed, the caller may retry.
        sessionOwner = 0;
        return EFP_ILLEGAL_COMMAND;
    }
    sessionOwner = connection;
    return 0;
}

int32_t PrinterModel::Disconnect(uint32_t connection) {
    if (sessionOwner == 0 || sessionOwner != connection) return EFP_ILLEGAL_COMMAND;
    sessionOwner = 0;
    return 0;
}

void PrinterModel::Value(const char* text) {
    size_t n = std::strlen(text);
    size_t room = sizeof values - 64; // the name, marker and code go first
    if (valuesLength > 0) {
        if (valuesLength + 1 > room) return;
        values[valuesLength++] = '\t';
    }
    if (valuesLength + n > room) n = room - valuesLength;
    std::memcpy(values + valuesLength, text, n);
    valuesLength += n;
}

void PrinterModel::ValueInteger(int64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%" PRId64, value);
    Value(text);
}

void PrinterModel::ValueMoney(int64_t thousandths) {
    char text[24];
    FormatMoney(thousandths, text, sizeof text);
    Value(text);
}

void PrinterModel::ValueDateTime(int64_t seconds) {
    char text[24];
    FormatDateTime(seconds, text, sizeof text);
    Value(text);
}

int32_t PrinterModel::BadField(const char* field) {
    return field[0] ? EFP_DATA_TYPE : EFP_MISSING_PRM;
}

int32_t PrinterModel::PrinterFault() const {
    if (settings.coverOpen) return EFP_COVER_OPEN;
    if (settings.paperEmpty) return EFP_REC_EMPTY;
    return 0;
}

bool PrinterModel::InReceipt() const {
    return state == DocumentState::Receipt || state == DocumentState::Total ||
           state == DocumentState::Ending;
}

bool PrinterModel::CashReceipt() const {
    return InReceipt() && (receipt.type == kReceiptDeposit || receipt.type == kReceiptWithdrawal);
}

int32_t PrinterModel::VatIndex(const char* field) const {
    int64_t id = 0;
    return ParseInteger(field, 1, kVatCount, id) ? static_cast<int32_t>(id - 1) : -1;
}

int32_t PrinterModel::PaymentIndex(const char* field) const {
    int64_t id = 0;
    if (!ParseInteger(field, 1, kPaymentCount, id)) return -1;
    return settings.payments[id - 1].type == kPaymentUnused ? -1 : static_cast<int32_t>(id - 1);
}

bool PrinterModel::ItemText(const char* text) const {
    size_t n = 0;
    for (; text[n]; ++n)
        if (static_cast<unsigned char>(text[n]) < 0x20) return false;
    return n <= static_cast<size_t>(kLineText);
}

void PrinterModel::AddLog(const char* text) {
    LogRecord& record = log[(nextLogId - 1) % kLogRecords];
    record.id = nextLogId++;
    record.time = Now();
    record.tick = TickMs();
    std::snprintf(record.text, sizeof record.text, "%s", text);
}

void PrinterModel::NoteTransaction(const char* id, int32_t status) {
    if (!id[0]) return;
    for (Transaction& t : transactions) {
        if (t.id[0] && std::strcmp(t.id, id) == 0) {
            t.status = status;
            return;
        }
    }
    Transaction& t = transactions[nextTransaction];
    nextTransaction = (nextTransaction + 1) % kTransactions;
    std::snprintf(t.id, sizeof t.id, "%s", id);
    t.status = status;
}

void PrinterModel::StartDocument() {
    ++counters.documentNumber;
    paper.BeginDocument();
}

void PrinterModel::EndDocument(bool cut) {
    counters.lastDocumentTime = Now();
    if (cut) paper.Cut();
    paper.EndDocument();
}

void PrinterModel::PrintHeader() {
    for (const auto& line : settings.header)
        if (line[0]) paper.Center(line);
    paper.Rule();
}

void PrinterModel::PrintTrailer() {
    bool any = false;
    for (const auto& line : settings.trailer)
        any = any || line[0];
    if (!any) return;
    paper.Blank();
    for (const auto& line : settings.trailer)
        if (line[0]) paper.Center(line);
}

int64_t PrinterModel::CashInDrawer() const {
    int64_t cash = daily.deposits - daily.withdrawals;
    for (int i = 0; i < kPaymentCount; ++i)
        if (settings.payments[i].type == kPaymentCash) cash += daily.payments[i];
    return cash;
}

namespace {

class IntegerRef {
public:
    IntegerRef(StateVisitor& v) : visitor(v) {}
    template <typename T> void operator()(const char* key, T& value) {
        int64_t v = static_cast<int64_t>(value);
        visitor.Integer(key, v);
        value = static_cast<T>(v);
    }
    void operator()(const char* key, bool& value) {
        int64_t v = value ? 1 : 0;
        visitor.Integer(key, v);
        value = v != 0;
    }

private:
    StateVisitor& visitor;
};

void VisitTotals(StateVisitor& visitor, const char* prefix, Totals& t) {
    IntegerRef integer(visitor);
    char key[48];
    for (int i = 0; i < kVatCount; ++i) {
        std::snprintf(key, sizeof key, "%s.sales.%d", prefix, i + 1);
        integer(key, t.sales[i]);
        std::snprintf(key, sizeof key, "%s.refunds.%d", prefix, i + 1);
        integer(key, t.refunds[i]);
        std::snprintf(key, sizeof key, "%s.discounts.%d", prefix, i + 1);
        integer(key, t.discounts[i]);
    }
    for (int i = 0; i < kPaymentCount; ++i) {
        std::snprintf(key, sizeof key, "%s.payments.%d", prefix, i + 1);
        integer(key, t.payments[i]);
    }
    for (int i = 0; i < kReceiptTypes; ++i) {
        std::snprintf(key, sizeof key, "%s.receiptsByType.%d", prefix, i + 1);
        integer(key, t.receiptsByType[i]);
    }
    const struct {
        const char* name;
        uint32_t* value;
    } counts[] = {{"receipts", &t.receipts},
                  {"voided", &t.voided},
                  {"nonFiscal", &t.nonFiscal},
                  {"items", &t.items},
                  {"zReports", &t.zReports}};
    for (const auto& c : counts) {
        std::snprintf(key, sizeof key, "%s.%s", prefix, c.name);
        integer(key, *c.value);
    }
    std::snprintf(key, sizeof key, "%s.deposits", prefix);
    integer(key, t.deposits);
    std::snprintf(key, sizeof key, "%s.withdrawals", prefix);
    integer(key, t.withdrawals);
}

} // namespace

void PrinterModel::VisitState(StateVisitor& visitor) {
    IntegerRef integer(visitor);
    PrinterSettings& s = settings;
    visitor.Text("serialNumber", s.serialNumber, sizeof s.serialNumber);
    visitor.Text("firmware", s.firmware, sizeof s.firmware);
    visitor.Text("pendingFirmware", s.pendingFirmware, sizeof s.pendingFirmware);
    visitor.Text("currency", s.currency, sizeof s.currency);
    visitor.Text("posId", s.posId, sizeof s.posId);
    visitor.Text("cashierId", s.cashierId, sizeof s.cashierId);
    char key[48];
    for (int i = 0; i < kVatCount; ++i) {
        std::snprintf(key, sizeof key, "vat.%d.rate", i + 1);
        integer(key, s.vat[i].rate);
        std::snprintf(key, sizeof key, "vat.%d.flag", i + 1);
        integer(key, s.vat[i].flag);
    }
    for (int i = 0; i < kPaymentCount; ++i) {
        std::snprintf(key, sizeof key, "payment.%d.name", i + 1);
        visitor.Text(key, s.payments[i].name, sizeof s.payments[i].name);
        std::snprintf(key, sizeof key, "payment.%d.type", i + 1);
        integer(key, s.payments[i].type);
    }
    for (int i = 0; i < kLogoLines; ++i) {
        std::snprintf(key, sizeof key, "header.%d", i + 1);
        visitor.Text(key, s.header[i], sizeof s.header[i]);
        std::snprintf(key, sizeof key, "trailer.%d", i + 1);
        visitor.Text(key, s.trailer[i], sizeof s.trailer[i]);
    }
    for (int i = 0; i < kInspections; ++i) {
        std::snprintf(key, sizeof key, "inspection.%d.limit", i + 1);
        integer(key, s.inspections[i].limit);
    }
    integer("onlineRegistration", s.onlineRegistration);
    integer("portable", s.portable);
    integer("updateAvailable", s.updateAvailable);
    integer("updateFired", s.updateFired);
    integer("clockOffset", s.clockOffset);
    integer("lastServiceTime", s.lastServiceTime);

    Counters& c = counters;
    integer("documentNumber", c.documentNumber);
    integer("receiptNumber", c.receiptNumber);
    integer("monthlyNumber", c.monthlyNumber);
    integer("monthKey", c.monthKey);
    integer("unsentMessages", c.unsentMessages);
    integer("lastDocumentTime", c.lastDocumentTime);
    integer("lastZTime", c.lastZTime);
    integer("fiscalisedTime", c.fiscalisedTime);
    VisitTotals(visitor, "daily", daily);
    VisitTotals(visitor, "grand", grand);

    RegisteredReceipt& l = lastReceipt;
    integer("lastReceipt.present", l.present);
    integer("lastReceipt.time", l.time);
    integer("lastReceipt.monthlyNumber", l.monthlyNumber);
    integer("lastReceipt.receiptNumber", l.receiptNumber);
    integer("lastReceipt.status", l.status);
    visitor.Text("lastReceipt.uid", l.ids.uid, sizeof l.ids.uid);
    visitor.Text("lastReceipt.okp", l.ids.okp, sizeof l.ids.okp);
    visitor.Text("lastReceipt.pkp", l.ids.pkp, sizeof l.ids.pkp);

    RegisteredLocation& g = lastLocation;
    integer("location.present", g.present);
    integer("location.time", g.time);
    integer("location.status", g.status);
    integer("location.type", g.locationType);
    visitor.Text("location.description", g.description, sizeof g.description);
}

} // namespace korvo::sim
