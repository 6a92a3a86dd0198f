#include "sim/model/ModelCore.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "protocol/ResultCodes.h"
#include "sim/values/Amount.h"
#include "sim/values/CivilTime.h"

namespace korvo::sim {

ModelCore::ModelCore() : hostClock(&HostLocalSeconds) {
    DefaultSettings(settings);
    startTime = Now();
    counters.fiscalisedTime = startTime - 400 * 86400;
    settings.lastServiceTime = startTime - 30 * 86400;
    counters.monthKey = -1;
    AddLog("POWER ON");
}

void ModelCore::PrintAmountLine(const char* text, int64_t amount, int vat) {
    char right[32], money[24];
    FormatMoney(amount, money, sizeof money);
    if (vat >= 0) {
        std::snprintf(right, sizeof right, "%s %c", money, VatLetter(vat + 1));
    } else {
        std::snprintf(right, sizeof right, "%s", money);
    }
    paper.LeftRight(text, right);
}

int64_t ModelCore::InspectionMonitored(int index) const {
    if (index == 0) return (Now() - settings.lastServiceTime) / 86400;
    return grand.receipts;
}

bool ModelCore::InspectionBlocks() const {
    for (int i = 0; i < kInspections; ++i) {
        const InspectionRequest& request = settings.inspections[i];
        if (InspectionMonitored(i) >= request.limit && !request.affirmed) return true;
    }
    return false;
}

int64_t ModelCore::Now() const {
    return hostClock() + settings.clockOffset;
}

uint32_t ModelCore::TickMs() const {
    return static_cast<uint32_t>((Now() - startTime) * 1000);
}

void ModelCore::Value(const char* text) {
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

void ModelCore::ValueInteger(int64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "%" PRId64, value);
    Value(text);
}

void ModelCore::ValueMoney(int64_t thousandths) {
    char text[24];
    FormatMoney(thousandths, text, sizeof text);
    Value(text);
}

void ModelCore::ValueDateTime(int64_t seconds) {
    char text[24];
    FormatDateTime(seconds, text, sizeof text);
    Value(text);
}

int32_t ModelCore::BadField(const char* field) {
    return field[0] ? EFP_DATA_TYPE : EFP_MISSING_PRM;
}

int32_t ModelCore::PrinterFault() const {
    if (settings.coverOpen) return EFP_COVER_OPEN;
    if (settings.paperEmpty) return EFP_REC_EMPTY;
    return 0;
}

bool ModelCore::InReceipt() const {
    return state == DocumentState::Receipt || state == DocumentState::Total ||
           state == DocumentState::Ending;
}

bool ModelCore::CashReceipt() const {
    return InReceipt() && (receipt.type == kReceiptDeposit || receipt.type == kReceiptWithdrawal);
}

int32_t ModelCore::VatIndex(const char* field) const {
    int64_t id = 0;
    return ParseInteger(field, 1, kVatCount, id) ? static_cast<int32_t>(id - 1) : -1;
}

int32_t ModelCore::PaymentIndex(const char* field) const {
    int64_t id = 0;
    if (!ParseInteger(field, 1, kPaymentCount, id)) return -1;
    return settings.payments[id - 1].type == kPaymentUnused ? -1 : static_cast<int32_t>(id - 1);
}

bool ModelCore::ItemText(const char* text) const {
    size_t n = 0;
    for (; text[n]; ++n)
        if (static_cast<unsigned char>(text[n]) < 0x20) return false;
    return n <= static_cast<size_t>(kLineText);
}

void ModelCore::AddLog(const char* text) {
    LogRecord& record = log[(nextLogId - 1) % kLogRecords];
    record.id = nextLogId++;
    record.time = Now();
    record.tick = TickMs();
    std::snprintf(record.text, sizeof record.text, "%s", text);
}

void ModelCore::NoteTransaction(const char* id, int32_t status) {
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

void ModelCore::StartDocument() {
    ++counters.documentNumber;
    paper.BeginDocument();
}

void ModelCore::EndDocument(bool cut) {
    counters.lastDocumentTime = Now();
    if (cut) paper.Cut();
    paper.EndDocument();
}

void ModelCore::PrintHeader() {
    for (const auto& line : settings.header)
        if (line[0]) paper.Center(line);
    paper.Rule();
}

void ModelCore::PrintTrailer() {
    bool any = false;
    for (const auto& line : settings.trailer)
        any = any || line[0];
    if (!any) return;
    paper.Blank();
    for (const auto& line : settings.trailer)
        if (line[0]) paper.Center(line);
}

int64_t ModelCore::CashInDrawer() const {
    int64_t cash = daily.deposits - daily.withdrawals;
    for (int i = 0; i < kPaymentCount; ++i)
        if (settings.payments[i].type == kPaymentCash) cash += daily.payments[i];
    return cash;
}

} // namespace korvo::sim
