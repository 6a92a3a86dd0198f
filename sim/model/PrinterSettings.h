// What the printer keeps between documents: its identity, the VAT and
// payment tables, header and trailer lines, switches an application can set,
// and the state of its firmware, location and service requests.
#pragma once

#include <cstdint>

namespace korvo::sim {

constexpr int kVatCount = 5;     // configured rates, ids 1..kVatCount
constexpr int kPaymentCount = 6; // payment ids 1..kPaymentCount
constexpr int kLogoLines = 9;    // header lines and trailer lines each
constexpr int kLineText = 40;    // one line of paper
constexpr int kFontGroups = 4;
constexpr int kFontOptions = 8;
constexpr int kInspections = 2;

enum PaymentType : int32_t { kPaymentUnused = 0, kPaymentCash = 1, kPaymentNonCash = 2 };

struct VatRate {
    int32_t rate; // hundredths of a percent: 2300 is 23.00 %
    int32_t flag; // 1 taxable, 0 exempt
};

struct PaymentEntry {
    char name[24];
    int32_t type; // PaymentType
};

struct InspectionRequest {
    int64_t limit;
    bool affirmed;
};

struct PrinterSettings {
    char serialNumber[24];
    char firmware[16];
    char pendingFirmware[16]; // the version an update would install
    char icmVersion[16];
    char currency[8];
    VatRate vat[kVatCount];
    PaymentEntry payments[kPaymentCount];
    char header[kLogoLines][kLineText + 1];
    char trailer[kLogoLines][kLineText + 1];
    char posId[17];
    char cashierId[17];
    int32_t font[kFontGroups][kFontOptions];
    InspectionRequest inspections[kInspections];

    bool onlineRegistration; // receipts get a UID from the server
    bool portable;           // a portable register registers its location
    bool updateAvailable;
    bool updateFired; // the update is due: documents are refused until it runs
    bool paperEmpty;
    bool coverOpen;
    int64_t clockOffset; // seconds added to the host's clock
    int64_t lastServiceTime;
};

// The state of a new printer out of the box.
void DefaultSettings(PrinterSettings& settings);

// 'A' for VAT id 1, 'B' for 2, ...
inline char VatLetter(int vatId) {
    return static_cast<char>('A' + vatId - 1);
}

} // namespace korvo::sim
