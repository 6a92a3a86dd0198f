// Documents other than receipts (non-fiscal text, reports, duplicates,
// bar codes), training mode, and the printer's peripherals.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "protocol/ResultCodes.h"
#include "sim/model/PrinterModel.h"
#include "sim/values/Amount.h"
#include "sim/values/CivilTime.h"

namespace korvo::sim {

namespace {

bool Flag(const char* field, int64_t& value) {
    return ParseInteger(field, 0, 1, value);
}

bool HexData(const char* text, size_t limit) {
    size_t n = 0;
    for (; text[n]; ++n) {
        char c = text[n];
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return n > 0 && n % 2 == 0 && n <= limit;
}

} // namespace

int32_t PrinterModel::BeginNonFiscal(const RequestLine&) {
    if (state != DocumentState::Idle || training) return EFP_WRONG_STATE;
    if (InspectionBlocks()) return EFP_ILLEGAL_COMMAND;
    if (settings.updateFired) return EFP_FW_UPDATE_REQUEST;
    state = DocumentState::NonFiscal;
    StartDocument();
    PrintHeader();
    char right[24];
    std::snprintf(right, sizeof right, "Doc. %06u", counters.documentNumber);
    paper.LeftRight("NON-FISCAL DOCUMENT", right);
    paper.Rule();
    return 0;
}

int32_t PrinterModel::PrintNormal(const RequestLine& r) {
    if (state != DocumentState::NonFiscal) return EFP_WRONG_STATE;
    // Control bytes would tear the paper's lines apart.
    char text[512];
    size_t n = 0;
    for (const char* p = r.Field(0); *p && n + 1 < sizeof text; ++p)
        text[n++] = static_cast<unsigned char>(*p) < 0x20 ? ' ' : *p;
    text[n] = 0;
    paper.Line(text);
    return 0;
}

int32_t PrinterModel::EndNonFiscal(const RequestLine& r) {
    int64_t separation = 0;
    if (!Flag(r.Field(0), separation)) return BadField(r.Field(0));
    if (state != DocumentState::NonFiscal) return EFP_WRONG_STATE;
    paper.Rule();
    paper.Center("NON-FISCAL DOCUMENT");
    ++daily.nonFiscal;
    ++grand.nonFiscal;
    EndDocument(separation != 0);
    state = DocumentState::Idle;
    return 0;
}

int32_t PrinterModel::BeginTraining(const RequestLine&) {
    if (state != DocumentState::Idle || training) return EFP_WRONG_STATE;
    training = true;
    AddLog("TRAINING MODE ON");
    return 0;
}

int32_t PrinterModel::EndTraining(const RequestLine&) {
    if (state != DocumentState::Idle || !training) return EFP_WRONG_STATE;
    training = false;
    AddLog("TRAINING MODE OFF");
    return 0;
}

void PrinterModel::PrintTotalsReport(const Totals& t, const char* title) {
    char left[48], right[48];
    int64_t now = Now();
    StartDocument();
    PrintHeader();
    FormatDateTime(now, right, sizeof right);
    paper.LeftRight(title, right);
    paper.Rule();
    const struct {
        const char* name;
        uint32_t value;
    } counts[] = {{"Fiscal receipts", t.receipts},
                  {"Voided receipts", t.voided},
                  {"Non-fiscal documents", t.nonFiscal},
                  {"Items", t.items}};
    for (const auto& c : counts) {
        std::snprintf(right, sizeof right, "%u", c.value);
        paper.LeftRight(c.name, right);
    }
    paper.Rule();
    int64_t grossAll = 0;
    for (int v = 0; v < kVatCount; ++v) {
        int64_t net = t.sales[v] - t.refunds[v] - t.discounts[v];
        grossAll += net;
        if (!t.sales[v] && !t.refunds[v] && !t.discounts[v]) continue;
        std::snprintf(left, sizeof left, "VAT %c %d.%02d%%", VatLetter(v + 1),
                      settings.vat[v].rate / 100, settings.vat[v].rate % 100);
        paper.Line(left);
        PrintAmountLine("  Sales", t.sales[v], -1);
        if (t.refunds[v]) PrintAmountLine("  Refunds", -t.refunds[v], -1);
        if (t.discounts[v]) PrintAmountLine("  Discounts", -t.discounts[v], -1);
        int64_t tax = DivideRounded(net * settings.vat[v].rate, 10000 + settings.vat[v].rate);
        PrintAmountLine("  VAT", DivideRounded(tax, 10) * 10, -1);
    }
    paper.Rule('=');
    std::snprintf(left, sizeof left, "TOTAL %s", settings.currency);
    PrintAmountLine(left, grossAll, -1);
    for (int p = 0; p < kPaymentCount; ++p) {
        if (!t.payments[p]) continue;
        std::snprintf(left, sizeof left, "  %s", settings.payments[p].name);
        PrintAmountLine(left, t.payments[p], -1);
    }
    if (t.deposits) PrintAmountLine("Cash deposits", t.deposits, -1);
    if (t.withdrawals) PrintAmountLine("Cash withdrawals", -t.withdrawals, -1);
    PrintAmountLine("Cash in drawer", CashInDrawer(), -1);
}

int32_t PrinterModel::PrintXReport(const RequestLine&) {
    if (state != DocumentState::Idle || training) return EFP_WRONG_STATE;
    PrintTotalsReport(daily, "X REPORT");
    EndDocument(true);
    return 0;
}

void PrinterModel::CloseDay() {
    daily = Totals{};
    counters.lastZTime = Now();
}

int32_t PrinterModel::PrintZReport(const RequestLine&) {
    if (state != DocumentState::Idle || training) return EFP_WRONG_STATE;
    if (daily.receipts == 0 && daily.voided == 0) return EFP_ILLEGAL_COMMAND;
    ++grand.zReports;
    char title[32];
    std::snprintf(title, sizeof title, "Z REPORT %u", grand.zReports);
    PrintTotalsReport(daily, title);
    CloseDay();
    EndDocument(true);
    AddLog(title);
    return 0;
}

int32_t PrinterModel::PrintUnsentDataMsgReport(const RequestLine& r) {
    if (state != DocumentState::Idle || training) return EFP_WRONG_STATE;
    int64_t intervalType = 0, printoutType = 0;
    if (!ParseInteger(r.Field(0), 1, 2, intervalType) ||
        !ParseInteger(r.Field(1), 1, 2, printoutType))
        return E_ILLEGAL;
    int64_t start = 0, end = 0;
    bool ok = intervalType == 1 ? ParseDateTime(r.Field(2), start) && ParseDateTime(r.Field(3), end)
                                : ParseInteger(r.Field(2), 1, INT32_MAX, start) &&
                                      ParseInteger(r.Field(3), 1, INT32_MAX, end);
    if (!ok || start > end) return E_ILLEGAL;
    StartDocument();
    PrintHeader();
    paper.Line("UNSENT DATA MESSAGES");
    char right[24];
    std::snprintf(right, sizeof right, "%u", counters.unsentMessages);
    paper.LeftRight("Messages waiting", right);
    EndDocument(true);
    return 0;
}

int32_t PrinterModel::PrintDuplicateReceipt(const RequestLine&) {
    if (state != DocumentState::Idle) return EFP_WRONG_STATE;
    if (lastReceiptText.empty()) return EFP_ILLEGAL_COMMAND;
    paper.Center("*** DUPLICATE ***");
    paper.Reprint(lastReceiptText);
    paper.Center("*** DUPLICATE ***");
    paper.Cut();
    return 0;
}

int32_t PrinterModel::PrintBarCode(const RequestLine& r) {
    if (state == DocumentState::Idle) return EFP_WRONG_STATE;
    static const char* const symbologies[] = {"EAN-13",  "EAN-8", "UPC-A", "CODE39",
                                              "CODE128", "ITF",   "QR",    "PDF417"};
    int64_t symbology = 0, height = 0, width = 0, alignment = 0, position = 0;
    const char* data = r.Field(0);
    size_t length = std::strlen(data);
    bool ok = length > 0 && length <= 64 && ParseInteger(r.Field(1), 1, 8, symbology) &&
              ParseInteger(r.Field(2), 1, 255, height) && ParseInteger(r.Field(3), 1, 6, width) &&
              ParseInteger(r.Field(4), 0, 2, alignment) && ParseInteger(r.Field(5), 0, 3, position);
    for (size_t i = 0; ok && i < length; ++i)
        ok = static_cast<unsigned char>(data[i]) >= 0x20;
    if (!ok) return E_ILLEGAL;
    char text[96];
    std::snprintf(text, sizeof text, "[%s %s]", symbologies[symbology - 1], data);
    paper.Center(text);
    return 0;
}

int32_t PrinterModel::CutPaper(const RequestLine&) {
    if (state != DocumentState::Idle && state != DocumentState::NonFiscal) return EFP_WRONG_STATE;
    paper.Cut();
    return 0;
}

int32_t PrinterModel::CancelRest(const RequestLine&) {
    return 0;
}

int32_t PrinterModel::ResetPrinter(const RequestLine&) {
    if (InReceipt()) {
        if (!receipt.voided) VoidReceipt("Printer reset");
        RequestLine end;
        end.fieldCount = 1;
        end.fields[0] = "1";
        EndFiscalReceipt(end);
    } else if (state == DocumentState::NonFiscal) {
        paper.Center("*** INTERRUPTED ***");
        EndDocument(true);
    }
    state = DocumentState::Idle;
    AddLog("RESET");
    return 0;
}

int32_t PrinterModel::OpenDrawer(const RequestLine& r) {
    int64_t drawer = 1;
    if (r.Field(0)[0] && !ParseInteger(r.Field(0), 1, 2, drawer)) return E_ILLEGAL;
    return 0;
}

int32_t PrinterModel::ClearDisplay(const RequestLine& r) {
    int64_t row = 0;
    return ParseInteger(r.Field(0), 0, 2, row) ? 0 : E_ILLEGAL;
}

int32_t PrinterModel::DisplayTextAt(const RequestLine& r) {
    int64_t row = 0, column = 0;
    if (!ParseInteger(r.Field(0), 1, 2, row) || !ParseInteger(r.Field(1), 1, 20, column))
        return E_ILLEGAL;
    if (std::strlen(r.Field(2)) > static_cast<size_t>(21 - column)) return E_ILLEGAL;
    return 0;
}

int32_t PrinterModel::SoundImmediate(const RequestLine&) {
    return 0;
}

int32_t PrinterModel::SetBitmap(const RequestLine& r) {
    int64_t number = 0, line = 0;
    if (!ParseInteger(r.Field(0), 1, 4, number) || !ParseInteger(r.Field(1), 0, 127, line))
        return E_ILLEGAL;
    // One raster line of 576 dots: at most 72 bytes in hex.
    if (!HexData(r.Field(2), 144)) return E_ILLEGAL;
    return 0;
}

int32_t PrinterModel::StoreAllBitmaps(const RequestLine&) {
    return 0;
}

int32_t PrinterModel::SendCloudMessages(const RequestLine&) {
    if (state != DocumentState::Idle || training) return EFP_WRONG_STATE;
    if (!settings.onlineRegistration) return EFP_NETWORK;
    return 0;
}

int32_t PrinterModel::RegisterUnsentDataMessages(const RequestLine&) {
    if (!settings.onlineRegistration) return EFP_NETWORK;
    if (counters.unsentMessages) {
        char text[48];
        std::snprintf(text, sizeof text, "SENT %u MESSAGES", counters.unsentMessages);
        AddLog(text);
    }
    counters.unsentMessages = 0;
    return 0;
}

} // namespace korvo::sim
