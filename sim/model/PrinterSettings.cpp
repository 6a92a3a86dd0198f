#include "sim/model/PrinterSettings.h"

#include <cstdio>
#include <cstring>

namespace korvo::sim {

void DefaultSettings(PrinterSettings& s) {
    std::memset(&s, 0, sizeof s);
    std::snprintf(s.serialNumber, sizeof s.serialNumber, "KV240017");
    std::snprintf(s.firmware, sizeof s.firmware, "3.4.12");
    std::snprintf(s.pendingFirmware, sizeof s.pendingFirmware, "3.5.0");
    std::snprintf(s.icmVersion, sizeof s.icmVersion, "2.1.4");
    std::snprintf(s.currency, sizeof s.currency, "EUR");
    static const VatRate rates[kVatCount] = {{2300, 1}, {1900, 1}, {500, 1}, {1000, 1}, {0, 0}};
    std::memcpy(s.vat, rates, sizeof rates);
    static const PaymentEntry payments[kPaymentCount] = {
        {"Cash", kPaymentCash},      {"Card", kPaymentNonCash},     {"Voucher", kPaymentNonCash},
        {"Cheque", kPaymentNonCash}, {"Transfer", kPaymentNonCash}, {"", kPaymentUnused}};
    std::memcpy(s.payments, payments, sizeof payments);
    std::snprintf(s.header[0], sizeof s.header[0], "KORVO DEMO SHOP s.r.o.");
    std::snprintf(s.header[1], sizeof s.header[1], "Hlavna 1, 811 01 Bratislava");
    std::snprintf(s.header[2], sizeof s.header[2], "ICO: 12345678");
    std::snprintf(s.header[3], sizeof s.header[3], "DIC: 2020123456");
    std::snprintf(s.header[4], sizeof s.header[4], "IC DPH: SK2020123456");
    std::snprintf(s.trailer[0], sizeof s.trailer[0], "Thank you for your purchase");
    std::snprintf(s.posId, sizeof s.posId, "01");
    for (auto& group : s.font)
        for (auto& option : group)
            option = 0;
    s.inspections[0].limit = 365;     // days since the last service
    s.inspections[1].limit = 1000000; // fiscal receipts since the start
    s.onlineRegistration = true;
    s.updateAvailable = true;
}

} // namespace korvo::sim
