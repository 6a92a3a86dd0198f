// Fiscal receipts: begin, items and adjustments, subtotal, payments, void and
// end, booked into the totals and counters, and the commands that read
// those back.
#pragma once

#include <cstdint>

#include "sim/model/ModelCore.h"
#include "sim/model/RequestLine.h"

namespace korvo::sim {

class ReceiptCommands {
public:
    explicit ReceiptCommands(ModelCore& core) : core(core) {}

    // Commands, by short name.
    int32_t BeginFiscalReceipt(const RequestLine& r);
    int32_t PrintRecItem(const RequestLine& r);
    int32_t PrintRecItemCorrection(const RequestLine& r);
    int32_t PrintRecItemRefund(const RequestLine& r);
    int32_t PrintRecItemRefundCorrection(const RequestLine& r);
    int32_t PrintRecItemAdjustment(const RequestLine& r);
    int32_t PrintRecPackageAdjustment(const RequestLine& r);
    int32_t PrintRecItemSinglePurposeVoucher(const RequestLine& r);
    int32_t PrintRecAdvancePaymentDeduct(const RequestLine& r);
    int32_t PrintRecMessage(const RequestLine& r);
    int32_t PrintRecSubtotal(const RequestLine& r);
    int32_t PrintRecTotal(const RequestLine& r);
    int32_t PrintRecTotalChange(const RequestLine& r);
    int32_t PrintRecCash(const RequestLine& r);
    int32_t PrintRecVoid(const RequestLine& r);
    int32_t SetCustomer(const RequestLine& r);
    int32_t SetParagon(const RequestLine& r);
    int32_t SetCustomerEmailAddress(const RequestLine& r);
    int32_t EndFiscalReceipt(const RequestLine& r);
    int32_t GetCounter(const RequestLine& r);
    int32_t GetTotalizer(const RequestLine& r);
    int32_t GetData(const RequestLine& r);
    int32_t GetTransactionStatus(const RequestLine& r);
    int32_t GetLastRegisteredReceiptInfo(const RequestLine&);

    // Ends the open receipt as voided; reason is printed under it.
    void VoidReceipt(const char* reason);

private:
    int32_t ReadVat(const char* vatField, const char* regulation, int32_t& vat) const;
    int32_t SaleBodyState() const;
    int32_t ApplyToVat(int vat, int64_t signedAmount, int32_t kind);
    int32_t RegisterItem(const RequestLine& r, int32_t sign, bool correction, const char* label);
    int32_t CheckPayment(const RequestLine& r, int64_t total, int32_t& payment);
    void PrintTotalLine();
    void PrintVatRecap();
    void PrintReceiptEnd();

    ModelCore& core;
};

} // namespace korvo::sim
