// What /metrics shows, in the Prometheus text format: tasks by state,
// receipts done, recoveries by outcome, command durations and each
// printer's state, so that a chain of shops watches its printers with the
// monitoring it already runs.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

namespace prometheus {
class Registry;
class Gauge;
template <typename T> class Family;
class Counter;
class Histogram;
} // namespace prometheus

namespace korvod {

class Metrics {
public:
    Metrics();
    ~Metrics();
    Metrics(const Metrics&) = delete;
    Metrics& operator=(const Metrics&) = delete;

    void Command(const std::string& printer, const std::string& command, double seconds);
    void ReceiptDone(const std::string& printer);
    void Recovery(const std::string& printer, const std::string& outcome);
    void PrinterState(const std::string& printer, const char* state);

    // The exposition, with the task counts from the journal.
    std::string Text(const std::map<std::string, int64_t>& tasksByState);

private:
    std::shared_ptr<prometheus::Registry> registry;
    prometheus::Family<prometheus::Gauge>* tasks;
    prometheus::Family<prometheus::Counter>* receipts;
    prometheus::Family<prometheus::Counter>* recoveries;
    prometheus::Family<prometheus::Histogram>* durations;
    prometheus::Family<prometheus::Gauge>* printerState;
};

} // namespace korvod
