// Fiscal receipts: begin, items and adjustments, subtotal, payments, void
// and end, with the printer's own result codes for wrong states and values.
#include "sim/model/ReceiptCommands.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "protocol/ResultCodes.h"
#include "sim/model/FiscalIds.h"
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
int32_t ReceiptCommands::ReadVat(const char* vatField, const char* regulation, int32_t& vat) const {
    vat = core.VatIndex(vatField);
    if (vat < 0) return EFP_BAD_VAT;
    return CheckSpecialRegulation(regulation, core.settings.vat[vat].flag == 0);
}

// Adjustments, vouchers and deducted advances belong to sale receipts.
int32_t ReceiptCommands::SaleBodyState() const {
    if (core.state != DocumentState::Receipt) return EFP_WRONG_STATE;
    return core.receipt.type == kReceiptSale ? 0 : EFP_ILLEGAL_COMMAND;
}

int32_t ReceiptCommands::BeginFiscalReceipt(const RequestLine& r) {
    if (core.state != DocumentState::Idle) return EFP_WRONG_STATE;
    int64_t type = 0, flags = 0;
    if (!ParseInteger(r.Field(0), 1, kReceiptTypes, type)) return E_ILLEGAL;
    if (!ParseInteger(r.Field(1), 0, 255, flags)) return core.BadField(r.Field(1));
    const char* transactionId = r.Field(2);
    if (transactionId[0] && !Identifier(transactionId, 1, 40)) return EFP_BAD_DESCRIPTION;
    if (core.training && (type == kReceiptDeposit || type == kReceiptWithdrawal))
        return EFP_ILLEGAL_COMMAND;
    if (core.InspectionBlocks()) return EFP_ILLEGAL_COMMAND;
    if (core.settings.updateFired) return EFP_FW_UPDATE_REQUEST;
    if ((flags & kSettingElectronic) && !core.settings.onlineRegistration) return EFP_NETWORK;

    core.receipt = Receipt{};
    core.receipt.type = static_cast<int32_t>(type);
    std::snprintf(core.receipt.transactionId, sizeof core.receipt.transactionId, "%s",
                  transactionId);
    core.NoteTransaction(core.receipt.transactionId, kTransactionOpen);
    core.state = DocumentState::Receipt;

    core.StartDocument();
    core.PrintHeader();
    if (core.training) core.paper.Center("TRAINING - NOT A FISCAL DOCUMENT");
    char left[64], right[48], date[16], time[8];
    int64_t now = core.Now();
    FormatDate(now, date, sizeof date);
    FormatTimeOfDay(now, time, sizeof time);
    std::snprintf(left, sizeof left, "%s", ReceiptTitle(core.receipt.type));
    std::snprintf(right, sizeof right, "Doc. %06u", core.counters.documentNumber);
    core.paper.LeftRight(left, right);
    std::snprintf(left, sizeof left, "POS %s", core.settings.posId);
    std::snprintf(right, sizeof right, "%s %s", date, time);
    core.paper.LeftRight(left, right);
    if (core.settings.cashierId[0]) {
        std::snprintf(left, sizeof left, "Cashier %s", core.settings.cashierId);
        core.paper.Line(left);
    }
    if (core.receipt.transactionId[0]) {
        std::snprintf(left, sizeof left, "Transaction %s", core.receipt.transactionId);
        core.paper.Line(left);
    }
    core.paper.Rule();
    return 0;
}

// Books a signed amount on one VAT group of the open receipt; a discount may
// not take a group below zero.
int32_t ReceiptCommands::ApplyToVat(int vat, int64_t signedAmount, int32_t kind) {
    int64_t group = core.receipt.vatGross[vat] + signedAmount;
    int64_t gross = core.receipt.gross + signedAmount;
    if (Magnitude(gross) > kReceiptLimit || Magnitude(group) > kReceiptLimit)
        return EFP_REC_TOTAL_OVERFLOW;
    if (kind == kDiscount && group < 0) return EFP_NEG_ITEMS_OVER;
    core.receipt.vatGross[vat] = group;
    core.receipt.gross = gross;
    return 0;
}

// The four item commands. sign is the direction of the item in this receipt
// (+1 a sale, -1 a refund); a correction takes back an item of that sign.
int32_t ReceiptCommands::RegisterItem(const RequestLine& r, int32_t sign, bool correction,
                                      const char* label) {
    const char* description = r.Field(0);
    const char* unitName = r.Field(6);
    const char* reference = r.Field(7);
    if (!core.ItemText(description) || !description[0]) return EFP_BAD_DESCRIPTION;
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
    if (!core.ItemText(r.Field(8)) || !core.ItemText(r.Field(9))) return EFP_BAD_DESCRIPTION;

    // A correction takes back no more than this receipt registered.
    int64_t* booked = refund ? core.receipt.refunds : core.receipt.sales;
    if (correction && booked[vat] < price) return EFP_NEG_ITEMS_OVER;
    int64_t amount = correction ? -sign * price : sign * price;
    if (int32_t e = ApplyToVat(vat, amount, kSale)) return e;
    booked[vat] += correction ? -price : price;
    if (!correction) ++core.receipt.items;

    core.paper.LineIfAny(r.Field(8));
    char text[96];
    std::snprintf(text, sizeof text, "%s%s", label, description);
    core.PrintAmountLine(text, amount, vat);
    if (quantity != 1000 || unitPrice > 0) {
        int64_t unit = unitPrice > 0 ? unitPrice : DivideRounded(price * 1000, quantity);
        char q[24], u[24];
        FormatQuantity(quantity, q, sizeof q);
        FormatMoney(DivideRounded(unit, 10) * 10, u, sizeof u);
        std::snprintf(text, sizeof text, "  %s%s%s x %s", q, unitName[0] ? " " : "", unitName, u);
        core.paper.Line(text);
    }
    if (refund) {
        std::snprintf(text, sizeof text, "  Ref. %s", reference);
        core.paper.Line(text);
    }
    core.paper.LineIfAny(r.Field(9));
    return 0;
}

int32_t ReceiptCommands::PrintRecItem(const RequestLine& r) {
    if (core.state != DocumentState::Receipt) return EFP_WRONG_STATE;
    if (core.CashReceipt()) return EFP_ILLEGAL_COMMAND;
    // On a refund receipt every item is a refunded one.
    bool refundReceipt = core.receipt.type == kReceiptRefund;
    return RegisterItem(r, refundReceipt ? -1 : 1, false, "");
}

int32_t ReceiptCommands::PrintRecItemCorrection(const RequestLine& r) {
    if (core.state != DocumentState::Receipt) return EFP_WRONG_STATE;
    if (core.CashReceipt()) return EFP_ILLEGAL_COMMAND;
    bool refundReceipt = core.receipt.type == kReceiptRefund;
    return RegisterItem(r, refundReceipt ? -1 : 1, true, "CORR. ");
}

int32_t ReceiptCommands::PrintRecItemRefund(const RequestLine& r) {
    if (core.state != DocumentState::Receipt) return EFP_WRONG_STATE;
    if (core.CashReceipt() || core.receipt.type == kReceiptRefund) return EFP_ILLEGAL_COMMAND;
    return RegisterItem(r, -1, false, "REFUND ");
}

int32_t ReceiptCommands::PrintRecItemRefundCorrection(const RequestLine& r) {
    if (core.state != DocumentState::Receipt) return EFP_WRONG_STATE;
    if (core.CashReceipt() || core.receipt.type == kReceiptRefund) return EFP_ILLEGAL_COMMAND;
    return RegisterItem(r, -1, true, "CORR. REFUND ");
}

int32_t ReceiptCommands::PrintRecItemAdjustment(const RequestLine& r) {
    if (int32_t e = SaleBodyState()) return e;
    int64_t type = 0, amount = 0;
    int32_t vat = 0;
    if (!ParseInteger(r.Field(0), 1, 2, type)) return E_ILLEGAL;
    if (!core.ItemText(r.Field(1))) return EFP_BAD_DESCRIPTION;
    if (int32_t e = ReadPositiveCents(r.Field(2), amount)) return e;
    if (int32_t e = ReadVat(r.Field(3), r.Field(4), vat)) return e;
    if (!core.ItemText(r.Field(5)) || !core.ItemText(r.Field(6))) return EFP_BAD_DESCRIPTION;
    bool discount = type == 1;
    if (int32_t e = ApplyToVat(vat, discount ? -amount : amount, discount ? kDiscount : kSale))
        return e;
    (discount ? core.receipt.discounts : core.receipt.sales)[vat] += amount;
    core.paper.LineIfAny(r.Field(5));
    const char* text = r.Field(1)[0] ? r.Field(1) : (discount ? "Discount" : "Surcharge");
    core.PrintAmountLine(text, discount ? -amount : amount, vat);
    core.paper.LineIfAny(r.Field(6));
    return 0;
}

int32_t ReceiptCommands::PrintRecPackageAdjustment(const RequestLine& r) {
    if (int32_t e = SaleBodyState()) return e;
    int64_t type = 0;
    if (!ParseInteger(r.Field(0), 1, 2, type)) return E_ILLEGAL;
    if (!core.ItemText(r.Field(1))) return EFP_BAD_DESCRIPTION;

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
        int32_t vat = core.VatIndex(entry);
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
    if (!core.ItemText(r.Field(3)) || !core.ItemText(r.Field(4))) return EFP_BAD_DESCRIPTION;

    bool discount = type == 1;
    // All groups or none: check every one before booking.
    Receipt before = core.receipt;
    for (int v = 0; v < kVatCount; ++v) {
        if (!amounts[v]) continue;
        int32_t e =
            ApplyToVat(v, discount ? -amounts[v] : amounts[v], discount ? kDiscount : kSale);
        if (e) {
            core.receipt = before;
            return e;
        }
        (discount ? core.receipt.discounts : core.receipt.sales)[v] += amounts[v];
    }
    core.paper.LineIfAny(r.Field(3));
    core.paper.Line(r.Field(1)[0] ? r.Field(1) : (discount ? "Discount" : "Surcharge"));
    for (int v = 0; v < kVatCount; ++v) {
        if (!amounts[v]) continue;
        char text[32];
        std::snprintf(text, sizeof text, "  VAT %c", VatLetter(v + 1));
        core.PrintAmountLine(text, discount ? -amounts[v] : amounts[v], v);
    }
    core.paper.LineIfAny(r.Field(4));
    return 0;
}

int32_t ReceiptCommands::PrintRecItemSinglePurposeVoucher(const RequestLine& r) {
    if (int32_t e = SaleBodyState()) return e;
    int64_t amount = 0;
    int32_t vat = 0;
    if (int32_t e = ReadPositiveCents(r.Field(0), amount)) return e;
    if (core.VatIndex(r.Field(1)) < 0) return EFP_BAD_VAT;
    if (!r.Field(2)[0] || !core.ItemText(r.Field(2))) return EFP_BAD_DESCRIPTION;
    if (int32_t e = ReadVat(r.Field(1), r.Field(3), vat)) return e;
    if (!core.ItemText(r.Field(4)) || !core.ItemText(r.Field(5))) return EFP_BAD_DESCRIPTION;
    if (int32_t e = ApplyToVat(vat, amount, kSale)) return e;
    core.receipt.sales[vat] += amount;
    ++core.receipt.items;
    core.paper.LineIfAny(r.Field(4));
    char text[64];
    std::snprintf(text, sizeof text, "Voucher %s", r.Field(2));
    core.PrintAmountLine(text, amount, vat);
    core.paper.LineIfAny(r.Field(5));
    return 0;
}

int32_t ReceiptCommands::PrintRecAdvancePaymentDeduct(const RequestLine& r) {
    if (int32_t e = SaleBodyState()) return e;
    if (!core.ItemText(r.Field(0))) return EFP_BAD_DESCRIPTION;
    int64_t amount = 0;
    int32_t vat = 0;
    if (int32_t e = ReadPositiveCents(r.Field(1), amount)) return e;
    if (int32_t e = ReadVat(r.Field(2), r.Field(3), vat)) return e;
    if (!core.ItemText(r.Field(4)) || !core.ItemText(r.Field(5))) return EFP_BAD_DESCRIPTION;
    if (int32_t e = ApplyToVat(vat, -amount, kDiscount)) return e;
    core.receipt.discounts[vat] += amount;
    core.paper.LineIfAny(r.Field(4));
    core.PrintAmountLine(r.Field(0)[0] ? r.Field(0) : "Advance payment", -amount, vat);
    core.paper.LineIfAny(r.Field(5));
    return 0;
}

int32_t ReceiptCommands::PrintRecMessage(const RequestLine& r) {
    if (!core.InReceipt()) return EFP_WRONG_STATE;
    int64_t type = 0;
    if (!ParseInteger(r.Field(0), 1, 4, type)) return E_ILLEGAL;
    if (!core.ItemText(r.Field(1))) return EFP_BAD_DESCRIPTION;
    if (type == 2) {
        core.paper.Center(r.Field(1));
    } else {
        core.paper.Line(r.Field(1));
    }
    return 0;
}

void ReceiptCommands::VoidReceipt(const char* reason) {
    core.receipt.voided = true;
    core.state = DocumentState::Ending;
    core.paper.Rule();
    core.paper.Center("*** RECEIPT VOIDED ***");
    if (reason && reason[0]) core.paper.Center(reason);
}

int32_t ReceiptCommands::PrintRecSubtotal(const RequestLine& r) {
    if (core.state != DocumentState::Receipt) return EFP_WRONG_STATE;
    if (core.CashReceipt()) return EFP_ILLEGAL_COMMAND;
    int64_t amount = 0;
    bool check = r.Field(0)[0] != 0;
    if (check) {
        if (int32_t e = ReadAmount(r.Field(0), amount)) return e;
        if (!IsCents(amount)) return EFP_BAD_AMOUNT;
    }
    if (!core.ItemText(r.Field(1))) return EFP_BAD_DESCRIPTION;
    // The application's sum differs from the printer's: the receipt cannot be
    // trusted and is voided.
    if (check && amount != core.receipt.gross) {
        VoidReceipt("Subtotal differs");
        return E_ILLEGAL;
    }
    core.paper.Rule();
    core.PrintAmountLine("SUBTOTAL", core.receipt.gross, -1);
    core.paper.LineIfAny(r.Field(1));
    return 0;
}

// What printRecTotal and printRecTotalChange check alike once their amounts
// are read: the payment (fields 2..4), and the application's total, which
// must be the printer's own or the receipt is voided.
int32_t ReceiptCommands::CheckPayment(const RequestLine& r, int64_t total, int32_t& payment) {
    payment = core.PaymentIndex(r.Field(2));
    if (payment < 0) return EFP_BAD_PAYMENT;
    if (!core.ItemText(r.Field(3)) || !core.ItemText(r.Field(4))) return EFP_BAD_DESCRIPTION;
    if (total != core.receipt.gross) {
        VoidReceipt("Total differs");
        return E_ILLEGAL;
    }
    return core.receipt.payments >= kMaxPayments ? EFP_MAX_PAYMENT_CNT_EXCEEDED : 0;
}

void ReceiptCommands::PrintTotalLine() {
    core.paper.Rule('=');
    char text[32];
    std::snprintf(text, sizeof text, "TOTAL %s", core.settings.currency);
    core.PrintAmountLine(text, core.receipt.gross, -1);
}

int32_t ReceiptCommands::PrintRecTotal(const RequestLine& r) {
    if (core.state != DocumentState::Receipt && core.state != DocumentState::Total)
        return EFP_WRONG_STATE;
    if (core.CashReceipt() || core.receipt.items == 0 || core.receipt.gross < 0)
        return EFP_ILLEGAL_COMMAND;
    int64_t total = 0, payment = 0;
    if (int32_t e = ReadAmount(r.Field(0), total)) return e;
    if (int32_t e = ReadAmount(r.Field(1), payment)) return e;
    if (!IsCents(total) || payment < 0 || !IsCents(payment)) return EFP_BAD_AMOUNT;
    int32_t p = 0;
    if (int32_t e = CheckPayment(r, total, p)) return e;
    int64_t due = core.receipt.gross - core.receipt.paid;
    // 0 pays what is still due.
    if (payment == 0) payment = due;
    bool cash = core.settings.payments[p].type == kPaymentCash;
    if (payment > due && !cash) return EFP_BAD_CHANGE_TYPE;

    if (core.state == DocumentState::Receipt) PrintTotalLine();
    core.paper.LineIfAny(r.Field(3));
    core.PrintAmountLine(core.settings.payments[p].name, payment, -1);
    core.paper.LineIfAny(r.Field(4));
    core.receipt.paid += payment;
    core.receipt.paidBy[p] += payment;
    ++core.receipt.payments;
    if (core.receipt.paid >= core.receipt.gross) {
        core.receipt.change = core.receipt.paid - core.receipt.gross;
        core.receipt.changePayment = p;
        if (core.receipt.change > 0) core.PrintAmountLine("Change", core.receipt.change, -1);
        core.state = DocumentState::Ending;
    } else {
        core.state = DocumentState::Total;
    }
    return 0;
}

// A receipt whose total is negative pays money out: the change is the
// amount handed out, 0 or less, and never more than is due.
int32_t ReceiptCommands::PrintRecTotalChange(const RequestLine& r) {
    if (core.state != DocumentState::Receipt && core.state != DocumentState::Total)
        return EFP_WRONG_STATE;
    if (core.CashReceipt() || core.receipt.gross >= 0) return EFP_ILLEGAL_COMMAND;
    int64_t total = 0, change = 0;
    if (int32_t e = ReadAmount(r.Field(0), total)) return e;
    if (int32_t e = ReadAmount(r.Field(1), change)) return e;
    if (!IsCents(total) || !IsCents(change) || change > 0 ||
        change < core.receipt.gross - core.receipt.paid)
        return EFP_BAD_AMOUNT;
    int32_t p = 0;
    if (int32_t e = CheckPayment(r, total, p)) return e;
    if (core.state == DocumentState::Receipt) PrintTotalLine();
    core.paper.LineIfAny(r.Field(3));
    char text[48];
    std::snprintf(text, sizeof text, "Paid out %s", core.settings.payments[p].name);
    core.PrintAmountLine(text, change, -1);
    core.paper.LineIfAny(r.Field(4));
    core.receipt.paid += change;
    core.receipt.paidBy[p] += change;
    ++core.receipt.payments;
    core.state =
        core.receipt.paid == core.receipt.gross ? DocumentState::Ending : DocumentState::Total;
    return 0;
}

int32_t ReceiptCommands::PrintRecCash(const RequestLine& r) {
    if (core.state != DocumentState::Receipt) return EFP_WRONG_STATE;
    if (!core.CashReceipt()) return EFP_ILLEGAL_COMMAND;
    int64_t amount = 0;
    if (!r.Field(0)[0]) return EFP_MISSING_PRM;
    if (!ParseAmount(r.Field(0), amount) || amount <= 0 || !IsCents(amount)) return EFP_BAD_AMOUNT;
    int32_t p = 0;
    if (r.Field(1)[0]) {
        int64_t id = 0;
        if (!ParseInteger(r.Field(1), INT32_MIN, INT32_MAX, id)) return E_ILLEGAL;
        p = core.PaymentIndex(r.Field(1));
        if (p < 0) return EFP_BAD_PAYMENT;
    }
    if (Magnitude(core.receipt.cash + amount) > kReceiptLimit) return EFP_REC_TOTAL_OVERFLOW;
    core.receipt.cash += amount;
    core.receipt.paidBy[p] += amount;
    ++core.receipt.items;
    core.PrintAmountLine(core.settings.payments[p].name, amount, -1);
    return 0;
}

int32_t ReceiptCommands::PrintRecVoid(const RequestLine& r) {
    if (core.state != DocumentState::Receipt && core.state != DocumentState::Total)
        return EFP_WRONG_STATE;
    if (!core.ItemText(r.Field(0))) return EFP_BAD_DESCRIPTION;
    VoidReceipt(r.Field(0));
    return 0;
}

int32_t ReceiptCommands::SetCustomer(const RequestLine& r) {
    if (core.state != DocumentState::Receipt) return EFP_WRONG_STATE;
    static const char* const kinds[] = {"ICO", "DIC", "IC DPH", "Customer ID"};
    int64_t type = 0;
    if (!ParseInteger(r.Field(0), 1, 4, type) || !Identifier(r.Field(1), 1, 20)) return E_ILLEGAL;
    char text[64];
    std::snprintf(text, sizeof text, "Customer %s: %s", kinds[type - 1], r.Field(1));
    core.paper.Line(text);
    return 0;
}

int32_t ReceiptCommands::SetParagon(const RequestLine& r) {
    if (core.state != DocumentState::Receipt || core.receipt.items > 0) return EFP_WRONG_STATE;
    int64_t number = 0, date = 0;
    if (!ParseInteger(r.Field(0), 1, 999999, number)) return E_ILLEGAL;
    if (!ParseDateTime(r.Field(1), date) || date > core.Now()) return EFP_BAD_DATE;
    char text[64], when[24];
    FormatDateTime(date, when, sizeof when);
    std::snprintf(text, sizeof text, "Paragon %" PRId64 " of %s", number, when);
    core.paper.Line(text);
    return 0;
}

int32_t ReceiptCommands::SetCustomerEmailAddress(const RequestLine& r) {
    if (core.state != DocumentState::Idle && core.state != DocumentState::Receipt)
        return EFP_WRONG_STATE;
    const char* address = r.Field(0);
    const char* at = std::strchr(address, '@');
    size_t length = std::strlen(address);
    bool ok = at && at != address && std::strchr(at + 1, '@') == nullptr &&
              std::strchr(at + 1, '.') != nullptr && address[length - 1] != '.' &&
              length < sizeof core.customerEmail;
    for (size_t i = 0; ok && i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(address[i]);
        ok = c > 0x20 && c < 0x7F;
    }
    if (!ok) return EFP_BAD_EMAIL_ADDRESS;
    std::snprintf(core.customerEmail, sizeof core.customerEmail, "%s", address);
    return 0;
}

void ReceiptCommands::PrintVatRecap() {
    core.paper.Rule();
    core.paper.Line("VAT  rate        base       VAT    gross");
    for (int v = 0; v < kVatCount; ++v) {
        int64_t gross = core.receipt.vatGross[v];
        if (gross == 0) continue;
        int64_t tax =
            DivideRounded(gross * core.settings.vat[v].rate, 10000 + core.settings.vat[v].rate);
        tax = DivideRounded(tax, 10) * 10;
        char rate[16], base[24], vat[24], sum[24], line[96];
        std::snprintf(rate, sizeof rate, "%d.%02d%%", core.settings.vat[v].rate / 100,
                      core.settings.vat[v].rate % 100);
        FormatMoney(gross - tax, base, sizeof base);
        FormatMoney(tax, vat, sizeof vat);
        FormatMoney(gross, sum, sizeof sum);
        std::snprintf(line, sizeof line, "%c %7s %11s %9s %8s", VatLetter(v + 1), rate, base, vat,
                      sum);
        core.paper.Line(line);
    }
}

void ReceiptCommands::PrintReceiptEnd() {
    char text[96], when[24];
    if (!core.CashReceipt()) PrintVatRecap();
    core.paper.Rule();
    FormatDateTime(core.lastReceipt.time, when, sizeof when);
    std::snprintf(text, sizeof text, "Receipt No. %u", core.lastReceipt.receiptNumber);
    core.paper.LeftRight(text, when);
    std::snprintf(text, sizeof text, "Serial %s", core.settings.serialNumber);
    core.paper.Line(text);
    if (core.lastReceipt.ids.uid[0]) {
        core.paper.Line("UID:");
        core.paper.Line(core.lastReceipt.ids.uid);
    } else {
        core.paper.Line("Registered offline");
    }
    // The control code is wider than the paper: cut it after its third group.
    char first[32];
    std::snprintf(first, sizeof first, "%.27s", core.lastReceipt.ids.okp);
    std::snprintf(text, sizeof text, "OKP: %s", first);
    core.paper.Line(text);
    if (std::strlen(core.lastReceipt.ids.okp) > 27) {
        std::snprintf(text, sizeof text, "     %s", core.lastReceipt.ids.okp + 27);
        core.paper.Line(text);
    }
    if (core.customerEmail[0]) {
        std::snprintf(text, sizeof text, "Sent to %s", core.customerEmail);
        core.paper.Line(text);
    }
}

int32_t ReceiptCommands::EndFiscalReceipt(const RequestLine& r) {
    int64_t separation = 0;
    if (!ParseInteger(r.Field(0), 0, 1, separation)) return core.BadField(r.Field(0));
    bool cashDone =
        core.CashReceipt() && core.state == DocumentState::Receipt && core.receipt.items > 0;
    if (core.state != DocumentState::Ending && !cashDone) return EFP_WRONG_STATE;

    int64_t now = core.Now();
    if (core.receipt.voided) {
        if (!core.training) {
            ++core.daily.voided;
            ++core.grand.voided;
        }
        core.NoteTransaction(core.receipt.transactionId, kTransactionVoided);
    } else if (core.training) {
        core.paper.Rule();
        core.paper.Center("TRAINING - NOT A FISCAL DOCUMENT");
        core.NoteTransaction(core.receipt.transactionId, kTransactionDone);
    } else {
        CivilTime civil = CivilFromSeconds(now);
        int32_t month = civil.year * 12 + civil.month - 1;
        if (month != core.counters.monthKey) {
            core.counters.monthKey = month;
            core.counters.monthlyNumber = 0;
        }
        ++core.counters.receiptNumber;
        ++core.counters.monthlyNumber;
        for (Totals* t : {&core.daily, &core.grand}) {
            for (int v = 0; v < kVatCount; ++v) {
                t->sales[v] += core.receipt.sales[v];
                t->refunds[v] += core.receipt.refunds[v];
                t->discounts[v] += core.receipt.discounts[v];
            }
            // Cash moved by deposit and withdrawal receipts is kept apart
            // from what sales took.
            if (core.receipt.type == kReceiptDeposit) {
                t->deposits += core.receipt.cash;
            } else if (core.receipt.type == kReceiptWithdrawal) {
                t->withdrawals += core.receipt.cash;
            } else {
                for (int p = 0; p < kPaymentCount; ++p)
                    t->payments[p] += core.receipt.paidBy[p];
                t->payments[core.receipt.changePayment] -= core.receipt.change;
            }
            ++t->receipts;
            ++t->receiptsByType[core.receipt.type - 1];
            t->items += static_cast<uint32_t>(core.receipt.items);
        }

        core.lastReceipt.present = true;
        core.lastReceipt.time = now;
        core.lastReceipt.monthlyNumber = core.counters.monthlyNumber;
        core.lastReceipt.receiptNumber = core.counters.receiptNumber;
        core.lastReceipt.status = core.settings.onlineRegistration ? 1 : 0;
        uint64_t seed = MixSeed(0x4B56, static_cast<uint64_t>(now));
        seed = MixSeed(seed, core.counters.receiptNumber);
        seed = MixSeed(seed, static_cast<uint64_t>(core.receipt.gross));
        for (const char* c = core.settings.serialNumber; *c; ++c)
            seed = MixSeed(seed, *c);
        MakeFiscalIds(seed, core.settings.onlineRegistration, core.lastReceipt.ids);
        if (!core.settings.onlineRegistration) ++core.counters.unsentMessages;
        PrintReceiptEnd();
        core.NoteTransaction(core.receipt.transactionId, kTransactionDone);
    }
    core.PrintTrailer();
    core.EndDocument(separation != 0);
    if (!core.training && !core.receipt.voided) core.lastReceiptText = core.paper.LastDocument();
    core.state = DocumentState::Idle;
    core.customerEmail[0] = 0;
    return 0;
}

} // namespace korvo::sim
