// Drives a PrinterModel line by line, as a front end would, on a fixed clock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/model/PrinterModel.h"

namespace korvo::sim::test {

class ModelHarness {
public:
    // 2025-03-14 09:26:53 local time of the printer.
    static constexpr int64_t kStartTime = 1741944413;
    static int64_t clockNow;
    static int64_t FixedClock() { return clockNow; }

    ModelHarness();

    // The whole response line, LF included.
    std::string Send(const std::string& line, uint32_t connection = 1);
    // The result code of the response (parsed back from the line).
    int32_t Code(const std::string& line, uint32_t connection = 1);
    // The values of a successful response, split at TAB.
    std::vector<std::string> Values(const std::string& line);

    // CONNECT on connection 1.
    void Connect();
    // bFR with the given type, three items of 2.50 (VAT 1, 2 x 1.25),
    // 0.99 (VAT 2) and 1.00 (VAT 3), total 4.49.
    void OpenSaleWithItems();

    PrinterModel model;
    Reply last{};
};

} // namespace korvo::sim::test
