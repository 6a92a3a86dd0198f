#include "LinkTestSupport.h"

#include <utility>

#include <gtest/gtest.h>

namespace korvo::test {

std::string MemoryPrinter::Execute(const std::string& request) {
    std::string reply;
    {
        std::lock_guard<std::mutex> lock(m);
        executed.push_back(request);
        if (asPrinter)
            reply = request.substr(0, request.find('\t')) + "\tRSP\t0\n";
        else
            reply = answer.empty() ? "ok " + request : answer;
    }
    if (afterRun && station) afterRun(*station);
    return reply;
}

void MemoryPrinter::SetAnswer(std::string a) {
    std::lock_guard<std::mutex> lock(m);
    answer = std::move(a);
}

int MemoryPrinter::Runs(const std::string& request) const {
    std::lock_guard<std::mutex> lock(m);
    int n = 0;
    for (const std::string& r : executed)
        n += r == request;
    return n;
}

std::vector<std::string> MemoryPrinter::Executed() const {
    std::lock_guard<std::mutex> lock(m);
    return executed;
}

StationLine::StationLine() {
    printer.station = &station;
    line.Answer([this](const std::string& frame) {
        std::string out;
        station.Feed(reinterpret_cast<const uint8_t*>(frame.data()), frame.size(), out);
        return out;
    });
}

void StationLine::AddFault(const char* text) {
    sim::LinkFault f;
    ASSERT_TRUE(sim::ParseLinkFault(text, f)) << text;
    station.Faults().Add(f);
}

Outcome Exchange(INetworkLayer& layer, const std::string& request, int limitMs) {
    Outcome o;
    layer.PurgeReceive();
    o.code = layer.Send(reinterpret_cast<const uint8_t*>(request.data()),
                        static_cast<uint32_t>(request.size()));
    if (o.code != 0) return o;
    uint8_t buffer[2500];
    for (int i = 0; i < limitMs; ++i) {
        if (layer.BytesAvailable() != 0) {
            int32_t n = layer.Receive(buffer, sizeof buffer);
            if (n > 0) o.response.append(reinterpret_cast<char*>(buffer), static_cast<size_t>(n));
            if (!o.response.empty() && o.response.back() == '\n') break;
        }
        if (layer.HasFailed()) {
            o.code = layer.GetFailureCode();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    layer.EndReceive();
    if (o.code == 0 && (o.response.empty() || o.response.back() != '\n')) o.code = -301;
    return o;
}

std::vector<std::string> PrimaryFrames(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const std::string& e : log)
        if (e.compare(0, 4, "L>P ") == 0) out.push_back(e.substr(4));
    return out;
}

} // namespace korvo::test
