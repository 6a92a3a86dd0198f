// Fiscal receipts: begin, items and adjustments, subtotal, payments, void
// and end, with the printer's own result codes for wrong states and values.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "protocol/ResultCodes.h"
#include "sim/model/FiscalIds.h"
#include "sim/model/PrinterModel.h"
#include "sim/values/Amount.h"
#include "sim/values/CivilTime.h"

namespace korvo::sim {

namespace {

// The largest receipt total: 9 999 999.99.
constexpr int64_t kReceiptLimit = INT64_C(9999999990);
constexpr int32_t kMaxPayments = 256;
constexpr int64_t kSettingElectronic = 1; // fiscalReceiptSettings: e-receipt

enum AmountKind { kSale, kDiscount };

const char* ReceiptTitle(int32_t type) {
    switch (type) {
    case kReceiptRefund:
        return "REFUND RECEIPT";
    case kReceiptInvoice:
        return "INVOICE PAYMENT";
    case kReceiptDeposit:
        return "CASH DEPOSIT";
    case kReceiptWithdrawal:
        return "CASH WITHDRAWAL";
    default:
        return "RECEIPT";
    }
}

bool PlainText(const char* text, size_t limit) {
    size_t n = 0;
    for (; text[n]; ++n)
        if (static_cast<unsigned char>(text[n]) < 0x20) return false;
    return n <= limit;
}

// Identifier texts: letters, digits and - _ . / only.
bool Identifier(const char* text, size_t minimum, size_t limit) {
    size_t n = 0;
    for (; text[n]; ++n) {
        char c = text[n];
        bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                  c == '-' || c == '_' || c == '.' || c == '/';
        if (!ok) return false;
    }
    return n >= minimum && n <= limit;
}

// Parses an amount field: 405 when it is empty, 401 when it is no number.
int32_t ReadAmount(const char* field, int64_t& value) {
    if (ParseAmount(field, value)) return 0;
    return field[0] ? EFP_DATA_TYPE : EFP_MISSING_PRM;
}

int64_t Magnitude(int64_t v) {
    return v < 0 ? -v : v;
}

// An amount that must be positive and in whole cents.
int32_t ReadPositiveCents(const char* field, int64_t& value) {
    if (int32_t e = ReadAmount(field, value)) return e;
    return value > 0 && IsCents(value) ? 0 : EFP_BAD_AMOUNT;
}

// specialRegulation: an exempt rate needs one (1..9), a taxable rate takes none.
int32_t CheckSpecialRegulation(const char* field, bool exempt) {
    if (!field[0]) return exempt ? EFP_BAD_SPEC_REG : 0;
    int64_t value = 0;
    if (!ParseInteger(field, 1, 9, value)) return EFP_BAD_SPEC_REG;
    return exempt ? 0 : EFP_UNEXPECT_SPEC_REG;
}

} // namespace

// The VAT id of an amount and the special regulation that goes with its rate.
int32_t PrinterModel::ReadVat(const char* vatField, const char* regulation, int32_t& vat) const {
    vat = VatIndex(vatField);
    if (vat < 0) return EFP_BAD_VAT;
    return CheckSpecialRegulation(regulation, settings.vat[vat].flag == 0);
}

// Adjustments, vouchers and deducted advances belong to sale receipts.
int32_t PrinterModel::SaleBodyState() const {
    if (state != DocumentState::Receipt) return EFP_WRONG_STATE;
    return receipt.type == kReceiptSale ? 0 : EFP_ILLEGAL_COMMAND;
}

int32_t PrinterModel::BeginFiscalReceipt(const RequestLine& r) {
    if (state != DocumentState::Idle) return EFP_WRONG_STATE;
    int64_t type = 0, flags = 0;
    if (!ParseInteger(r.Field(0), 1, kReceiptTypes, type)) return E_ILLEGAL;
    if (!ParseInteger(r.Field(1), 0, 255, flags)) return BadField(r.Field(1));
    const char* transactionId = r.Field(2);
    if (transactionId[0] && !Identifier(transactionId, 1, 40)) return EFP_BAD_DESCRIPTION;
    if (training && (type == kReceiptDeposit || type == kReceiptWithdrawal))
        return EFP_ILLEGAL_COMMAND;
    if (InspectionBlocks()) return EFP_ILLEGAL_COMMAND;
    if (settings.updateFired) return EFP_FW_UPDATE_REQUEST;
    if ((flags & kSettingElectronic) && !settings.onlineRegistration) return EFP_NETWORK;

    receipt = Receipt{};
    receipt.type = static_cast<int32_t>(type);
    std::snprintf(receipt.transactionId, sizeof receipt.transactionId, "%s", transactionId);
    NoteTransaction(receipt.transactionId, kTransactionOpen);
    state = DocumentState::Receipt;

    StartDocument();
    PrintHeader();
    if (training) paper.Center("TRAINING - NOT A FISCAL DOCUMENT");
    char left[64], right[48], date[16], time[8];
    int64_t now = Now();
    FormatDate(now, date, sizeof date);
    FormatTimeOfDay(now, time, sizeof time);
    std::snprintf(left, sizeof left, "%s", ReceiptTitle(receipt.type));
    std::snprintf(right, sizeof right, "Doc. %06u", counters.documentNumber);
    paper.LeftRight(left, right);
    std::snprintf(left, sizeof left, "POS %s", settings.posId);
    std::snprintf(right, sizeof right, "%s %s", date, time);
    paper.LeftRight(left, right);
    if (settings.cashierId[0]) {
        std::snprintf(left, sizeof left, "Cashier %s", settings.cashierId);
        paper.Line(left);
    }
    if (receipt.transactionId[0]) {
        std::snprintf(left, sizeof left, "Transaction %s", receipt.transactionId);
        paper.Line(left);
    }
    paper.Rule();
    return 0;
}

void PrinterModel::PrintAmountLine(const char* text, int64_t amount, int vat) {
    char right[32], money[24];
    FormatMoney(amount, money, sizeof money);
    if (vat >= 0) {
        std::snprintf(right, sizeof right, "%s %c", money, VatLetter(vat + 1));
    } else {
        std::snprintf(right, sizeof right, "%s", money);
    }
    paper.LeftRight(text, right);
}

// Books a signed amount on one VAT group of the open receipt; a discount may
// not take a group below zero.
int32_t PrinterModel::ApplyToVat(int vat, int64_t signedAmount, int32_t kind) {
    int64_t group = receipt.vatGross[vat] + signedAmount;
    int64_t gross = receipt.gross + signedAmount;
    if (Magnitude(gross) > kReceiptLimit || Magnitude(group) > kReceiptLimit)
        return EFP_REC_TOTAL_OVERFLOW;
    if (kind == kDiscount && group < 0) return EFP_NEG_ITEMS_OVER;
    receipt.vatGross[vat] = group;
    receipt.gross = gross;
    return 0;
}

// The four item commands. sign is the direction of the item in this receipt
// (+1 a sale, -1 a refund); a correction takes back an item of that sign.
int32_t PrinterModel::RegisterItem(const RequestLine& r, int32_t sign, bool correction,
                                   const char* label) {
    const char* description = r.Field(0);
    const char* unitName = r.Field(6);
    const char* reference = r.Field(7);
    if (!ItemText(description) || !description[0]) return EFP_BAD_DESCRIPTION;
    int64_t price = 0, quantity = 0, unitPrice = 0;
    if (int32_t e = ReadPositiveCents(r.Field(1), price)) return e;
    if (int32_t e = ReadAmount(r.Field(2), quantity)) return e;
    if (quantity <= 0) return EFP_BAD_QUANTITY;
    int32_t vat = 0;
    if (int32_t e = ReadVat(r.Field(3), r.Field(4), vat)) return e;
    if (r.Field(5)[0]) {
        if (int32_t e = ReadAmount(r.Field(5), unitPrice)) return e;
        if (unitPrice <= 0) return EFP_BAD_PRICE;
    }
    if (!PlainText(unitName, 8)) return EFP_BAD_DESCRIPTION;
    bool refund = sign < 0;
    if (refund) {
        if (!Identifier(reference, 1, 64)) return EFP_BAD_REF_RECEIPT;
    } else if (reference[0]) {
        return EFP_UNEXPECT_REF_RECEIPT;
    }
    if (!ItemText(r.Field(8)) || !ItemText(r.Field(9))) return EFP_BAD_DESCRIPTION;

    // A correction takes back no more than this receipt registered.
    int64_t* booked = refund ? receipt.refunds : receipt.sales;
    if (correction && booked[vat] < price) return EFP_NEG_ITEMS_OVER;
    int64_t amount = correction ? -sign * price : sign * price;
    if (int32_t e = ApplyToVat(vat, amount, kSale)) return e;
    booked[vat] += correction ? -price : price;
    if (!correction) ++receipt.items;

    paper.LineIfAny(r.Field(8));
    char text[96];
    std::snprintf(text, sizeof text, "%s%s", label, description);
    PrintAmountLine(text, amount, vat);
    if (quantity != 1000 || unitPrice > 0) {
        int64_t unit = unitPrice > 0 ? unitPrice : DivideRounded(price * 1000, quantity);
        char q[24], u[24];
        FormatQuantity(quantity, q, sizeof q);
        FormatMoney(DivideRounded(unit, 10) * 10, u, sizeof u);
        std::snprintf(text, sizeof text, "  %s%s%s x %s", q, unitName[0] ? " " : "", unitName, u);
        paper.Line(text);
    }
    if (refund) {
        std::snprintf(text, sizeof text, "  Ref. %s", reference);
        paper.Line(text);
    }
    paper.LineIfAny(r.Field(9));
    return 0;
}

int32_t PrinterModel::PrintRecItem(const RequestLine& r) {
    if (state != DocumentState::Receipt) return EFP_WRONG_STATE;
    if (CashReceipt()) return EFP_ILLEGAL_COMMAND;
    // On a refund receipt every item is a refunded one.
    bool refundReceipt = receipt.type == kReceiptRefund;
    return RegisterItem(r, refundReceipt ? -1 : 1, false, "");
}

int32_t PrinterModel::PrintRecItemCorrection(const RequestLine& r) {
    if (state != DocumentState::Receipt) return EFP_WRONG_STATE;
    if (CashReceipt()) return EFP_ILLEGAL_COMMAND;
    bool refundReceipt = receipt.type == kReceiptRefund;
    return RegisterItem(r, refundReceipt ? -1 : 1, true, "CORR. ");
}

int32_t PrinterModel::PrintRecItemRefund(const RequestLine& r) {
    if (state != DocumentState::Receipt) return EFP_WRONG_STATE;
    if (CashReceipt() || receipt.type == kReceiptRefund) return EFP_ILLEGAL_COMMAND;
    return RegisterItem(r, -1, false, "REFUND ");
}

int32_t PrinterModel::PrintRecItemRefundCorrection(const RequestLine& r) {
    if (state != DocumentState::Receipt) return EFP_WRONG_STATE;
    if (CashReceipt() || receipt.type == kReceiptRefund) return EFP_ILLEGAL_COMMAND;
    return RegisterItem(r, -1, true, "CORR. REFUND ");
}

int32_t PrinterModel::PrintRecItemAdjustment(const RequestLine& r) {
    if (int32_t e = SaleBodyState()) return e;
    int64_t type = 0, amount = 0;
    int32_t vat = 0;
    if (!ParseInteger(r.Field(0), 1, 2, type)) return E_ILLEGAL;
    if (!ItemText(r.Field(1))) return EFP_BAD_DESCRIPTION;
    if (int32_t e = ReadPositiveCents(r.Field(2), amount)) return e;
    if (int32_t e = ReadVat(r.Field(3), r.Field(4), vat)) return e;
    if (!ItemText(r.Field(5)) || !ItemText(r.Field(6))) return EFP_BAD_DESCRIPTION;
    bool discount = type == 1;
    if (int32_t e = ApplyToVat(vat, discount ? -amount : amount, discount ? kDiscount : kSale))
        return e;
    (discount ? receipt.discounts : receipt.sales)[vat] += amount;
    paper.LineIfAny(r.Field(5));
    const char* text = r.Field(1)[0] ? r.Field(1) : (discount ? "Discount" : "Surcharge");
    PrintAmountLine(text, discount ? -amount : amount, vat);
    paper.LineIfAny(r.Field(6));
    return 0;
}

int32_t PrinterModel::PrintRecPackageAdjustment(const RequestLine& r) {
    if (int32_t e = SaleBodyState()) return e;
    int64_t type = 0;
    if (!ParseInteger(r.Field(0), 1, 2, type)) return E_ILLEGAL;
    if (!ItemText(r.Field(1))) return EFP_BAD_DESCRIPTION;

    // "1,0.50;3,1.20": VAT id and amount pairs.
    int64_t amounts[kVatCount] = {};
    bool seen[kVatCount] = {};
    int entries = 0;
    bool anyNonZero = false;
    const char* p = r.Field(2);
    while (*p) {
        char entry[48];
        size_t n = std::strcspn(p, ";");
        if (n >= sizeof entry) return EFP_DATA_TYPE;
        std::memcpy(entry, p, n);
        entry[n] = 0;
        p += n;
        if (*p == ';') ++p;
        if (++entries > kVatCount) return E_ILLEGAL;
        char* comma = std::strchr(entry, ',');
        if (!comma) return EFP_DATA_TYPE;
        *comma = 0;
        int32_t vat = VatIndex(entry);
        if (vat < 0) return EFP_BAD_VAT;
        if (seen[vat]) return E_ILLEGAL;
        seen[vat] = true;
        int64_t amount = 0;
        if (int32_t e = ReadAmount(comma + 1, amount)) return e;
        if (amount < 0 || !IsCents(amount)) return EFP_BAD_AMOUNT;
        amounts[vat] = amount;
        anyNonZero = anyNonZero || amount > 0;
    }
    if (!anyNonZero) return EFP_BAD_AMOUNT;
    if (!ItemText(r.Field(3)) || !ItemText(r.Field(4))) return EFP_BAD_DESCRIPTION;

    bool discount = type == 1;
    // All groups or none: check every one before booking.
    Receipt before = receipt;
    for (int v = 0; v < kVatCount; ++v) {
        if (!amounts[v]) continue;
        int32_t e =
            ApplyToVat(v, discount ? -amounts[v] : amounts[v], discount ? kDiscount : kSale);
        if (e) {
            receipt = before;
            return e;
        }
        (discount ? receipt.discounts : receipt.sales)[v] += amounts[v];
    }
    paper.LineIfAny(r.Field(3));
    paper.Line(r.Field(1)[0] ? r.Field(1) : (discount ? "Discount" : "Surcharge"));
    for (int v = 0; v < kVatCount; ++v) {
        if (!amounts[v]) continue;
        char text[32];
        std::snprintf(text, sizeof text, "  VAT %c", VatLetter(v + 1));
        PrintAmountLine(text, discount ? -amounts[v] : amounts[v], v);
    }
    paper.LineIfAny(r.Field(4));
    return 0;
}

int32_t PrinterModel::PrintRecItemSinglePurposeVoucher(const RequestLine& r) {
    if (int32_t e = SaleBodyState()) return e;
    int64_t amount = 0;
    int32_t vat = 0;
    if (int32_t e = ReadPositiveCents(r.Field(0), amount)) return e;
    if (VatIndex(r.Field(1)) < 0) return EFP_BAD_VAT;
    if (!r.Field(2)[0] || !ItemText(r.Field(2))) return EFP_BAD_DESCRIPTION;
    if (int32_t e = ReadVat(r.Field(1), r.Field(3), vat)) return e;
    if (!ItemText(r.Field(4)) || !ItemText(r.Field(5))) return EFP_BAD_DESCRIPTION;
    if (int32_t e = ApplyToVat(vat, amount, kSale)) return e;
    receipt.sales[vat] += amount;
    ++receipt.items;
    paper.LineIfAny(r.Field(4));
    char text[64];
    std::snprintf(text, sizeof text, "Voucher %s", r.Field(2));
    PrintAmountLine(text, amount, vat);
    paper.LineIfAny(r.Field(5));
    return 0;
}

int32_t PrinterModel::PrintRecAdvancePaymentDeduct(const RequestLine& r) {
    if (int32_t e = SaleBodyState()) return e;
    if (!ItemText(r.Field(0))) return EFP_BAD_DESCRIPTION;
    int64_t amount = 0;
    int32_t vat = 0;
    if (int32_t e = ReadPositiveCents(r.Field(1), amount)) return e;
    if (int32_t e = ReadVat(r.Field(2), r.Field(3), vat)) return e;
    if (!ItemText(r.Field(4)) || !ItemText(r.Field(5))) return EFP_BAD_DESCRIPTION;
    if (int32_t e = ApplyToVat(vat, -amount, kDiscount)) return e;
    receipt.discounts[vat] += amount;
    paper.LineIfAny(r.Field(4));
    PrintAmountLine(r.Field(0)[0] ? r.Field(0) : "Advance payment", -amount, vat);
    paper.LineIfAny(r.Field(5));
    return 0;
}

int32_t PrinterModel::PrintRecMessage(const RequestLine& r) {
    if (!InReceipt()) return EFP_WRONG_STATE;
    int64_t type = 0;
    if (!ParseInteger(r.Field(0), 1, 4, type)) return E_ILLEGAL;
    if (!ItemText(r.Field(1))) return EFP_BAD_DESCRIPTION;
    if (type == 2) {
        paper.Center(r.Field(1));
    } else {
        paper.Line(r.Field(1));
    }
    return 0;
}

void PrinterModel::VoidReceipt(const char* reason) {
    receipt.voided = true;
    state = DocumentState::Ending;
    paper.Rule();
    paper.Center("*** RECEIPT VOIDED ***");
    if (reason && reason[0]) paper.Center(reason);
}

int32_t PrinterModel::PrintRecSubtotal(const RequestLine& r) {
    if (state != DocumentState::Receipt) return EFP_WRONG_STATE;
    if (CashReceipt()) return EFP_ILLEGAL_COMMAND;
    int64_t amount = 0;
    bool check = r.Field(0)[0] != 0;
    if (check) {
        if (int32_t e = ReadAmount(r.Field(0), amount)) return e;
        if (!IsCents(amount)) return EFP_BAD_AMOUNT;
    }
    if (!ItemText(r.Field(1))) return EFP_BAD_DESCRIPTION;
    // The application's sum differs from the printer's: the receipt cannot be
    // trusted and is voided.
    if (check && amount != receipt.gross) {
        VoidReceipt("Subtotal differs");
        return E_ILLEGAL;
    }
    paper.Rule();
    PrintAmountLine("SUBTOTAL", receipt.gross, -1);
    paper.LineIfAny(r.Field(1));
    return 0;
}

// What printRecTotal and printRecTotalChange check alike once their amounts
// are read: the payment (fields 2..4), and the application's total, which
// must be the printer's own or the receipt is voided.
int32_t PrinterModel::CheckPayment(const RequestLine& r, int64_t total, int32_t& payment) {
    payment = PaymentIndex(r.Field(2));
    if (payment < 0) return EFP_BAD_PAYMENT;
    if (!ItemText(r.Field(3)) || !ItemText(r.Field(4))) return EFP_BAD_DESCRIPTION;
    if (total != receipt.gross) {
        VoidReceipt("Total differs");
        return E_ILLEGAL;
    }
    return receipt.payments >= kMaxPayments ? EFP_MAX_PAYMENT_CNT_EXCEEDED : 0;
}

void PrinterModel::PrintTotalLine() {
    paper.Rule('=');
    char text[32];
    std::snprintf(text, sizeof text, "TOTAL %s", settings.currency);
    PrintAmountLine(text, receipt.gross, -1);
}

int32_t PrinterModel::PrintRecTotal(const RequestLine& r) {
    if (state != DocumentState::Receipt && state != DocumentState::Total) return EFP_WRONG_STATE;
    if (CashReceipt() || receipt.items == 0 || receipt.gross < 0) return EFP_ILLEGAL_COMMAND;
    int64_t total = 0, payment = 0;
    if (int32_t e = ReadAmount(r.Field(0), total)) return e;
    if (int32_t e = ReadAmount(r.Field(1), payment)) return e;
    if (!IsCents(total) || payment < 0 || !IsCents(payment)) return EFP_BAD_AMOUNT;
    int32_t p = 0;
    if (int32_t e = CheckPayment(r, total, p)) return e;
    int64_t due = receipt.gross - receipt.paid;
    // 0 pays what is still due.
    if (payment == 0) payment = due;
    bool cash = settings.payments[p].type == kPaymentCash;
    if (payment > due && !cash) return EFP_BAD_CHANGE_TYPE;

    if (state == DocumentState::Receipt) PrintTotalLine();
    paper.LineIfAny(r.Field(3));
    PrintAmountLine(settings.payments[p].name, payment, -1);
    paper.LineIfAny(r.Field(4));
    receipt.paid += payment;
    receipt.paidBy[p] += payment;
    ++receipt.payments;
    if (receipt.paid >= receipt.gross) {
        receipt.change = receipt.paid - receipt.gross;
        receipt.changePayment = p;
        if (receipt.change > 0) PrintAmountLine("Change", receipt.change, -1);
        state = DocumentState::Ending;
    } else {
        state = DocumentState::Total;
    }
    return 0;
}

// A receipt whose total is negative pays money out: the change is the
// amount handed out, 0 or less, and never more than is due.
int32_t PrinterModel::PrintRecTotalChange(const RequestLine& r) {
    if (state != DocumentState::Receipt && state != DocumentState::Total) return EFP_WRONG_STATE;
    if (CashReceipt() || receipt.gross >= 0) return EFP_ILLEGAL_COMMAND;
    int64_t total = 0, change = 0;
    if (int32_t e = ReadAmount(r.Field(0), total)) return e;
    if (int32_t e = ReadAmount(r.Field(1), change)) return e;
    if (!IsCents(total) || !IsCents(change) || change > 0 || change < receipt.gross - receipt.paid)
        return EFP_BAD_AMOUNT;
    int32_t p = 0;
    if (int32_t e = CheckPayment(r, total, p)) return e;
    if (state == DocumentState::Receipt) PrintTotalLine();
    paper.LineIfAny(r.Field(3));
    char text[48];
    std::snprintf(text, sizeof text, "Paid out %s", settings.payments[p].name);
    PrintAmountLine(text, change, -1);
    paper.LineIfAny(r.Field(4));
    receipt.paid += change;
    receipt.paidBy[p] += change;
    ++receipt.payments;
    state = receipt.paid == receipt.gross ? DocumentState::Ending : DocumentState::Total;
    return 0;
}

int32_t PrinterModel::PrintRecCash(const RequestLine& r) {
    if (state != DocumentState::Receipt) return EFP_WRONG_STATE;
    if (!CashReceipt()) return EFP_ILLEGAL_COMMAND;
    int64_t amount = 0;
    if (!r.Field(0)[0]) return EFP_MISSING_PRM;
    if (!ParseAmount(r.Field(0), amount) || amount <= 0 || !IsCents(amount)) return EFP_BAD_AMOUNT;
    int32_t p = 0;
    if (r.Field(1)[0]) {
        int64_t id = 0;
        if (!ParseInteger(r.Field(1), INT32_MIN, INT32_MAX, id)) return E_ILLEGAL;
        p = PaymentIndex(r.Field(1));
        if (p < 0) return EFP_BAD_PAYMENT;
    }
    if (Magnitude(receipt.cash + amount) > kReceiptLimit) return EFP_REC_TOTAL_OVERFLOW;
    receipt.cash += amount;
    receipt.paidBy[p] += amount;
    ++receipt.items;
    PrintAmountLine(settings.payments[p].name, amount, -1);
    return 0;
}

int32_t PrinterModel::PrintRecVoid(const RequestLine& r) {
    if (state != DocumentState::Receipt && state != DocumentState::Total) return EFP_WRONG_STATE;
    if (!ItemText(r.Field(0))) return EFP_BAD_DESCRIPTION;
    VoidReceipt(r.Field(0));
    return 0;
}

int32_t PrinterModel::SetCustomer(const RequestLine& r) {
    if (state != DocumentState::Receipt) return EFP_WRONG_STATE;
    static const char* const kinds[] = {"ICO", "DIC", "IC DPH", "Customer ID"};
    int64_t type = 0;
    if (!ParseInteger(r.Field(0), 1, 4, type) || !Identifier(r.Field(1), 1, 20)) return E_ILLEGAL;
    char text[64];
    std::snprintf(text, sizeof text, "Customer %s: %s", kinds[type - 1], r.Field(1));
    paper.Line(text);
    return 0;
}

int32_t PrinterModel::SetParagon(const RequestLine& r) {
    if (state != DocumentState::Receipt || receipt.items > 0) return EFP_WRONG_STATE;
    int64_t number = 0, date = 0;
    if (!ParseInteger(r.Field(0), 1, 999999, number)) return E_ILLEGAL;
    if (!ParseDateTime(r.Field(1), date) || date > Now()) return EFP_BAD_DATE;
    char text[64], when[24];
    FormatDateTime(date, when, sizeof when);
    std::snprintf(text, sizeof text, "Paragon %" PRId64 " of %s", number, when);
    paper.Line(text);
    return 0;
}

int32_t PrinterModel::SetCustomerEmailAddress(const RequestLine& r) {
    if (state != DocumentState::Idle && state != DocumentState::Receipt) return EFP_WRONG_STATE;
    const char* address = r.Field(0);
    const char* at = std::strchr(address, '@');
    size_t length = std::strlen(address);
    bool ok = at && at != address && std::strchr(at + 1, '@') == nullptr &&
              std::strchr(at + 1, '.') != nullptr && address[length - 1] != '.' &&
              length < sizeof customerEmail;
    for (size_t i = 0; ok && i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(address[i]);
        ok = c > 0x20 && c < 0x7F;
    }
    if (!ok) return EFP_BAD_EMAIL_ADDRESS;
    std::snprintf(customerEmail, sizeof customerEmail, "%s", address);
    return 0;
}

void PrinterModel::PrintVatRecap() {
    paper.Rule();
    paper.Line("VAT  rate        base       VAT    gross");
    for (int v = 0; v < kVatCount; ++v) {
        int64_t gross = receipt.vatGross[v];
        if (gross == 0) continue;
        int64_t tax = DivideRounded(gross * settings.vat[v].rate, 10000 + settings.vat[v].rate);
        tax = DivideRounded(tax, 10) * 10;
        char rate[16], base[24], vat[24], sum[24], line[96];
        std::snprintf(rate, sizeof rate, "%d.%02d%%", settings.vat[v].rate / 100,
                      settings.vat[v].rate % 100);
        FormatMoney(gross - tax, base, sizeof base);
        FormatMoney(tax, vat, sizeof vat);
        FormatMoney(gross, sum, sizeof sum);
        std::snprintf(line, sizeof line, "%c %7s %11s %9s %8s", VatLetter(v + 1), rate, base, vat,
                      sum);
        paper.Line(line);
    }
}

void PrinterModel::PrintReceiptEnd() {
    char text[96], when[24];
    if (!CashReceipt()) PrintVatRecap();
    paper.Rule();
    FormatDateTime(lastReceipt.time, when, sizeof when);
    std::snprintf(text, sizeof text, "Receipt No. %u", lastReceipt.receiptNumber);
    paper.LeftRight(text, when);
    std::snprintf(text, sizeof text, "Serial %s", settings.serialNumber);
    paper.Line(text);
    if (lastReceipt.ids.uid[0]) {
        paper.Line("UID:");
        paper.Line(lastReceipt.ids.uid);
    } else {
        paper.Line("Registered offline");
    }
    // The control code is wider than the paper: cut it after its third group.
    char first[32];
    std::snprintf(first, sizeof first, "%.27s", lastReceipt.ids.okp);
    std::snprintf(text, sizeof text, "OKP: %s", first);
    paper.Line(text);
    if (std::strlen(lastReceipt.ids.okp) > 27) {
        std::snprintf(text, sizeof text, "     %s", lastReceipt.ids.okp + 27);
        paper.Line(text);
    }
    if (customerEmail[0]) {
        std::snprintf(text, sizeof text, "Sent to %s", customerEmail);
        paper.Line(text);
    }
}

int32_t PrinterModel::EndFiscalReceipt(const RequestLine& r) {
    int64_t separation = 0;
    if (!ParseInteger(r.Field(0), 0, 1, separation)) return BadField(r.Field(0));
    bool cashDone = CashReceipt() && state == DocumentState::Receipt && receipt.items > 0;
    if (state != DocumentState::Ending && !cashDone) return EFP_WRONG_STATE;

    int64_t now = Now();
    if (receipt.voided) {
        if (!training) {
            ++daily.voided;
            ++grand.voided;
        }
        NoteTransaction(receipt.transactionId, kTransactionVoided);
    } else if (training) {
        paper.Rule();
        paper.Center("TRAINING - NOT A FISCAL DOCUMENT");
        NoteTransaction(receipt.transactionId, kTransactionDone);
    } else {
        CivilTime civil = CivilFromSeconds(now);
        int32_t month = civil.year * 12 + civil.month - 1;
        if (month != counters.monthKey) {
            counters.monthKey = month;
            counters.monthlyNumber = 0;
        }
        ++counters.receiptNumber;
        ++counters.monthlyNumber;
        for (Totals* t : {&daily, &grand}) {
            for (int v = 0; v < kVatCount; ++v) {
                t->sales[v] += receipt.sales[v];
                t->refunds[v] += receipt.refunds[v];
                t->discounts[v] += receipt.discounts[v];
            }
            // Cash moved by deposit and withdrawal receipts is kept apart
            // from what sales took.
            if (receipt.type == kReceiptDeposit) {
                t->deposits += receipt.cash;
            } else if (receipt.type == kReceiptWithdrawal) {
                t->withdrawals += receipt.cash;
            } else {
                for (int p = 0; p < kPaymentCount; ++p)
                    t->payments[p] += receipt.paidBy[p];
                t->payments[receipt.changePayment] -= receipt.change;
            }
            ++t->receipts;
            ++t->receiptsByType[receipt.type - 1];
            t->items += static_cast<uint32_t>(receipt.items);
        }

        lastReceipt.present = true;
        lastReceipt.time = now;
        lastReceipt.monthlyNumber = counters.monthlyNumber;
        lastReceipt.receiptNumber = counters.receiptNumber;
        lastReceipt.status = settings.onlineRegistration ? 1 : 0;
        uint64_t seed = MixSeed(0x4B56, static_cast<uint64_t>(now));
        seed = MixSeed(seed, counters.receiptNumber);
        seed = MixSeed(seed, static_cast<uint64_t>(receipt.gross));
        for (const char* c = settings.serialNumber; *c; ++c)
            seed = MixSeed(seed, *c);
        MakeFiscalIds(seed, settings.onlineRegistration, lastReceipt.ids);
        if (!settings.onlineRegistration) ++counters.unsentMessages;
        PrintReceiptEnd();
        NoteTransaction(receipt.transactionId, kTransactionDone);
    }
    PrintTrailer();
    EndDocument(separation != 0);
    if (!training && !receipt.voided) lastReceiptText = paper.LastDocument();
    state = DocumentState::Idle;
    customerEmail[0] = 0;
    return 0;
}

} // namespace korvo::sim
