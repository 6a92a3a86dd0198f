#include "Metrics.h"

#include <prometheus/counter.h>
#include <prometheus/family.h>
#include <prometheus/gauge.h>
#include <prometheus/histogram.h>
#include <prometheus/registry.h>
#include <prometheus/text_serializer.h>

namespace korvod {

namespace {

const char* const kPrinterStates[] = {"ready", "busy", "offline", "recovering"};

} // namespace

Metrics::Metrics() : registry(std::make_shared<prometheus::Registry>()) {
    tasks = &prometheus::BuildGauge().Name("korvod_tasks").Help("Tasks in the journal by state").Register(*registry);
    receipts = &prometheus::BuildCounter()
                    .Name("korvod_receipts_done_total")
                    .Help("Fiscal receipts registered since korvod started")
                    .Register(*registry);
    recoveries = &prometheus::BuildCounter()
                      .Name("korvod_recoveries_total")
                      .Help("Receipts resolved after a failure, by outcome")
                      .Register(*registry);
    durations = &prometheus::BuildHistogram()
                     .Name("korvod_command_duration_seconds")
                     .Help("Time from sending a printer command to its answer")
                     .Register(*registry);
    printerState = &prometheus::BuildGauge()
                        .Name("korvod_printer_state")
                        .Help("1 for the state each printer is in")
                        .Register(*registry);
}

Metrics::~Metrics() = default;

void Metrics::Command(const std::string& printer, const std::string& command, double seconds) {
    static const prometheus::Histogram::BucketBoundaries buckets{0.005, 0.01, 0.025, 0.05, 0.1, 0.25,
                                                                  0.5,   1,    2.5,   5,    10,  30, 90};
    durations->Add({{"printer", printer}, {"command", command}}, buckets).Observe(seconds);
}

void Metrics::ReceiptDone(const std::string& printer) { receipts->Add({{"printer", printer}}).Increment(); }

void Metrics::Recovery(const std::string& printer, const std::string& outcome) {
    recoveries->Add({{"printer", printer}, {"outcome", outcome}}).Increment();
}

void Metrics::PrinterState(const std::string& printer, const char* state) {
    for (const char* s : kPrinterStates)
        printerState->Add({{"printer", printer}, {"state", s}}).Set(std::string(s) == state ? 1 : 0);
}

std::string Metrics::Text(const std::map<std::string, int64_t>& tasksByState) {
    for (const auto& [state, count] : tasksByState)
        tasks->Add({{"state", state}}).Set(static_cast<double>(count));
    prometheus::TextSerializer serializer;
    return serializer.Serialize(registry->Collect());
}

} // namespace korvod
