// The printer's records of fiscal activity: document counters, daily and
// lifetime totals, the last registered receipt and location, the open
// document, recent transactions and the event log.
#pragma once

#include <cstdint>

#include "sim/model/FiscalIds.h"
#include "sim/model/PrinterSettings.h"

namespace korvo::sim {

enum ReceiptType : int32_t {
    kReceiptSale = 1,
    kReceiptRefund = 2,
    kReceiptInvoice = 3, // payment of an invoice
    kReceiptDeposit = 4, // cash put into the drawer
    kReceiptWithdrawal = 5,
};
constexpr int kReceiptTypes = 5;

// Amounts in thousandths, signed where noted.
struct Totals {
    int64_t sales[kVatCount];        // sale items and surcharges
    int64_t refunds[kVatCount];      // refunded items, as positive amounts
    int64_t discounts[kVatCount];    // discounts and deducted advances, positive
    int64_t payments[kPaymentCount]; // taken per payment, change given out subtracted
    int64_t deposits;
    int64_t withdrawals;
    uint32_t receipts;
    uint32_t receiptsByType[kReceiptTypes];
    uint32_t voided;
    uint32_t nonFiscal;
    uint32_t items;
    uint32_t zReports;
};

struct Counters {
    uint32_t documentNumber; // every printed document
    uint32_t receiptNumber;  // fiscal receipts since the start
    uint32_t monthlyNumber;  // fiscal receipts in the current month
    int32_t monthKey;        // year * 12 + month - 1 of monthlyNumber
    uint32_t unsentMessages; // receipts registered offline, not yet sent
    int64_t lastDocumentTime;
    int64_t lastZTime;
    int64_t fiscalisedTime;
};

struct RegisteredReceipt {
    bool present;
    int64_t time;
    uint32_t monthlyNumber;
    uint32_t receiptNumber;
    int32_t status; // 1 registered by the server, 0 kept offline
    FiscalIds ids;
};

struct RegisteredLocation {
    bool present;
    int64_t time;
    int32_t status;
    int32_t locationType;
    char description[96];
};

enum class DocumentState { Idle, Receipt, Total, Ending, NonFiscal };

struct Receipt {
    int32_t type;
    bool voided;
    int64_t vatGross[kVatCount]; // signed, per VAT group
    int64_t sales[kVatCount];
    int64_t refunds[kVatCount];
    int64_t discounts[kVatCount];
    int64_t gross; // RecGrossTotal, signed
    int64_t paid;  // AccPaymentTotal, signed
    int64_t change;
    int64_t paidBy[kPaymentCount];
    int64_t cash; // deposit or withdrawal receipts: the amount moved
    int32_t items;
    int32_t payments;
    int32_t changePayment;
    char transactionId[41];
};

enum TransactionStatus : int32_t {
    kTransactionOpen = 1,
    kTransactionDone = 2,
    kTransactionVoided = 3
};

struct Transaction {
    char id[41];
    int32_t status;
};
constexpr int kTransactions = 16;

struct LogRecord {
    uint32_t id;
    int64_t time;
    uint32_t tick;
    char text[48];
};
constexpr int kLogRecords = 32;

} // namespace korvo::sim
