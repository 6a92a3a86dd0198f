#include "sim/model/SettingCommands.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "protocol/ResultCodes.h"
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

int32_t SettingCommands::SetSerialNumber(const RequestLine&) {
    return EFP_ALREADY_FISCAL;
}

int32_t SettingCommands::SetFiscalMode(const RequestLine&) {
    return EFP_ALREADY_FISCAL;
}

int32_t SettingCommands::GetDate(const RequestLine& r) {
    int64_t type = 0;
    if (!ParseInteger(r.Field(0), 1, 4, type)) return E_ILLEGAL;
    // 1 the clock, 2 the last Z report, 3 fiscalisation, 4 the last document.
    int64_t when = type == 1   ? core.Now()
                   : type == 2 ? core.counters.lastZTime
                   : type == 3 ? core.counters.fiscalisedTime
                               : core.counters.lastDocumentTime;
    if (type != 1 && when == 0) return E_NOEXIST;
    core.ValueInteger(type);
    core.ValueDateTime(when);
    return 0;
}

int32_t SettingCommands::SetDate(const RequestLine& r) {
    if (core.state != DocumentState::Idle) return EFP_WRONG_STATE;
    int64_t date = 0;
    // The clock may not go back behind the last document.
    if (!ParseDateTime(r.Field(0), date) || date < core.counters.lastDocumentTime)
        return EFP_BAD_DATE;
    core.settings.clockOffset = date - core.hostClock();
    core.AddLog("DATE SET");
    return 0;
}

int32_t SettingCommands::GetProperty(const RequestLine& r) {
    int64_t id = 0;
    if (!ParseInteger(r.Field(0), 1, kPropertyCount, id)) return E_ILLEGAL;
    core.ValueInteger(id);
    switch (id) {
    case kNumVatRates:
        core.ValueInteger(kVatCount);
        break;
    case kNumPayments:
        core.ValueInteger(kPaymentCount);
        break;
    case kNumHeaderLines:
    case kNumTrailerLines:
        core.ValueInteger(kLogoLines);
        break;
    case kLineWidth:
        core.ValueInteger(PaperRoll::kWidth);
        break;
    case kSerialNumber:
        core.Value(core.settings.serialNumber);
        break;
    case kFirmwareVersion:
        core.Value(core.settings.firmware);
        break;
    case kPrinterState: {
        static const int states[] = {1, 2, 3, 4, 9}; // monitor ... non-fiscal
        core.ValueInteger(states[static_cast<int>(core.state)]);
        break;
    }
    case kTrainingModeActive:
        core.ValueInteger(core.training);
        break;
    case kDayOpened:
        core.ValueInteger(core.daily.receipts > 0 || core.daily.voided > 0);
        break;
    case kDTSettingLimit:
        core.ValueDateTime(core.counters.lastDocumentTime);
        break;
    case kOnlineRegistration:
        core.ValueInteger(core.settings.onlineRegistration);
        break;
    case kPortableRegister:
        core.ValueInteger(core.settings.portable);
        break;
    case kUpdateAvailable:
        core.ValueInteger(core.settings.updateAvailable);
        break;
    case kUpdateFired:
        core.ValueInteger(core.settings.updateFired);
        break;
    case kInspectionFired:
        core.ValueInteger(core.InspectionBlocks());
        break;
    case kPaperEmpty:
        core.ValueInteger(core.settings.paperEmpty);
        break;
    case kCoverOpen:
        core.ValueInteger(core.settings.coverOpen);
        break;
    }
    return 0;
}

int32_t SettingCommands::SetProperty(const RequestLine& r) {
    int64_t id = 0, value = 0;
    if (!ParseInteger(r.Field(0), kOnlineRegistration, kPropertyCount, id)) return E_ILLEGAL;
    if (!ParseInteger(r.Field(1), 0, 1, value)) return core.BadField(r.Field(1));
    bool on = value != 0;
    switch (id) {
    case kOnlineRegistration:
        core.settings.onlineRegistration = on;
        break;
    case kPortableRegister:
        core.settings.portable = on;
        break;
    case kUpdateAvailable:
        core.settings.updateAvailable = on;
        if (!on) core.settings.updateFired = false;
        break;
    case kUpdateFired:
        core.settings.updateFired = on;
        if (on) core.settings.updateAvailable = true;
        break;
    case kInspectionFired: {
        InspectionRequest& request = core.settings.inspections[0];
        request.limit = on ? core.InspectionMonitored(0) : core.InspectionMonitored(0) + 365;
        request.affirmed = false;
        break;
    }
    case kPaperEmpty:
        core.settings.paperEmpty = on;
        break;
    case kCoverOpen:
        core.settings.coverOpen = on;
        break;
    }
    return 0;
}

int32_t SettingCommands::GetVatEntry(const RequestLine& r) {
    int32_t vat = core.VatIndex(r.Field(0));
    if (vat < 0) return EFP_BAD_VAT;
    char rate[16];
    std::snprintf(rate, sizeof rate, "%d.%02d", core.settings.vat[vat].rate / 100,
                  core.settings.vat[vat].rate % 100);
    core.ValueInteger(vat + 1);
    core.ValueInteger(core.settings.vat[vat].flag);
    core.Value(rate);
    return 0;
}

int32_t SettingCommands::SetLogoLines(const RequestLine& r, char (*lines)[kLineText + 1],
                                      const char* what) {
    if (core.state != DocumentState::Idle) return EFP_WRONG_STATE;
    for (int i = 0; i < kLogoLines; ++i)
        if (!core.ItemText(r.Field(i))) return EFP_BAD_DESCRIPTION;
    for (int i = 0; i < kLogoLines; ++i)
        std::snprintf(lines[i], kLineText + 1, "%s", r.Field(i));
    core.AddLog(what);
    return 0;
}

int32_t SettingCommands::SetHeaderLines(const RequestLine& r) {
    return SetLogoLines(r, core.settings.header, "HEADER SET");
}

int32_t SettingCommands::SetTrailerLines(const RequestLine& r) {
    return SetLogoLines(r, core.settings.trailer, "TRAILER SET");
}

int32_t SettingCommands::GetLogoLine(const RequestLine& r, const char (*lines)[kLineText + 1]) {
    int64_t number = 0;
    if (!ParseInteger(r.Field(0), 1, kLogoLines, number)) return E_ILLEGAL;
    core.Value(lines[number - 1]);
    return 0;
}

int32_t SettingCommands::GetHeaderLine(const RequestLine& r) {
    return GetLogoLine(r, core.settings.header);
}

int32_t SettingCommands::GetTrailerLine(const RequestLine& r) {
    return GetLogoLine(r, core.settings.trailer);
}

int32_t SettingCommands::SetPaymentType(const RequestLine& r) {
    if (core.state != DocumentState::Idle) return EFP_WRONG_STATE;
    int64_t id = 0;
    if (!ParseInteger(r.Field(0), 1, kPaymentCount, id)) return E_ILLEGAL;
    PaymentEntry& entry = core.settings.payments[id - 1];
    if (!PlainText(r.Field(1), 1, sizeof entry.name - 1)) return EFP_BAD_DESCRIPTION;
    std::snprintf(entry.name, sizeof entry.name, "%s", r.Field(1));
    if (entry.type == kPaymentUnused) entry.type = kPaymentNonCash;
    return 0;
}

int32_t SettingCommands::GetPaymentEntry(const RequestLine& r) {
    int64_t id = 0;
    return ParseInteger(r.Field(0), 1, kPaymentCount, id) ? 0 : E_ILLEGAL;
}

int32_t SettingCommands::SetPaymentEntry(const RequestLine& r) {
    if (core.state != DocumentState::Idle) return EFP_WRONG_STATE;
    int64_t id = 0, type = 0;
    if (!ParseInteger(r.Field(0), 1, kPaymentCount, id) ||
        !ParseInteger(r.Field(2), kPaymentUnused, kPaymentNonCash, type))
        return E_ILLEGAL;
    PaymentEntry& entry = core.settings.payments[id - 1];
    if (!PlainText(r.Field(1), type == kPaymentUnused ? 0 : 1, sizeof entry.name - 1))
        return EFP_BAD_DESCRIPTION;
    std::snprintf(entry.name, sizeof entry.name, "%s", r.Field(1));
    entry.type = static_cast<int32_t>(type);
    return 0;
}

int32_t SettingCommands::SetPosId(const RequestLine& r) {
    if (core.state != DocumentState::Idle) return EFP_WRONG_STATE;
    if (!PlainText(r.Field(0), 0, sizeof core.settings.posId - 1) ||
        !PlainText(r.Field(1), 0, sizeof core.settings.cashierId - 1))
        return EFP_BAD_DESCRIPTION;
    std::snprintf(core.settings.posId, sizeof core.settings.posId, "%s", r.Field(0));
    std::snprintf(core.settings.cashierId, sizeof core.settings.cashierId, "%s", r.Field(1));
    return 0;
}

int32_t SettingCommands::GetFontAttribute(const RequestLine& r) {
    int64_t group = 0, option = 0;
    if (!ParseInteger(r.Field(0), 1, kFontGroups, group) ||
        !ParseInteger(r.Field(1), 0, kFontOptions - 1, option))
        return E_ILLEGAL;
    core.ValueInteger(group);
    core.ValueInteger(core.settings.font[group - 1][option]);
    return 0;
}

int32_t SettingCommands::SetFontAttribute(const RequestLine& r) {
    int64_t group = 0, option = 0, attribute = 0;
    if (!ParseInteger(r.Field(0), 1, kFontGroups, group) ||
        !ParseInteger(r.Field(1), 0, kFontOptions - 1, option))
        return E_ILLEGAL;
    if (!ParseInteger(r.Field(2), 0, 255, attribute)) return core.BadField(r.Field(2));
    core.settings.font[group - 1][option] = static_cast<int32_t>(attribute);
    return 0;
}

int32_t SettingCommands::ObtainProgress(const RequestLine&) {
    core.ValueInteger(100);
    return 0;
}

int32_t SettingCommands::RegisterLocation(const RequestLine& r) {
    if (!core.settings.portable) return EFP_ILLEGAL_COMMAND;
    if (core.state != DocumentState::Idle) return EFP_WRONG_STATE;
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
    if (!core.settings.onlineRegistration) return EFP_NETWORK;

    core.lastLocation.present = true;
    core.lastLocation.time = core.Now();
    core.lastLocation.status = 1;
    core.lastLocation.locationType = static_cast<int32_t>(type);
    std::snprintf(core.lastLocation.description, sizeof core.lastLocation.description, "%s",
                  description);
    core.StartDocument();
    core.PrintHeader();
    core.paper.Line("LOCATION REGISTERED");
    core.paper.Line(description);
    char when[24];
    FormatDateTime(core.lastLocation.time, when, sizeof when);
    core.paper.Line(when);
    core.EndDocument(true);
    core.AddLog("LOCATION REGISTERED");
    return 0;
}

int32_t SettingCommands::GetLastRegisteredLocationInfo(const RequestLine&) {
    if (!core.lastLocation.present) return E_NOEXIST;
    core.ValueDateTime(core.lastLocation.time);
    core.ValueInteger(core.lastLocation.status);
    core.ValueInteger(0);
    core.Value("");
    return 0;
}

int32_t SettingCommands::GetFirmwareUpdateRequest(const RequestLine&) {
    core.ValueInteger(core.settings.updateAvailable);
    core.Value(core.settings.updateAvailable ? core.settings.pendingFirmware
                                             : core.settings.firmware);
    core.Value(core.settings.icmVersion);
    core.ValueInteger(core.settings.updateFired);
    return 0;
}

int32_t SettingCommands::DeferFirmwareUpdate(const RequestLine& r) {
    int64_t hours = 0;
    if (!ParseInteger(r.Field(0), 1, 168, hours)) return E_ILLEGAL;
    if (!core.settings.updateAvailable || !core.settings.updateFired) return EFP_ILLEGAL_COMMAND;
    core.settings.updateFired = false;
    core.AddLog("UPDATE DEFERRED");
    return 0;
}

int32_t SettingCommands::UpdateFirmware(const RequestLine&) {
    if (core.state != DocumentState::Idle) return EFP_WRONG_STATE;
    if (!core.settings.updateAvailable) return E_NOEXIST;
    std::snprintf(core.settings.firmware, sizeof core.settings.firmware, "%s",
                  core.settings.pendingFirmware);
    core.settings.updateAvailable = false;
    core.settings.updateFired = false;
    core.training = false;
    char text[48];
    std::snprintf(text, sizeof text, "FIRMWARE %s", core.settings.firmware);
    core.AddLog(text);
    core.restartAfterReply = true;
    return 0;
}

int32_t SettingCommands::InspectionIndex(const char* field) const {
    int64_t id = 0;
    return ParseInteger(field, 1, kInspections, id) ? static_cast<int32_t>(id - 1) : -1;
}

int32_t SettingCommands::GetInspectionRequest(const RequestLine& r) {
    int32_t i = InspectionIndex(r.Field(0));
    if (i < 0) return E_ILLEGAL;
    const InspectionRequest& request = core.settings.inspections[i];
    int64_t monitored = core.InspectionMonitored(i);
    bool fired = monitored >= request.limit;
    core.ValueInteger(i + 1);
    core.ValueInteger(monitored);
    core.ValueInteger(request.limit);
    core.Value(i == 0 ? "Days since the last service" : "Fiscal receipts printed");
    core.Value(fired ? "Service inspection is due" : "");
    core.ValueInteger(fired);
    return 0;
}

int32_t SettingCommands::AffirmInspectionRequest(const RequestLine& r) {
    int32_t i = InspectionIndex(r.Field(0));
    if (i < 0) return E_ILLEGAL;
    core.settings.inspections[i].affirmed = true;
    core.AddLog("INSPECTION AFFIRMED");
    return 0;
}

int32_t SettingCommands::ResetInspectionRequest(const RequestLine& r) {
    int32_t i = InspectionIndex(r.Field(0));
    int64_t limit = 0;
    if (i < 0 || !ParseInteger(r.Field(1), 1, INT32_MAX, limit) ||
        limit <= core.InspectionMonitored(i))
        return E_ILLEGAL;
    core.settings.inspections[i].limit = limit;
    core.settings.inspections[i].affirmed = false;
    if (i == 0) core.settings.lastServiceTime = core.Now();
    return 0;
}

int32_t SettingCommands::GetNextLogRecord(const RequestLine& r) {
    int64_t wanted = 0;
    if (!ParseInteger(r.Field(0), 0, INT32_MAX, wanted)) return E_ILLEGAL;
    // The oldest record still kept with an id of at least the one asked for.
    const LogRecord* found = nullptr;
    for (const LogRecord& record : core.log)
        if (record.id && record.id >= wanted && (!found || record.id < found->id)) found = &record;
    if (!found) return E_NOEXIST;
    core.ValueInteger(found->id + 1 < core.nextLogId ? found->id + 1 : 0);
    core.Value(found->text);
    core.ValueDateTime(found->time);
    core.ValueInteger(found->tick);
    return 0;
}

int32_t SettingCommands::GetLicenceData(const RequestLine& r) {
    int64_t id = 0;
    if (!ParseInteger(r.Field(0), 1, 2, id)) return E_ILLEGAL;
    core.ValueInteger(id);
    if (id == 1) {
        core.Value("eKasa client");
        core.Value("2024-01-01");
        core.Value("2027-12-31");
        core.ValueInteger(1);
        core.ValueInteger(1);
    } else {
        core.Value("Cloud backup");
        core.Value("");
        core.Value("");
        core.ValueInteger(0);
        core.ValueInteger(0);
    }
    return 0;
}

} // namespace korvo::sim
