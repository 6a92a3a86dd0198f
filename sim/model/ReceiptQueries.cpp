// The commands that read the receipts' totals and counters back.
#include "sim/model/ReceiptCommands.h"

#include <cstring>

#include "protocol/ResultCodes.h"
#include "sim/values/Amount.h"

namespace korvo::sim {

namespace {

// getCounter's counters.
enum Counter : int64_t {
    kCounterReceipts = 1, // subsets 1..5: by receipt type
    kCounterVoided,
    kCounterNonFiscal,
    kCounterZReports,
    kCounterItems,
    kCounterReceiptNumber, // daily: of the month; grand: since the start
    kCounterCount = kCounterReceiptNumber,
};

// getTotalizer's totals: per VAT rate (0 all rates) up to the VAT, then two
// of the whole drawer.
enum Totalizer : int64_t {
    kTotalSales = 1,
    kTotalRefunds,
    kTotalDiscounts,
    kTotalNet,
    kTotalVat,
    kTotalCashInDrawer, // daily only; 0 for the grand totals
    kTotalCashMoved,    // deposits less withdrawals
    kTotalizerCount = kTotalCashMoved,
};

// getData's items.
enum DataItem : int64_t {
    kDataSerialNumber = 1,
    kDataFirmware,
    kDataReceiptTotal, // of the open receipt, else 0
    kDataReceiptPaid,
    kDataCashInDrawer,
    kDataNextReceiptNumber,
    kDataZReports,
    kDataReceiptItems,
    kDataDateTime,
    kDataItemCount = kDataDateTime,
};

constexpr int64_t kDaily = 1; // the period field: 1 daily, 2 grand

} // namespace

int32_t ReceiptCommands::GetCounter(const RequestLine& r) {
    int64_t type = 0, subset = 0, id = 0;
    if (!ParseInteger(r.Field(0), 1, 2, type) || !ParseInteger(r.Field(2), 1, kCounterCount, id))
        return E_ILLEGAL;
    const Totals& t = type == kDaily ? core.daily : core.grand;
    // Subsets split fiscal receipts by receipt type; other counters have none.
    int64_t maxSubset = id == kCounterReceipts ? kReceiptTypes : 0;
    if (!ParseInteger(r.Field(1), 0, maxSubset, subset)) return EFP_BAD_VAT;
    int64_t value = 0;
    switch (id) {
    case kCounterReceipts:
        value = subset ? t.receiptsByType[subset - 1] : t.receipts;
        break;
    case kCounterVoided:
        value = t.voided;
        break;
    case kCounterNonFiscal:
        value = t.nonFiscal;
        break;
    case kCounterZReports:
        value = core.grand.zReports;
        break;
    case kCounterItems:
        value = t.items;
        break;
    case kCounterReceiptNumber:
        value = type == kDaily ? core.counters.monthlyNumber : core.counters.receiptNumber;
        break;
    }
    core.ValueInteger(value);
    return 0;
}

int32_t ReceiptCommands::GetTotalizer(const RequestLine& r) {
    int64_t type = 0, id = 0;
    if (!ParseInteger(r.Field(0), 1, 2, type) || !ParseInteger(r.Field(2), 1, kTotalizerCount, id))
        return E_ILLEGAL;
    const char* vatField = r.Field(1);
    int32_t vat = -1; // -1: all rates
    if (std::strcmp(vatField, "0") != 0) {
        vat = core.VatIndex(vatField);
        if (vat < 0) return EFP_BAD_VAT;
    }
    const Totals& t = type == kDaily ? core.daily : core.grand;
    int64_t value = 0;
    for (int v = 0; v < kVatCount; ++v) {
        if (vat >= 0 && v != vat) continue;
        int64_t net = t.sales[v] - t.refunds[v] - t.discounts[v];
        int64_t tax =
            DivideRounded(net * core.settings.vat[v].rate, 10000 + core.settings.vat[v].rate);
        switch (id) {
        case kTotalSales:
            value += t.sales[v];
            break;
        case kTotalRefunds:
            value += t.refunds[v];
            break;
        case kTotalDiscounts:
            value += t.discounts[v];
            break;
        case kTotalNet:
            value += net;
            break;
        case kTotalVat:
            value += DivideRounded(tax, 10) * 10;
            break;
        }
    }
    // The drawer's totals are not per rate.
    if (id >= kTotalCashInDrawer) {
        if (vat >= 0) return EFP_BAD_VAT;
        value = id == kTotalCashInDrawer ? (type == kDaily ? core.CashInDrawer() : 0)
                                         : t.deposits - t.withdrawals;
    }
    core.ValueMoney(value);
    return 0;
}

int32_t ReceiptCommands::GetData(const RequestLine& r) {
    int64_t item = 0;
    if (!ParseInteger(r.Field(0), 1, kDataItemCount, item) || r.Field(1)[0]) return E_ILLEGAL;
    bool open = core.InReceipt();
    switch (item) {
    case kDataSerialNumber:
        core.Value(core.settings.serialNumber);
        break;
    case kDataFirmware:
        core.Value(core.settings.firmware);
        break;
    case kDataReceiptTotal:
        core.ValueMoney(open ? core.receipt.gross : 0);
        break;
    case kDataReceiptPaid:
        core.ValueMoney(open ? core.receipt.paid : 0);
        break;
    case kDataCashInDrawer:
        core.ValueMoney(core.CashInDrawer());
        break;
    case kDataNextReceiptNumber:
        core.ValueInteger(core.counters.receiptNumber + 1);
        break;
    case kDataZReports:
        core.ValueInteger(core.grand.zReports);
        break;
    case kDataReceiptItems:
        core.ValueInteger(open ? core.receipt.items : 0);
        break;
    case kDataDateTime:
        core.ValueDateTime(core.Now());
        break;
    }
    return 0;
}

int32_t ReceiptCommands::GetTransactionStatus(const RequestLine& r) {
    const char* id = r.Field(0);
    const Transaction* found = nullptr;
    if (!id[0]) {
        const Transaction& last =
            core.transactions[(core.nextTransaction + kTransactions - 1) % kTransactions];
        if (last.id[0]) found = &last;
    } else {
        for (const Transaction& t : core.transactions)
            if (t.id[0] && std::strcmp(t.id, id) == 0) found = &t;
    }
    if (!found) return E_NOEXIST;
    core.Value(found->id);
    core.ValueInteger(found->status);
    return 0;
}

int32_t ReceiptCommands::GetLastRegisteredReceiptInfo(const RequestLine&) {
    if (!core.lastReceipt.present) return E_NOEXIST;
    core.ValueDateTime(core.lastReceipt.time);
    core.ValueInteger(core.lastReceipt.monthlyNumber);
    core.ValueInteger(core.lastReceipt.status);
    core.Value(core.lastReceipt.ids.uid);
    core.Value(core.lastReceipt.ids.okp);
    core.Value(core.lastReceipt.ids.pkp);
    core.ValueInteger(0);
    core.Value("");
    return 0;
}

} // namespace korvo::sim
