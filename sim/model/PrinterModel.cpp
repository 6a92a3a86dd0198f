// The line protocol of the printer: request checks, the session, dispatch to
// the parts, and the walk over the persistent values.
#include "sim/model/PrinterModel.h"

#include <cstdio>
#include <cstring>

#include "protocol/CommandCatalogue.h"
#include "protocol/ResultCodes.h"
#include "sim/model/StateVisitor.h"

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
    {"SETSERIALNUM", &Run<&PrinterModel::setup, &SettingCommands::SetSerialNumber>, kQuick, true,
     false},
    {"bFR", &Run<&PrinterModel::receipts, &ReceiptCommands::BeginFiscalReceipt>, 300, true, true},
    {"bNF", &Run<&PrinterModel::documents, &DocumentCommands::BeginNonFiscal>, 250, true, true},
    {"bT", &Run<&PrinterModel::documents, &DocumentCommands::BeginTraining>, kQuick, false, false},
    {"cD", &Run<&PrinterModel::documents, &DocumentCommands::ClearDisplay>, kQuick, false, false},
    {"cP", &Run<&PrinterModel::documents, &DocumentCommands::CutPaper>, 200, false, true},
    {"cR", &Run<&PrinterModel::documents, &DocumentCommands::CancelRest>, kQuick, false, false},
    {"dFUR", &Run<&PrinterModel::setup, &SettingCommands::DeferFirmwareUpdate>, 400, true, false},
    {"dTA", &Run<&PrinterModel::documents, &DocumentCommands::DisplayTextAt>, kQuick, false, false},
    {"eFR", &Run<&PrinterModel::receipts, &ReceiptCommands::EndFiscalReceipt>, 1800, true, true},
    {"eNF", &Run<&PrinterModel::documents, &DocumentCommands::EndNonFiscal>, 600, true, true},
    {"eT", &Run<&PrinterModel::documents, &DocumentCommands::EndTraining>, kQuick, false, false},
    {"gC", &Run<&PrinterModel::receipts, &ReceiptCommands::GetCounter>, kQuick, false, false},
    {"gD", &Run<&PrinterModel::receipts, &ReceiptCommands::GetData>, kQuick, false, false},
    {"gDT", &Run<&PrinterModel::setup, &SettingCommands::GetDate>, kQuick, false, false},
    {"gFUR", &Run<&PrinterModel::setup, &SettingCommands::GetFirmwareUpdateRequest>, 800, false,
     false},
    {"gFA", &Run<&PrinterModel::setup, &SettingCommands::GetFontAttribute>, kQuick, false, false},
    {"gLRLI", &Run<&PrinterModel::setup, &SettingCommands::GetLastRegisteredLocationInfo>, kQuick,
     false, false},
    {"gLRRI", &Run<&PrinterModel::receipts, &ReceiptCommands::GetLastRegisteredReceiptInfo>, kQuick,
     false, false},
    {"gP", &Run<&PrinterModel::setup, &SettingCommands::GetProperty>, kQuick, false, false},
    {"gT", &Run<&PrinterModel::receipts, &ReceiptCommands::GetTotalizer>, kQuick, false, false},
    {"gTS", &Run<&PrinterModel::receipts, &ReceiptCommands::GetTransactionStatus>, kQuick, false,
     false},
    {"gVE", &Run<&PrinterModel::setup, &SettingCommands::GetVatEntry>, kQuick, false, false},
    {"oD", &Run<&PrinterModel::documents, &DocumentCommands::OpenDrawer>, 100, false, false},
    {"oP", &Run<&PrinterModel::setup, &SettingCommands::ObtainProgress>, kQuick, false, false},
    {"pBC", &Run<&PrinterModel::documents, &DocumentCommands::PrintBarCode>, 400, false, true},
    {"pDR", &Run<&PrinterModel::documents, &DocumentCommands::PrintDuplicateReceipt>, 1500, false,
     true},
    {"pN", &Run<&PrinterModel::documents, &DocumentCommands::PrintNormal>, kLine, false, true},
    {"pRAPD", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecAdvancePaymentDeduct>, kLine,
     true, true},
    {"pRC", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecCash>, kLine, true, true},
    {"pRI", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecItem>, kLine, true, true},
    {"pRIC", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecItemCorrection>, kLine, true,
     true},
    {"pRIR", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecItemRefund>, kLine, true,
     true},
    {"pRIRC", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecItemRefundCorrection>, kLine,
     true, true},
    {"pRIA", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecItemAdjustment>, kLine, true,
     true},
    {"pRM", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecMessage>, kLine, false, true},
    {"pRPA", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecPackageAdjustment>, kLine,
     true, true},
    {"pRISPV", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecItemSinglePurposeVoucher>,
     kLine, true, true},
    {"pRS", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecSubtotal>, kLine, true, true},
    {"pRT", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecTotal>, 300, true, true},
    {"pRTC", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecTotalChange>, 300, true, true},
    {"pRV", &Run<&PrinterModel::receipts, &ReceiptCommands::PrintRecVoid>, 500, true, true},
    {"pUDMR", &Run<&PrinterModel::documents, &DocumentCommands::PrintUnsentDataMsgReport>, 800,
     false, true},
    {"pXR", &Run<&PrinterModel::documents, &DocumentCommands::PrintXReport>, 2500, false, true},
    {"pZR", &Run<&PrinterModel::documents, &DocumentCommands::PrintZReport>, 3500, true, true},
    {"rL", &Run<&PrinterModel::setup, &SettingCommands::RegisterLocation>, 2000, true, true},
    {"rP", &Run<&PrinterModel::documents, &DocumentCommands::ResetPrinter>, 500, true, false},
    {"sB", &Run<&PrinterModel::documents, &DocumentCommands::SetBitmap>, 200, false, false},
    {"sCEA", &Run<&PrinterModel::receipts, &ReceiptCommands::SetCustomerEmailAddress>, kQuick,
     false, false},
    {"sCM", &Run<&PrinterModel::documents, &DocumentCommands::SendCloudMessages>, 300, true, false},
    {"sD", &Run<&PrinterModel::setup, &SettingCommands::SetDate>, kQuick, true, false},
    {"sFM", &Run<&PrinterModel::setup, &SettingCommands::SetFiscalMode>, kQuick, false, false},
    {"sFA", &Run<&PrinterModel::setup, &SettingCommands::SetFontAttribute>, kQuick, true, false},
    {"sHL", &Run<&PrinterModel::setup, &SettingCommands::SetHeaderLines>, kQuick, true, false},
    {"sTL", &Run<&PrinterModel::setup, &SettingCommands::SetTrailerLines>, kQuick, true, false},
    {"gHL", &Run<&PrinterModel::setup, &SettingCommands::GetHeaderLine>, kQuick, false, false},
    {"gTL", &Run<&PrinterModel::setup, &SettingCommands::GetTrailerLine>, kQuick, false, false},
    {"sPT", &Run<&PrinterModel::setup, &SettingCommands::SetPaymentType>, kQuick, true, false},
    {"gPE", &Run<&PrinterModel::setup, &SettingCommands::GetPaymentEntry>, kQuick, false, false},
    {"sPE", &Run<&PrinterModel::setup, &SettingCommands::SetPaymentEntry>, kQuick, true, false},
    {"sPI", &Run<&PrinterModel::setup, &SettingCommands::SetPosId>, kQuick, true, false},
    {"sP", &Run<&PrinterModel::setup, &SettingCommands::SetProperty>, kQuick, true, false},
    {"sI", &Run<&PrinterModel::documents, &DocumentCommands::SoundImmediate>, 100, false, false},
    {"sAB", &Run<&PrinterModel::documents, &DocumentCommands::StoreAllBitmaps>, 1000, false, false},
    {"gIR", &Run<&PrinterModel::setup, &SettingCommands::GetInspectionRequest>, kQuick, false,
     false},
    {"aIR", &Run<&PrinterModel::setup, &SettingCommands::AffirmInspectionRequest>, kQuick, true,
     false},
    {"rIR", &Run<&PrinterModel::setup, &SettingCommands::ResetInspectionRequest>, kQuick, true,
     false},
    {"gNLR", &Run<&PrinterModel::setup, &SettingCommands::GetNextLogRecord>, kQuick, false, false},
    {"sC", &Run<&PrinterModel::receipts, &ReceiptCommands::SetCustomer>, kQuick, false, true},
    {"sPA", &Run<&PrinterModel::receipts, &ReceiptCommands::SetParagon>, kQuick, false, true},
    {"rUDM", &Run<&PrinterModel::documents, &DocumentCommands::RegisterUnsentDataMessages>, 600,
     true, false},
    {"uF", &Run<&PrinterModel::setup, &SettingCommands::UpdateFirmware>, 5000, true, false},
    {"gLD", &Run<&PrinterModel::setup, &SettingCommands::GetLicenceData>, kQuick, false, false},
    {nullptr, nullptr, 0, false, false},
};

const PrinterModel::Rule* PrinterModel::FindRule(const char* shortName) {
    for (const Rule* r = kRules; r->shortName; ++r)
        if (std::strcmp(r->shortName, shortName) == 0) return r;
    return nullptr;
}

PrinterModel::PrinterModel() : receipts(core), setup(core), documents(core, receipts) {}

int64_t PrinterModel::Now() const {
    return core.Now();
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
    core.ClearValues();
    core.restartAfterReply = false;
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
    } else if (rule->prints && (code = core.PrinterFault()) != 0) {
    } else {
        code = rule->handler(*this, r);
        reply.workMs = rule->workMs;
        if (rule->changes) changed = true;
    }

    bool withValues = code == 0 && entry && entry->responseHead;
    Finish(reply, name, code, withValues ? core.values : nullptr,
           withValues ? core.valuesLength : 0);
    if (core.restartAfterReply) {
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
    PrinterSettings& s = core.settings;
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

    Counters& c = core.counters;
    integer("documentNumber", c.documentNumber);
    integer("receiptNumber", c.receiptNumber);
    integer("monthlyNumber", c.monthlyNumber);
    integer("monthKey", c.monthKey);
    integer("unsentMessages", c.unsentMessages);
    integer("lastDocumentTime", c.lastDocumentTime);
    integer("lastZTime", c.lastZTime);
    integer("fiscalisedTime", c.fiscalisedTime);
    VisitTotals(visitor, "daily", core.daily);
    VisitTotals(visitor, "grand", core.grand);

    RegisteredReceipt& l = core.lastReceipt;
    integer("lastReceipt.present", l.present);
    integer("lastReceipt.time", l.time);
    integer("lastReceipt.monthlyNumber", l.monthlyNumber);
    integer("lastReceipt.receiptNumber", l.receiptNumber);
    integer("lastReceipt.status", l.status);
    visitor.Text("lastReceipt.uid", l.ids.uid, sizeof l.ids.uid);
    visitor.Text("lastReceipt.okp", l.ids.okp, sizeof l.ids.okp);
    visitor.Text("lastReceipt.pkp", l.ids.pkp, sizeof l.ids.pkp);

    RegisteredLocation& g = core.lastLocation;
    integer("location.present", g.present);
    integer("location.time", g.time);
    integer("location.status", g.status);
    integer("location.type", g.locationType);
    visitor.Text("location.description", g.description, sizeof g.description);
}

} // namespace korvo::sim
