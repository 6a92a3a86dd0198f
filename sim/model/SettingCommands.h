// What applications read from the printer and set in it: clock, properties,
// VAT and payment tables, header and trailer lines, fonts, registration of
// the location, firmware update, service requests, log, licences.
#pragma once

#include <cstdint>

#include "sim/model/ModelCore.h"
#include "sim/model/RequestLine.h"

namespace korvo::sim {

class SettingCommands {
public:
    explicit SettingCommands(ModelCore& core) : core(core) {}

    // Commands, by short name.
    int32_t SetSerialNumber(const RequestLine&);
    int32_t SetFiscalMode(const RequestLine&);
    int32_t GetDate(const RequestLine& r);
    int32_t SetDate(const RequestLine& r);
    int32_t GetProperty(const RequestLine& r);
    int32_t SetProperty(const RequestLine& r);
    int32_t GetVatEntry(const RequestLine& r);
    int32_t SetHeaderLines(const RequestLine& r);
    int32_t SetTrailerLines(const RequestLine& r);
    int32_t GetHeaderLine(const RequestLine& r);
    int32_t GetTrailerLine(const RequestLine& r);
    int32_t SetPaymentType(const RequestLine& r);
    int32_t GetPaymentEntry(const RequestLine& r);
    int32_t SetPaymentEntry(const RequestLine& r);
    int32_t SetPosId(const RequestLine& r);
    int32_t GetFontAttribute(const RequestLine& r);
    int32_t SetFontAttribute(const RequestLine& r);
    int32_t ObtainProgress(const RequestLine&);
    int32_t RegisterLocation(const RequestLine& r);
    int32_t GetLastRegisteredLocationInfo(const RequestLine&);
    int32_t GetFirmwareUpdateRequest(const RequestLine&);
    int32_t DeferFirmwareUpdate(const RequestLine& r);
    int32_t UpdateFirmware(const RequestLine&);
    int32_t GetInspectionRequest(const RequestLine& r);
    int32_t AffirmInspectionRequest(const RequestLine& r);
    int32_t ResetInspectionRequest(const RequestLine& r);
    int32_t GetNextLogRecord(const RequestLine& r);
    int32_t GetLicenceData(const RequestLine& r);

private:
    int32_t SetLogoLines(const RequestLine& r, char (*lines)[kLineText + 1], const char* what);
    int32_t GetLogoLine(const RequestLine& r, const char (*lines)[kLineText + 1]);
    int32_t InspectionIndex(const char* field) const;

    ModelCore& core;
};

} // namespace korvo::sim
