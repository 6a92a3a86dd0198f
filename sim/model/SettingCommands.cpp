// What applications read from the printer and set in it: clock, properties,
// VAT and payment tables, header and trailer lines, counters and totals,
// registration records, firmware update, service requests, log, licences.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "protocol/ResultCodes.h"
#include "sim/model/PrinterModel.h"
#include "sim/values/Amount.h"
#include "sim/values/CivilTime.h"

namespace korvo::sim {

namespace {

enum Property : int64_t {
    kNumVatRates = 1,
    kNumPayments,
    kNumHeaderLines,
    kNumTrailerLines,
    kLineWidth,
    kSerialNumber,
    kFirmwareVersion,
    kPrinterState,
    kTrainingModeActive,
    kDayOpened,
    kDTSettingLimit,
    kOnlineRegistration, // writable from here on
    kPortableRegister,
    kUpdateAvailable,
    kUpdateFired,
    kInspectionFired,
    kPaperEmpty,
    kCoverOpen,
    kPropertyCount = kCoverOpen,
};

bool PlainText(const char* text, size_t minimum, size_t limit) {
    size_t n = 0;
    for (; text[n]; ++n)
        if (static_cast<unsigned char>(text[n]) < 0x20) return false;
    return n >= minimum && n <= limit;
}

} // namespace

int32_t PrinterModel::SetSerialNumber(const RequestLine&) {
    return EFP_ALREADY_FISCAL;
}

int32_t PrinterModel::SetFiscalMode(const RequestLine&) {
    return EFP_ALREADY_FISCAL;
}

int32_t PrinterModel::GetDate(const RequestLine& r) {
    int64_t type = 0;
    if (!ParseInteger(r.Field(0), 1, 4, type)) return E_ILLEGAL;
    // 1 the clock, 2 the last Z report, 3 fiscalisation, 4 the last document.
    int64_t when = type == 1   ? Now()
                   : type == 2 ? counters.lastZTime
                   : type == 3 ? counters.fiscalisedTime
                               : counters.lastDocumentTime;
    if (type != 1 && when == 0) return E_NOEXIST;
    ValueInteger(type);
    ValueDateTime(when);
    return 0;
}

int32_t PrinterModel::SetDate(const RequestLine& r) {
    if (state != DocumentState::Idle) return EFP_WRONG_STATE;
    int64_t date = 0;
    // The clock may not go back behind the last document.
    if (!ParseDateTime(r.Field(0), date) || date < counters.lastDocumentTime) return EFP_BAD_DATE;
    settings.clockOffset = date - hostClock();
    AddLog("DATE SET");
    return 0;
}

int32_t PrinterModel::GetProperty(const RequestLine& r) {
    int64_t id = 0;
    if (!ParseInteger(r.Field(0), 1, kPropertyCount, id)) return E_ILLEGAL;
    ValueInteger(id);
    switch (id) {
    case kNumVatRates:
        ValueInteger(kVatCount);
        break;
    case kNumPayments:
        ValueInteger(kPaymentCount);
        break;
    case kNumHeaderLines:
    case kNumTrailerLines:
        ValueInteger(kLogoLines);
        break;
    case kLineWidth:
        ValueInteger(PaperRoll::kWidth);
        break;
    case kSerialNumber:
        Value(settings.serialNumber);
        break;
    case kFirmwareVersion:
        Value(settings.firmware);
        break;
    case kPrinterState: {
        static const int states[] = {1, 2, 3, 4, 9}; // monitor ... non-fiscal
        ValueInteger(states[static_cast<int>(state)]);
        break;
    }
    case kTrainingModeActive:
        ValueInteger(training);
        break;
    case kDayOpened:
        ValueInteger(daily.receipts > 0 || daily.voided > 0);
        break;
    case kDTSettingLimit:
        ValueDateTime(counters.lastDocumentTime);
        break;
    case kOnlineRegistration:
        ValueInteger(settings.onlineRegistration);
        break;
    case kPortableRegister:
        ValueInteger(settings.portable);
        break;
    case kUpdateAvailable:
        ValueInteger(settings.updateAvailable);
        break;
    case kUpdateFired:
        ValueInteger(settings.updateFired);
        break;
    case kInspectionFired:
        ValueInteger(InspectionBlocks());
        break;
    case kPaperEmpty:
        ValueInteger(settings.paperEmpty);
        break;
    case kCoverOpen:
        ValueInteger(settings.coverOpen);
        break;
    }
    return 0;
}

int32_t PrinterModel::SetProperty(const RequestLine& r) {
    int64_t id = 0, value = 0;
    if (!ParseInteger(r.Field(0), kOnlineRegistration, kPropertyCount, id)) return E_ILLEGAL;
    if (!ParseInteger(r.Field(1), 0, 1, value)) return BadField(r.Field(1));
    bool on = value != 0;
    switch (id) {
    case kOnlineRegistration:
        settings.onlineRegistration = on;
        break;
    case kPortableRegister:
        settings.portable = on;
        break;
    case kUpdateAvailable:
        settings.updateAvailable = on;
        if (!on) settings.updateFired = false;
        break;
    case kUpdateFired:
        settings.updateFired = on;
        if (on) settings.updateAvailable = true;
        break;
    case kInspectionFired: {
        InspectionRequest& request = settings.inspections[0];
        request.limit = on ? InspectionMonitored(0) : InspectionMonitored(0) + 365;
        request.affirmed = false;
        break;
    }
    case kPaperEmpty:
        settings.paperEmpty = on;
        break;
    case kCoverOpen:
        settings.coverOpen = on;
        break;
    }
    return 0;
}

int32_t PrinterModel::GetVatEntry(const RequestLine& r) {
    int32_t vat = VatIndex(r.Field(0));
    if (vat < 0) return EFP_BAD_VAT;
    char rate[16];
    std::snprintf(rate, sizeof rate, "%d.%02d", settings.vat[vat].rate / 100,
                  settings.vat[vat].rate % 100);
    ValueInteger(vat + 1);
    ValueInteger(settings.vat[vat].flag);
    Value(rate);
    return 0;
}

int32_t PrinterModel::SetLogoLines(const RequestLine& r, char (*lines)[kLineText + 1],
                                   const char* what) {
    if (state != DocumentState::Idle) return EFP_WRONG_STATE;
    for (int i = 0; i < kLogoLines; ++i)
        if (!ItemText(r.Field(i))) return EFP_BAD_DESCRIPTION;
    for (int i = 0; i < kLogoLines; ++i)
        std::snprintf(lines[i], kLineText + 1, "%s", r.Field(i));
    AddLog(what);
    return 0;
}

int32_t PrinterModel::SetHeaderLines(const RequestLine& r) {
    return SetLogoLines(r, settings.header, "HEADER SET");
}

int32_t PrinterModel::SetTrailerLines(const RequestLine& r) {
    return SetLogoLines(r, settings.trailer, "TRAILER SET");
}

int32_t PrinterModel::GetLogoLine(const RequestLine& r, const char (*lines)[kLineText + 1]) {
    int64_t number = 0;
    if (!ParseInteger(r.Field(0), 1, kLogoLines, number)) return E_ILLEGAL;
    Value(lines[number - 1]);
    return 0;
}

int32_t PrinterModel::GetHeaderLine(const RequestLine& r) {
    return GetLogoLine(r, settings.header);
}

int32_t PrinterModel::GetTrailerLine(const RequestLine& r) {
    return GetLogoLine(r, settings.trailer);
}

int32_t PrinterModel::SetPaymentType(const RequestLine& r) {
    if (state != DocumentState::Idle) return EFP_WRONG_STATE;
    int64_t id = 0;
    if (!ParseInteger(r.Field(0), 1, kPaymentCount, id)) return E_ILLEGAL;
    PaymentEntry& entry = settings.payments[id - 1];
    if (!PlainText(r.Field(1), 1, sizeof entry.name - 1)) return EFP_BAD_DESCRIPTION;
    std::snprintf(entry.name, sizeof entry.name, "%s", r.Field(1));
    if (entry.type == kPaymentUnused) entry.type = kPaymentNonCash;
    return 0;
}

int32_t PrinterModel::GetPaymentEntry(const RequestLine& r) {
    int64_t id = 0;
    return ParseInteger(r.Field(0), 1, kPaymentCount, id) ? 0 : E_ILLEGAL;
}

int32_t PrinterModel::SetPaymentEntry(const RequestLine& r) {
    if (state != DocumentState::Idle) return EFP_WRONG_STATE;
    int64_t id = 0, type = 0;
    if (!ParseInteger(r.Field(0), 1, kPaymentCount, id) ||
        !ParseInteger(r.Field(2), kPaymentUnused, kPaymentNonCash, type))
        return E_ILLEGAL;
    PaymentEntry& entry = settings.payments[id - 1];
    if (!PlainText(r.Field(1), type == kPaymentUnused ? 0 : 1, sizeof entry.name - 1))
        return EFP_BAD_DESCRIPTION;
    std::snprintf(entry.name, sizeof entry.name, "%s", r.Field(1));
    entry.type = static_cast<int32_t>(type);
    return 0;
}

int32_t PrinterModel::SetPosId(const RequestLine& r) {
    if (state != DocumentState::Idle) return EFP_WRONG_STATE;
    if (!PlainText(r.Field(0), 0, sizeof settings.posId - 1) ||
        !PlainText(r.Field(1), 0, sizeof settings.cashierId - 1))
        return EFP_BAD_DESCRIPTION;
    std::snprintf(settings.posId, sizeof settings.posId, "%s", r.Field(0));
    std::snprintf(settings.cashierId, sizeof settings.cashierId, "%s", r.Field(1));
    return 0;
}

int32_t PrinterModel::GetFontAttribute(const RequestLine& r) {
    int64_t group = 0, option = 0;
    if (!ParseInteger(r.Field(0), 1, kFontGroups, group) ||
        !ParseInteger(r.Field(1), 0, kFontOptions - 1, option))
        return E_ILLEGAL;
    ValueInteger(group);
    ValueInteger(settings.font[group - 1][option]);
    return 0;
}

int32_t PrinterModel::SetFontAttribute(const RequestLine& r) {
    int64_t group = 0, option = 0, attribute = 0;
    if (!ParseInteger(r.Field(0), 1, kFontGroups, group) ||
        !ParseInteger(r.Field(1), 0, kFontOptions - 1, option))
        return E_ILLEGAL;
    if (!ParseInteger(r.Field(2), 0, 255, attribute)) return BadField(r.Field(2));
    settings.font[group - 1][option] = static_cast<int32_t>(attribute);
    return 0;
}

int32_t PrinterModel::GetCounter(const RequestLine& r) {
    int64_t type = 0, subset = 0, id = 0;
    if (!ParseInteger(r.Field(0), 1, 2, type) || !ParseInteger(r.Field(2), 1, 6, id))
        return E_ILLEGAL;
    const Totals& t = type == 1 ? daily : grand;
    // Subsets 1..5 split fiscal receipts by receipt type; other counters
    // have none.
    int64_t maxSubset = id == 1 ? kReceiptTypes : 0;
    if (!ParseInteger(r.Field(1), 0, maxSubset, subset)) return EFP_BAD_VAT;
    int64_t value = 0;
    switch (id) {
    case 1:
        value = subset ? t.receiptsByType[subset - 1] : t.receipts;
        break;
    case 2:
        value = t.voided;
        break;
    case 3:
        value = t.nonFiscal;
        break;
    case 4:
        value = grand.zReports;
        break;
    case 5:
        value = t.items;
        break;
    case 6:
        value = type == 1 ? counters.monthlyNumber : counters.receiptNumber;
        break;
    }
    ValueInteger(value);
    return 0;
}

int32_t PrinterModel::GetTotalizer(const RequestLine& r) {
    int64_t type = 0, id = 0;
    if (!ParseInteger(r.Field(0), 1, 2, type) || !ParseInteger(r.Field(2), 1, 7, id))
        return E_ILLEGAL;
    const char* vatField = r.Field(1);
    int32_t vat = -1; // -1: all rates
    if (std::strcmp(vatField, "0") != 0) {
        vat = VatIndex(vatField);
        if (vat < 0) return EFP_BAD_VAT;
    }
    const Totals& t = type == 1 ? daily : grand;
    int64_t value = 0;
    for (int v = 0; v < kVatCount; ++v) {
        if (vat >= 0 && v != vat) continue;
        int64_t net = t.sales[v] - t.refunds[v] - t.discounts[v];
        int64_t tax = DivideRounded(net * settings.vat[v].rate, 10000 + settings.vat[v].rate);
        switch (id) {
        case 1:
            value += t.sales[v];
            break;
        case 2:
            value += t.refunds[v];
            break;
        case 3:
            value += t.discounts[v];
            break;
        case 4:
            value += net;
            break;
        case 5:
            value += DivideRounded(tax, 10) * 10;
            break;
        }
    }
    // 6 and 7 are not per rate: cash in the drawer, cash moved in and out.
    if (id >= 6) {
        if (vat >= 0) return EFP_BAD_VAT;
        value = id == 6 ? (type == 1 ? CashInDrawer() : 0) : t.deposits - t.withdrawals;
    }
    ValueMoney(value);
    return 0;
}

int32_t PrinterModel::GetData(const RequestLine& r) {
    int64_t item = 0;
    if (!ParseInteger(r.Field(0), 1, 9, item) || r.Field(1)[0]) return E_ILLEGAL;
    bool open = InReceipt();
    switch (item) {
    case 1:
        Value(settings.serialNumber);
        break;
    case 2:
        Value(settings.firmware);
        break;
    case 3:
        ValueMoney(open ? receipt.gross : 0);
        break;
    case 4:
        ValueMoney(open ? receipt.paid : 0);
        break;
    case 5:
        ValueMoney(CashInDrawer());
        break;
    case 6:
        ValueInteger(counters.receiptNumber + 1);
        break;
    case 7:
        ValueInteger(grand.zReports);
        break;
    case 8:
        ValueInteger(open ? receipt.items : 0);
        break;
    case 9:
        ValueDateTime(Now());
        break;
    }
    return 0;
}

int32_t PrinterModel::ObtainProgress(const RequestLine&) {
    ValueInteger(100);
    return 0;
}

int32_t PrinterModel::GetTransactionStatus(const RequestLine& r) {
    const char* id = r.Field(0);
    const Transaction* found = nullptr;
    if (!id[0]) {
        const Transaction& last =
            transactions[(nextTransaction + kTransactions - 1) % kTransactions];
        if (last.id[0]) found = &last;
    } else {
        for (const Transaction& t : transactions)
            if (t.id[0] && std::strcmp(t.id, id) == 0) found = &t;
    }
    if (!found) return E_NOEXIST;
    Value(found->id);
    ValueInteger(found->status);
    return 0;
}

int32_t PrinterModel::GetLastRegisteredReceiptInfo(const RequestLine&) {
    if (!lastReceipt.present) return E_NOEXIST;
    ValueDateTime(lastReceipt.time);
    ValueInteger(lastReceipt.monthlyNumber);
    ValueInteger(lastReceipt.status);
    Value(lastReceipt.ids.uid);
    Value(lastReceipt.ids.okp);
    Value(lastReceipt.ids.pkp);
    ValueInteger(0);
    Value("");
    return 0;
}

int32_t PrinterModel::RegisterLocation(const RequestLine& r) {
    if (!settings.portable) return EFP_ILLEGAL_COMMAND;
    if (state != DocumentState::Idle) return EFP_WRONG_STATE;
    int64_t type = 0;
    if (!ParseInteger(r.Field(0), 1, 3, type)) return E_ILLEGAL;
    bool address = false;
    for (int i = 1; i <= 5; ++i) {
        if (!PlainText(r.Field(i), 0, 60)) return E_ILLEGAL;
        address = address || r.Field(i)[0];
    }
    const char* other = r.Field(6);
    if (!PlainText(other, 0, 90)) return E_ILLEGAL;
    char description[96];
    if (type == 1) {
        // An address: municipality, a five-digit postal code, and a building
        // or property number.
        const char* postal = r.Field(5);
        bool postalOk = std::strlen(postal) == 5 && std::strspn(postal, "0123456789") == 5;
        if (!r.Field(4)[0] || !postalOk || (!r.Field(2)[0] && !r.Field(3)[0]) || other[0])
            return E_ILLEGAL;
        std::snprintf(description, sizeof description, "%s %s, %s %s", r.Field(1),
                      r.Field(2)[0] ? r.Field(2) : r.Field(3), postal, r.Field(4));
    } else if (type == 2) {
        // GPS coordinates "latitude,longitude".
        double latitude = 0, longitude = 0;
        char end = 0;
        if (address || std::sscanf(other, "%lf,%lf%c", &latitude, &longitude, &end) != 2 ||
            latitude < -90 || latitude > 90 || longitude < -180 || longitude > 180)
            return E_ILLEGAL;
        std::snprintf(description, sizeof description, "GPS %s", other);
    } else {
        if (address || !other[0]) return E_ILLEGAL;
        std::snprintf(description, sizeof description, "%s", other);
    }
    if (!settings.onlineRegistration) return EFP_NETWORK;

    lastLocation.present = true;
    lastLocation.time = Now();
    lastLocation.status = 1;
    lastLocation.locationType = static_cast<int32_t>(type);
    std::snprintf(lastLocation.description, sizeof lastLocation.description, "%s", description);
    StartDocument();
    PrintHeader();
    paper.Line("LOCATION REGISTERED");
    paper.Line(description);
    char when[24];
    FormatDateTime(lastLocation.time, when, sizeof when);
    paper.Line(when);
    EndDocument(true);
    AddLog("LOCATION REGISTERED");
    return 0;
}

int32_t PrinterModel::GetLastRegisteredLocationInfo(const RequestLine&) {
    if (!lastLocation.present) return E_NOEXIST;
    ValueDateTime(lastLocation.time);
    ValueInteger(lastLocation.status);
    ValueInteger(0);
    Value("");
    return 0;
}

int32_t PrinterModel::GetFirmwareUpdateRequest(const RequestLine&) {
    ValueInteger(settings.updateAvailable);
    Value(settings.updateAvailable ? settings.pendingFirmware : settings.firmware);
    Value(settings.icmVersion);
    ValueInteger(settings.updateFired);
    return 0;
}

int32_t PrinterModel::DeferFirmwareUpdate(const RequestLine& r) {
    int64_t hours = 0;
    if (!ParseInteger(r.Field(0), 1, 168, hours)) return E_ILLEGAL;
    if (!settings.updateAvailable || !settings.updateFired) return EFP_ILLEGAL_COMMAND;
    settings.updateFired = false;
    AddLog("UPDATE DEFERRED");
    return 0;
}

int32_t PrinterModel::UpdateFirmware(const RequestLine&) {
    if (state != DocumentState::Idle) return EFP_WRONG_STATE;
    if (!settings.updateAvailable) return E_NOEXIST;
    std::snprintf(settings.firmware, sizeof settings.firmware, "%s", settings.pendingFirmware);
    settings.updateAvailable = false;
    settings.updateFired = false;
    training = false;
    char text[48];
    std::snprintf(text, sizeof text, "FIRMWARE %s", settings.firmware);
    AddLog(text);
    restartAfterReply = true;
    return 0;
}

int64_t PrinterModel::InspectionMonitored(int index) const {
    if (index == 0) return (Now() - settings.lastServiceTime) / 86400;
    return grand.receipts;
}

bool PrinterModel::InspectionBlocks() const {
    for (int i = 0; i < kInspections; ++i) {
        const InspectionRequest& request = settings.inspections[i];
        if (InspectionMonitored(i) >= request.limit && !request.affirmed) return true;
    }
    return false;
}

int32_t PrinterModel::InspectionIndex(const char* field) const {
    int64_t id = 0;
    return ParseInteger(field, 1, kInspections, id) ? static_cast<int32_t>(id - 1) : -1;
}

int32_t PrinterModel::GetInspectionRequest(const RequestLine& r) {
    int32_t i = InspectionIndex(r.Field(0));
    if (i < 0) return E_ILLEGAL;
    const InspectionRequest& request = settings.inspections[i];
    int64_t monitored = InspectionMonitored(i);
    bool fired = monitored >= request.limit;
    ValueInteger(i + 1);
    ValueInteger(monitored);
    ValueInteger(request.limit);
    Value(i == 0 ? "Days since the last service" : "Fiscal receipts printed");
    Value(fired ? "Service inspection is due" : "");
    ValueInteger(fired);
    return 0;
}

int32_t PrinterModel::AffirmInspectionRequest(const RequestLine& r) {
    int32_t i = InspectionIndex(r.Field(0));
    if (i < 0) return E_ILLEGAL;
    settings.inspections[i].affirmed = true;
    AddLog("INSPECTION AFFIRMED");
    return 0;
}

int32_t PrinterModel::ResetInspectionRequest(const RequestLine& r) {
    int32_t i = InspectionIndex(r.Field(0));
    int64_t limit = 0;
    if (i < 0 || !ParseInteger(r.Field(1), 1, INT32_MAX, limit) || limit <= InspectionMonitored(i))
        return E_ILLEGAL;
    settings.inspections[i].limit = limit;
    settings.inspections[i].affirmed = false;
    if (i == 0) settings.lastServiceTime = Now();
    return 0;
}

int32_t PrinterModel::GetNextLogRecord(const RequestLine& r) {
    int64_t wanted = 0;
    if (!ParseInteger(r.Field(0), 0, INT32_MAX, wanted)) return E_ILLEGAL;
    // The oldest record still kept with an id of at least the one asked for.
    const LogRecord* found = nullptr;
    for (const LogRecord& record : log)
        if (record.id && record.id >= wanted && (!found || record.id < found->id)) found = &record;
    if (!found) return E_NOEXIST;
    ValueInteger(found->id + 1 < nextLogId ? found->id + 1 : 0);
    Value(found->text);
    ValueDateTime(found->time);
    ValueInteger(found->tick);
    return 0;
}

int32_t PrinterModel::GetLicenceData(const RequestLine& r) {
    int64_t id = 0;
    if (!ParseInteger(r.Field(0), 1, 2, id)) return E_ILLEGAL;
    ValueInteger(id);
    if (id == 1) {
        Value("eKasa client");
        Value("2024-01-01");
        Value("2027-12-31");
        ValueInteger(1);
        ValueInteger(1);
    } else {
        Value("Cloud backup");
        Value("");
        Value("");
        ValueInteger(0);
        ValueInteger(0);
    }
    return 0;
}

} // namespace korvo::sim
