#include "ReceiptRequestCases.h"

#include <climits>

#include "korvocomm.h"

namespace korvo::test {

namespace {

// A request line with parameters; \t in the expected texts is written out.
std::string Req(const char* shortName, const std::string& params) {
    return std::string(shortName) + "\tREQ\t" + params + "\n";
}

std::string Bare(const char* shortName) {
    return std::string(shortName) + "\tREQ\n";
}

constexpr const char* N = nullptr;

std::vector<ReceiptRequestCase> MakeCases() {
    return {
        // Documents.
        {"header lines",
         [](int h) {
             return SendTextLogo(h, 1, "Shop", "Street 1", "", "", "", "", "", "", "Thanks");
         },
         Req("sHL", "Shop\tStreet 1\t\t\t\t\t\t\tThanks")},
        {"trailer lines all none",
         [](int h) { return SendTextLogo(h, 2, N, N, N, N, N, N, N, N, N); },
         Req("sTL", "\t\t\t\t\t\t\t\t")},
        {"begin receipt", [](int h) { return BeginReceipt(h, 1, 0, "T-42"); },
         Req("bFR", "1\t0\tT-42")},
        {"begin receipt without transaction", [](int h) { return BeginReceipt(h, 2, -1, N); },
         Req("bFR", "2\t-1\t")},
        {"end receipt", [](int h) { return EndFiscalReceipt(h, 1); }, Req("eFR", "1")},
        {"end receipt, any non-zero byte is true", [](int h) { return EndFiscalReceipt(h, 0x80); },
         Req("eFR", "1")},
        {"end receipt without separation", [](int h) { return EndFiscalReceipt(h, 0); },
         Req("eFR", "0")},
        {"begin non-fiscal", [](int h) { return BeginNonFiscal(h); }, Bare("bNF")},
        {"print normal", [](int h) { return PrintNormal(h, "Hello\there"); },
         Req("pN", "Hello\there")},
        {"print normal without text", [](int h) { return PrintNormal(h, N); }, Req("pN", "")},
        {"print normal is not limited", [](int h) { return PrintNormal(h, Repeat(120).c_str()); },
         Req("pN", Repeat(120))},
        {"end non-fiscal", [](int h) { return EndNonFiscal(h, 0); }, Req("eNF", "0")},
        {"begin training", [](int h) { return BeginTraining(h); }, Bare("bT")},
        {"end training", [](int h) { return EndTraining(h); }, Bare("eT")},

        // Sale items.
        {"sale item num, the bread example",
         [](int h) { return SaleItemNum(h, 1, "Bread", 1250, 2000, 1, -1, 0, "", "", "", ""); },
         Req("pRI", "Bread\t1.250\t2.000\t1\t\t\t\t\t\t")},
        {"sale item num, negative price, quantity 1, unit price",
         [](int h) {
             return SaleItemNum(h, 1, "Milk", -1500, 1, 2, 0, 500, "pcs", "R-1", "pre", "post");
         },
         Req("pRI", "Milk\t-1.500\t0.001\t2\t0\t0.500\tpcs\tR-1\tpre\tpost")},
        {"sale item num, negative unit price left out",
         [](int h) { return SaleItemNum(h, 1, "Eggs", 7, 999, 7, 3, -5, N, N, N, N); },
         Req("pRI", "Eggs\t0.007\t0.999\t7\t3\t\t\t\t\t")},
        {"sale item txt, texts as given, regulation -2 empty",
         [](int h) {
             return SaleItemTxt(h, 1, "Tea", "1,5", " 2", 4, -2, "0.75", "kg", N, N, "x");
         },
         Req("pRI", "Tea\t1,5\t 2\t4\t\t0.75\tkg\t\t\tx")},
        {"refund",
         [](int h) { return SaleItemTxt(h, 3, "Tea", "1", "1", 1, 12, N, N, "R-9", N, N); },
         Req("pRIR", "Tea\t1\t1\t1\t12\t\t\tR-9\t\t")},
        {"correction",
         [](int h) { return SaleItemTxt(h, 5, "Tea", "1", "1", 1, -1, N, N, N, N, N); },
         Req("pRIC", "Tea\t1\t1\t1\t\t\t\t\t\t")},
        {"refund correction",
         [](int h) { return SaleItemTxt(h, 7, "Tea", "1", "-1", 1, -1, N, N, N, N, N); },
         Req("pRIRC", "Tea\t1\t-1\t1\t\t\t\t\t\t")},
        {"80-byte description is sent",
         [](int h) {
             return SaleItemTxt(h, 1, Repeat(80).c_str(), "1", "1", 1, -1, N, N, N, N, N);
         },
         Req("pRI", Repeat(80) + "\t1\t1\t1\t\t\t\t\t\t")},

        // Adjustments.
        {"item adjustment txt, regulation -2 empty",
         [](int h) { return ItemAdjustTxt(h, 1, "Discount", "-0.500", 1, -2, "", ""); },
         Req("pRIA", "1\tDiscount\t-0.500\t1\t\t\t")},
        {"item adjustment num",
         [](int h) { return ItemAdjustNum(h, 2, "Surcharge", 250, 7, 3, "p", "q"); },
         Req("pRIA", "2\tSurcharge\t0.250\t7\t3\tp\tq")},
        {"item adjustment num, negative amount, regulation -1",
         [](int h) { return ItemAdjustNum(h, 1, "Off", -2005, 3, -1, N, N); },
         Req("pRIA", "1\tOff\t-2.005\t3\t\t\t")},
        {"package adjustment txt, rates 1 and 3",
         [](int h) { return PackAdjustTxt(h, 1, "Bulk", "0.500", N, "1.200", "", N, N, N, N, N); },
         Req("pRPA", "1\tBulk\t1,0.500;3,1.200\t\t")},
        {"package adjustment txt, all rates",
         [](int h) {
             return PackAdjustTxt(h, 2, "All", "1", "2", "3", "4", "5", "6", "7", "a", "b");
         },
         Req("pRPA", "2\tAll\t1,1;2,2;3,3;4,4;5,5;6,6;7,7\ta\tb")},
        {"package adjustment num, rate 7 only",
         [](int h) { return PackAdjustNum(h, 2, "Promo", 0, 0, 0, 0, 0, 0, 250, N, N); },
         Req("pRPA", "2\tPromo\t7,0.250\t\t")},
        {"package adjustment num, nothing positive",
         [](int h) { return PackAdjustNum(h, 1, "None", 0, -100, 0, INT_MIN, 0, 0, 0, N, N); },
         Req("pRPA", "1\tNone\t\t\t")},
        {"package adjustment num, rates 1 and 3",
         [](int h) { return PackAdjustNum(h, 1, "Bulk", 500, 0, 1200, 0, 0, 0, 0, "pre", N); },
         Req("pRPA", "1\tBulk\t1,0.500;3,1.200\tpre\t")},

        // Single-purpose vouchers: the amount goes before the identifier.
        {"voucher txt, regulation -2 sent, VAT 8 left to the printer",
         [](int h) { return SinglePurposeVoucherTxt(h, "V-17", "5.000", 8, -2, "", ""); },
         Req("pRISPV", "5.000\t8\tV-17\t-2\t\t")},
        {"voucher txt, regulation -1 empty, VAT 0 left to the printer",
         [](int h) { return SinglePurposeVoucherTxt(h, "V-18", "1", 0, -1, N, "end"); },
         Req("pRISPV", "1\t0\tV-18\t\t\tend")},
        {"voucher num",
         [](int h) { return SinglePurposeVoucherNum(h, "V-19", -5000, 2, 4, "a", "b"); },
         Req("pRISPV", "-5.000\t2\tV-19\t4\ta\tb")},

        // Subtotal.
        {"subtotal num 0", [](int h) { return PrintSubtotalNum(h, 0, N); }, Req("pRS", "0.000\t")},
        {"subtotal txt both none", [](int h) { return PrintSubtotalTxt(h, N, N); },
         Req("pRS", "\t")},
        {"subtotal txt", [](int h) { return PrintSubtotalTxt(h, "12.30", "Thank you"); },
         Req("pRS", "12.30\tThank you")},

        // Payments.
        {"payment num", [](int h) { return PaymentNum(h, 10000, 20000, "1", N, N); },
         Req("pRT", "10.000\t20.000\t1\t\t")},
        {"payment num, negative payment is change",
         [](int h) { return PaymentNum(h, 10000, -5000, "1", N, N); },
         Req("pRTC", "10.000\t-5.000\t1\t\t")},
        {"payment num, zero payment", [](int h) { return PaymentNum(h, 0, 0, "", "pre", "post"); },
         Req("pRT", "0.000\t0.000\t\tpre\tpost")},
        {"payment num, most negative amounts",
         [](int h) { return PaymentNum(h, INT_MIN, INT_MIN, "2", N, N); },
         Req("pRTC", "-2147483.648\t-2147483.648\t2\t\t")},
        {"payment txt, -0 is change", [](int h) { return PaymentTxt(h, "1", "-0", "1", N, N); },
         Req("pRTC", "1\t-0\t1\t\t")},
        {"payment txt, blank before minus is a payment",
         [](int h) { return PaymentTxt(h, "5", " -5", "3", N, N); }, Req("pRT", "5\t -5\t3\t\t")},
        {"payment txt, no payment", [](int h) { return PaymentTxt(h, N, N, N, N, N); },
         Req("pRT", "\t\t\t\t")},
        {"payment txt, 80-byte lines",
         [](int h) {
             return PaymentTxt(h, "1", "1", "1", Repeat(80).c_str(), Repeat(80, 'y').c_str());
         },
         Req("pRT", "1\t1\t1\t" + Repeat(80) + "\t" + Repeat(80, 'y'))},
        {"payment id txt, id -1",
         [](int h) { return PaymentIdTxt(h, "10.00", "10.00", -1, "a", "b"); },
         Req("pRT", "10.00\t10.00\t-1\ta\tb")},
        {"payment id txt, change", [](int h) { return PaymentIdTxt(h, "10", "-2.5", 1, N, N); },
         Req("pRTC", "10\t-2.5\t1\t\t")},
        {"payment id num", [](int h) { return PaymentIdNum(h, 1500, 2000, 7, N, N); },
         Req("pRT", "1.500\t2.000\t7\t\t")},
        {"payment id num, change", [](int h) { return PaymentIdNum(h, 1500, -1, 7, N, N); },
         Req("pRTC", "1.500\t-0.001\t7\t\t")},
        {"change txt, positive change still change",
         [](int h) { return PaymentChangeTxt(h, "10", "5.000", "1", N, N); },
         Req("pRTC", "10\t5.000\t1\t\t")},
        {"change num", [](int h) { return PaymentChangeNum(h, 10000, -500, "1", "x", ""); },
         Req("pRTC", "10.000\t-0.500\t1\tx\t")},
        {"change id txt", [](int h) { return PaymentChangeIdTxt(h, "3", "0", 0, N, N); },
         Req("pRTC", "3\t0\t0\t\t")},
        {"change id num", [](int h) { return PaymentChangeIdNum(h, 3000, 0, -4, N, N); },
         Req("pRTC", "3.000\t0.000\t-4\t\t")},

        // Messages.
        {"message", [](int h) { return PrintRecMessage(h, 2, "Have a nice day"); },
         Req("pRM", "2\tHave a nice day")},
        {"message none", [](int h) { return PrintRecMessage(h, 4, N); }, Req("pRM", "4\t")},
        {"message bytes as given", [](int h) { return PrintRecMessage(h, -1, "\x8a\xe1 \x9e"); },
         Req("pRM", "-1\t\x8a\xe1 \x9e")},
    };
}

} // namespace

const std::vector<ReceiptRequestCase>& ReceiptRequestCases() {
    static const std::vector<ReceiptRequestCase> cases = MakeCases();
    return cases;
}

} // namespace korvo::test
