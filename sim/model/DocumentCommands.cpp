#include "sim/model/DocumentCommands.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "protocol/ResultCodes.h"
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

int32_t DocumentCommands::BeginNonFiscal(const RequestLine&) {
    if (core.state != DocumentState::Idle || core.training) return EFP_WRONG_STATE;
    if (core.InspectionBlocks()) return EFP_ILLEGAL_COMMAND;
    if (core.settings.updateFired) return EFP_FW_UPDATE_REQUEST;
    core.state = DocumentState::NonFiscal;
    core.StartDocument();
    core.PrintHeader();
    char right[24];
    std::snprintf(right, sizeof right, "Doc. %06u", core.counters.documentNumber);
    core.paper.LeftRight("NON-FISCAL DOCUMENT", right);
    core.paper.Rule();
    return 0;
}

int32_t DocumentCommands::PrintNormal(const RequestLine& r) {
    if (core.state != DocumentState::NonFiscal) return EFP_WRONG_STATE;
    // Control bytes would tear the paper's lines apart.
    char text[512];
    size_t n = 0;
    for (const char* p = r.Field(0); *p && n + 1 < sizeof text; ++p)
        text[n++] = static_cast<unsigned char>(*p) < 0x20 ? ' ' : *p;
    text[n] = 0;
    core.paper.Line(text);
    return 0;
}

int32_t DocumentCommands::EndNonFiscal(const RequestLine& r) {
    int64_t separation = 0;
    if (!Flag(r.Field(0), separation)) return core.BadField(r.Field(0));
    if (core.state != DocumentState::NonFiscal) return EFP_WRONG_STATE;
    core.paper.Rule();
    core.paper.Center("NON-FISCAL DOCUMENT");
    ++core.daily.nonFiscal;
    ++core.grand.nonFiscal;
    core.EndDocument(separation != 0);
    core.state = DocumentState::Idle;
    return 0;
}

int32_t DocumentCommands::BeginTraining(const RequestLine&) {
    if (core.state != DocumentState::Idle || core.training) return EFP_WRONG_STATE;
    core.training = true;
    core.AddLog("TRAINING MODE ON");
    return 0;
}

int32_t DocumentCommands::EndTraining(const RequestLine&) {
    if (core.state != DocumentState::Idle || !core.training) return EFP_WRONG_STATE;
    core.training = false;
    core.AddLog("TRAINING MODE OFF");
    return 0;
}

void DocumentCommands::PrintTotalsReport(const Totals& t, const char* title) {
    char left[48], right[48];
    int64_t now = core.Now();
    core.StartDocument();
    core.PrintHeader();
    FormatDateTime(now, right, sizeof right);
    core.paper.LeftRight(title, right);
    core.paper.Rule();
    const struct {
        const char* name;
        uint32_t value;
    } counts[] = {{"Fiscal receipts", t.receipts},
                  {"Voided receipts", t.voided},
                  {"Non-fiscal documents", t.nonFiscal},
                  {"Items", t.items}};
    for (const auto& c : counts) {
        std::snprintf(right, sizeof right, "%u", c.value);
        core.paper.LeftRight(c.name, right);
    }
    core.paper.Rule();
    int64_t grossAll = 0;
    for (int v = 0; v < kVatCount; ++v) {
        int64_t net = t.sales[v] - t.refunds[v] - t.discounts[v];
        grossAll += net;
        if (!t.sales[v] && !t.refunds[v] && !t.discounts[v]) continue;
        std::snprintf(left, sizeof left, "VAT %c %d.%02d%%", VatLetter(v + 1),
                      core.settings.vat[v].rate / 100, core.settings.vat[v].rate % 100);
        core.paper.Line(left);
        core.PrintAmountLine("  Sales", t.sales[v], -1);
        if (t.refunds[v]) core.PrintAmountLine("  Refunds", -t.refunds[v], -1);
        if (t.discounts[v]) core.PrintAmountLine("  Discounts", -t.discounts[v], -1);
        int64_t tax =
            DivideRounded(net * core.settings.vat[v].rate, 10000 + core.settings.vat[v].rate);
        core.PrintAmountLine("  VAT", DivideRounded(tax, 10) * 10, -1);
    }
    core.paper.Rule('=');
    std::snprintf(left, sizeof left, "TOTAL %s", core.settings.currency);
    core.PrintAmountLine(left, grossAll, -1);
    for (int p = 0; p < kPaymentCount; ++p) {
        if (!t.payments[p]) continue;
        std::snprintf(left, sizeof left, "  %s", core.settings.payments[p].name);
        core.PrintAmountLine(left, t.payments[p], -1);
    }
    if (t.deposits) core.PrintAmountLine("Cash deposits", t.deposits, -1);
    if (t.withdrawals) core.PrintAmountLine("Cash withdrawals", -t.withdrawals, -1);
    core.PrintAmountLine("Cash in drawer", core.CashInDrawer(), -1);
}

int32_t DocumentCommands::PrintXReport(const RequestLine&) {
    if (core.state != DocumentState::Idle || core.training) return EFP_WRONG_STATE;
    PrintTotalsReport(core.daily, "X REPORT");
    core.EndDocument(true);
    return 0;
}

void DocumentCommands::CloseDay() {
    core.daily = Totals{};
    core.counters.lastZTime = core.Now();
}

int32_t DocumentCommands::PrintZReport(const RequestLine&) {
    if (core.state != DocumentState::Idle || core.training) return EFP_WRONG_STATE;
    if (core.daily.receipts == 0 && core.daily.voided == 0) return EFP_ILLEGAL_COMMAND;
    ++core.grand.zReports;
    char title[32];
    std::snprintf(title, sizeof title, "Z REPORT %u", core.grand.zReports);
    PrintTotalsReport(core.daily, title);
    CloseDay();
    core.EndDocument(true);
    core.AddLog(title);
    return 0;
}

int32_t DocumentCommands::PrintUnsentDataMsgReport(const RequestLine& r) {
    if (core.state != DocumentState::Idle || core.training) return EFP_WRONG_STATE;
    int64_t intervalType = 0, printoutType = 0;
    if (!ParseInteger(r.Field(0), 1, 2, intervalType) ||
        !ParseInteger(r.Field(1), 1, 2, printoutType))
        return E_ILLEGAL;
    int64_t start = 0, end = 0;
    bool ok = intervalType == 1 ? ParseDateTime(r.Field(2), start) && ParseDateTime(r.Field(3), end)
                                : ParseInteger(r.Field(2), 1, INT32_MAX, start) &&
                                      ParseInteger(r.Field(3), 1, INT32_MAX, end);
    if (!ok || start > end) return E_ILLEGAL;
    core.StartDocument();
    core.PrintHeader();
    core.paper.Line("UNSENT DATA MESSAGES");
    char right[24];
    std::snprintf(right, sizeof right, "%u", core.counters.unsentMessages);
    core.paper.LeftRight("Messages waiting", right);
    core.EndDocument(true);
    return 0;
}

int32_t DocumentCommands::PrintDuplicateReceipt(const RequestLine&) {
    if (core.state != DocumentState::Idle) return EFP_WRONG_STATE;
    if (core.lastReceiptText.empty()) return EFP_ILLEGAL_COMMAND;
    core.paper.Center("*** DUPLICATE ***");
    core.paper.Reprint(core.lastReceiptText);
    core.paper.Center("*** DUPLICATE ***");
    core.paper.Cut();
    return 0;
}

int32_t DocumentCommands::PrintBarCode(const RequestLine& r) {
    if (core.state == DocumentState::Idle) return EFP_WRONG_STATE;
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
    core.paper.Center(text);
    return 0;
}

int32_t DocumentCommands::CutPaper(const RequestLine&) {
    if (core.state != DocumentState::Idle && core.state != DocumentState::NonFiscal)
        return EFP_WRONG_STATE;
    core.paper.Cut();
    return 0;
}

int32_t DocumentCommands::CancelRest(const RequestLine&) {
    return 0;
}

int32_t DocumentCommands::ResetPrinter(const RequestLine&) {
    if (core.InReceipt()) {
        if (!core.receipt.voided) receipts.VoidReceipt("Printer reset");
        RequestLine end;
        end.fieldCount = 1;
        end.fields[0] = "1";
        receipts.EndFiscalReceipt(end);
    } else if (core.state == DocumentState::NonFiscal) {
        core.paper.Center("*** INTERRUPTED ***");
        core.EndDocument(true);
    }
    core.state = DocumentState::Idle;
    core.AddLog("RESET");
    return 0;
}

int32_t DocumentCommands::OpenDrawer(const RequestLine& r) {
    int64_t drawer = 1;
    if (r.Field(0)[0] && !ParseInteger(r.Field(0), 1, 2, drawer)) return E_ILLEGAL;
    return 0;
}

int32_t DocumentCommands::ClearDisplay(const RequestLine& r) {
    int64_t row = 0;
    return ParseInteger(r.Field(0), 0, 2, row) ? 0 : E_ILLEGAL;
}

int32_t DocumentCommands::DisplayTextAt(const RequestLine& r) {
    int64_t row = 0, column = 0;
    if (!ParseInteger(r.Field(0), 1, 2, row) || !ParseInteger(r.Field(1), 1, 20, column))
        return E_ILLEGAL;
    if (std::strlen(r.Field(2)) > static_cast<size_t>(21 - column)) return E_ILLEGAL;
    return 0;
}

int32_t DocumentCommands::SoundImmediate(const RequestLine&) {
    return 0;
}

int32_t DocumentCommands::SetBitmap(const RequestLine& r) {
    int64_t number = 0, line = 0;
    if (!ParseInteger(r.Field(0), 1, 4, number) || !ParseInteger(r.Field(1), 0, 127, line))
        return E_ILLEGAL;
    // One raster line of 576 dots: at most 72 bytes in hex.
    if (!HexData(r.Field(2), 144)) return E_ILLEGAL;
    return 0;
}

int32_t DocumentCommands::StoreAllBitmaps(const RequestLine&) {
    return 0;
}

int32_t DocumentCommands::SendCloudMessages(const RequestLine&) {
    if (core.state != DocumentState::Idle || core.training) return EFP_WRONG_STATE;
    if (!core.settings.onlineRegistration) return EFP_NETWORK;
    return 0;
}

int32_t DocumentCommands::RegisterUnsentDataMessages(const RequestLine&) {
    if (!core.settings.onlineRegistration) return EFP_NETWORK;
    if (core.counters.unsentMessages) {
        char text[48];
        std::snprintf(text, sizeof text, "SENT %u MESSAGES", core.counters.unsentMessages);
        core.AddLog(text);
    }
    core.counters.unsentMessages = 0;
    return 0;
}

} // namespace korvo::sim
