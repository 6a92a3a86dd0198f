// The receipt exports of the document and its items: header and trailer
// lines, opening and closing documents, sale items, adjustments and
// single-purpose vouchers. Each one names its command and its fields; the
// checks and the sending are ReceiptRequest's.
#include "korvocomm.h"

#include "api/ReceiptFormat.h"

using namespace korvo;

namespace {

// Sale item types that the printer has a command for; the even ones have none.
const char* ItemCommand(int32_t itemType) {
    switch (itemType) {
    case 1:
        return "printRecItem";
    case 3:
        return "printRecItemRefund";
    case 5:
        return "printRecItemCorrection";
    case 7:
        return "printRecItemRefundCorrection";
    default:
        return nullptr;
    }
}

// Adjustment type 1 or 2 (sent as it is); any other chooses no command.
const char* AdjustmentCommand(int32_t adjustmentType, const char* command) {
    return adjustmentType == 1 || adjustmentType == 2 ? command : nullptr;
}

bool IsVatId(int32_t vatID) {
    return vatID >= 1 && vatID <= kVatRates;
}

// Items and item adjustments leave a negative special regulation empty.
Field ItemRegulation(int32_t specialRegulation) {
    return specialRegulation < 0 ? Field::Empty() : Field::Number(specialRegulation);
}

Field Separation(unsigned char separation) {
    return Field::Text(separation ? "1" : "0");
}

int32_t SaleItem(int32_t handle, int32_t itemType, const char* description, const char* price,
                 const char* quantity, int32_t vatID, int32_t specialRegulation,
                 const char* unitPrice, const char* unitName, const char* refReceiptID,
                 const char* preLine, const char* postLine) {
    const Field fields[] = {Field::Text(description),
                            Field::Text(price),
                            Field::Text(quantity),
                            Field::Number(vatID),
                            ItemRegulation(specialRegulation),
                            Field::Text(unitPrice),
                            Field::Text(unitName),
                            Field::Text(refReceiptID),
                            Field::Text(preLine),
                            Field::Text(postLine)};
    return ReceiptRequest::Send(handle, ItemCommand(itemType), IsVatId(vatID), fields);
}

int32_t ItemAdjust(int32_t handle, int32_t adjustmentType, const char* description,
                   const char* amount, int32_t vatID, int32_t specialRegulation,
                   const char* preLine, const char* postLine) {
    const Field fields[] = {
        Field::Number(adjustmentType), Field::Text(description),          Field::Text(amount),
        Field::Number(vatID),          ItemRegulation(specialRegulation), Field::Text(preLine),
        Field::Text(postLine)};
    return ReceiptRequest::Send(handle, AdjustmentCommand(adjustmentType, "printRecItemAdjustment"),
                                IsVatId(vatID), fields);
}

int32_t PackAdjust(int32_t handle, int32_t adjustmentType, const char* description,
                   const char* const (&vatAmounts)[kVatRates], const char* preLine,
                   const char* postLine) {
    const Field fields[] = {Field::Number(adjustmentType), Field::Text(description),
                            Field::VatList(vatAmounts), Field::Text(preLine),
                            Field::Text(postLine)};
    return ReceiptRequest::Send(
        handle, AdjustmentCommand(adjustmentType, "printRecPackageAdjustment"), true, fields);
}

// The voucher takes its identifier before the amount; the command wants the
// amount first. Its VAT id is the printer's to judge, and only -1 means no
// special regulation.
int32_t Voucher(int32_t handle, const char* voucherID, const char* amount, int32_t vatID,
                int32_t specialRegulation, const char* preLine, const char* postLine) {
    const Field fields[] = {
        Field::Text(amount),
        Field::Number(vatID),
        Field::Text(voucherID),
        specialRegulation == -1 ? Field::Empty() : Field::Number(specialRegulation),
        Field::Text(preLine),
        Field::Text(postLine)};
    return ReceiptRequest::Send(handle, "printRecItemSinglePurposeVoucher", true, fields);
}

} // namespace

extern "C" {

KORVO_API int KORVO_CALL SendTextLogo(int handle, int lineType, const char* line1,
                                      const char* line2, const char* line3, const char* line4,
                                      const char* line5, const char* line6, const char* line7,
                                      const char* line8, const char* line9) {
    const char* command = lineType == 1   ? "setHeaderLines"
                          : lineType == 2 ? "setTrailerLines"
                                          : nullptr;
    const Field fields[] = {Field::Text(line1), Field::Text(line2), Field::Text(line3),
                            Field::Text(line4), Field::Text(line5), Field::Text(line6),
                            Field::Text(line7), Field::Text(line8), Field::Text(line9)};
    return ReceiptRequest::Send(handle, command, true, fields);
}

KORVO_API int KORVO_CALL BeginReceipt(int handle, int fiscalReceiptType, int fiscalReceiptSettings,
                                      const char* transactionID) {
    const Field fields[] = {Field::Number(fiscalReceiptType), Field::Number(fiscalReceiptSettings),
                            Field::Text(transactionID)};
    return ReceiptRequest::Send(handle, "beginFiscalReceipt", true, fields);
}

KORVO_API int KORVO_CALL EndFiscalReceipt(int handle, unsigned char separation) {
    const Field fields[] = {Separation(separation)};
    return ReceiptRequest::Send(handle, "endFiscalReceipt", true, fields);
}

KORVO_API int KORVO_CALL BeginNonFiscal(int handle) {
    return SendCommand(handle, "beginNonFiscal", nullptr);
}

// The text goes out untouched and unchecked, none included.
KORVO_API int KORVO_CALL PrintNormal(int handle, const char* data) {
    return SendCommand(handle, "printNormal", data);
}

KORVO_API int KORVO_CALL EndNonFiscal(int handle, unsigned char separation) {
    const Field fields[] = {Separation(separation)};
    return ReceiptRequest::Send(handle, "endNonFiscal", true, fields);
}

KORVO_API int KORVO_CALL BeginTraining(int handle) {
    return SendCommand(handle, "beginTraining", nullptr);
}

KORVO_API int KORVO_CALL EndTraining(int handle) {
    return SendCommand(handle, "endTraining", nullptr);
}

KORVO_API int KORVO_CALL SaleItemTxt(int handle, int itemType, const char* description,
                                     const char* price, const char* quantity, int vatID,
                                     int specialRegulation, const char* unitPrice,
                                     const char* unitName, const char* refReceiptID,
                                     const char* preLine, const char* postLine) {
    return SaleItem(handle, itemType, description, price, quantity, vatID, specialRegulation,
                    unitPrice, unitName, refReceiptID, preLine, postLine);
}

KORVO_API int KORVO_CALL SaleItemNum(int handle, int itemType, const char* description, int price,
                                     int quantity, int vatID, int specialRegulation, int unitPrice,
                                     const char* unitName, const char* refReceiptID,
                                     const char* preLine, const char* postLine) {
    const Thousandths priceText(price), quantityText(quantity);
    const Thousandths unitPriceText = Thousandths::PositiveOrEmpty(unitPrice);
    return SaleItem(handle, itemType, description, priceText.text, quantityText.text, vatID,
                    specialRegulation, unitPriceText.text, unitName, refReceiptID, preLine,
                    postLine);
}

KORVO_API int KORVO_CALL ItemAdjustTxt(int handle, int adjustmentType, const char* description,
                                       const char* amount, int vatID, int specialRegulation,
                                       const char* preLine, const char* postLine) {
    return ItemAdjust(handle, adjustmentType, description, amount, vatID, specialRegulation,
                      preLine, postLine);
}

KORVO_API int KORVO_CALL ItemAdjustNum(int handle, int adjustmentType, const char* description,
                                       int amount, int vatID, int specialRegulation,
                                       const char* preLine, const char* postLine) {
    const Thousandths amountText(amount);
    return ItemAdjust(handle, adjustmentType, description, amountText.text, vatID,
                      specialRegulation, preLine, postLine);
}

KORVO_API int KORVO_CALL PackAdjustTxt(int handle, int adjustmentType, const char* description,
                                       const char* vatAmount1, const char* vatAmount2,
                                       const char* vatAmount3, const char* vatAmount4,
                                       const char* vatAmount5, const char* vatAmount6,
                                       const char* vatAmount7, const char* preLine,
                                       const char* postLine) {
    const char* const amounts[kVatRates] = {vatAmount1, vatAmount2, vatAmount3, vatAmount4,
                                            vatAmount5, vatAmount6, vatAmount7};
    return PackAdjust(handle, adjustmentType, description, amounts, preLine, postLine);
}

KORVO_API int KORVO_CALL PackAdjustNum(int handle, int adjustmentType, const char* description,
                                       int vatAmount1, int vatAmount2, int vatAmount3,
                                       int vatAmount4, int vatAmount5, int vatAmount6,
                                       int vatAmount7, const char* preLine, const char* postLine) {
    const Thousandths texts[kVatRates] = {
        Thousandths::PositiveOrEmpty(vatAmount1), Thousandths::PositiveOrEmpty(vatAmount2),
        Thousandths::PositiveOrEmpty(vatAmount3), Thousandths::PositiveOrEmpty(vatAmount4),
        Thousandths::PositiveOrEmpty(vatAmount5), Thousandths::PositiveOrEmpty(vatAmount6),
        Thousandths::PositiveOrEmpty(vatAmount7)};
    const char* const amounts[kVatRates] = {texts[0].text, texts[1].text, texts[2].text,
                                            texts[3].text, texts[4].text, texts[5].text,
                                            texts[6].text};
    return PackAdjust(handle, adjustmentType, description, amounts, preLine, postLine);
}

KORVO_API int KORVO_CALL SinglePurposeVoucherTxt(int handle, const char* voucherID,
                                                 const char* amount, int vatID,
                                                 int specialRegulation, const char* preLine,
                                                 const char* postLine) {
    return Voucher(handle, voucherID, amount, vatID, specialRegulation, preLine, postLine);
}

KORVO_API int KORVO_CALL SinglePurposeVoucherNum(int handle, const char* voucherID, int amount,
                                                 int vatID, int specialRegulation,
                                                 const char* preLine, const char* postLine) {
    const Thousandths amountText(amount);
    return Voucher(handle, voucherID, amountText.text, vatID, specialRegulation, preLine, postLine);
}

} // extern "C"
