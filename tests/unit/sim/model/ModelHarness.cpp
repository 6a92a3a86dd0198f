#include "ModelHarness.h"

#include <cstdlib>
#include <cstring>

namespace korvo::sim::test {

int64_t ModelHarness::clockNow = ModelHarness::kStartTime;

ModelHarness::ModelHarness() {
    clockNow = kStartTime;
    model.SetHostClock(&FixedClock);
}

std::string ModelHarness::Send(const std::string& line, uint32_t connection) {
    std::vector<char> buffer(line.begin(), line.end());
    buffer.push_back(0);
    model.Handle(connection, buffer.data(), line.size(), last);
    return std::string(last.text, last.length);
}

int32_t ModelHarness::Code(const std::string& line, uint32_t connection) {
    std::string response = Send(line, connection);
    size_t first = response.find('\t');
    size_t second = response.find('\t', first + 1);
    return static_cast<int32_t>(std::strtol(response.c_str() + second + 1, nullptr, 10));
}

std::vector<std::string> ModelHarness::Values(const std::string& line) {
    std::string response = Send(line);
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t tab = response.find_first_of("\t\n", start);
        fields.push_back(response.substr(start, tab - start));
        if (tab == std::string::npos || response[tab] == '\n') break;
        start = tab + 1;
    }
    // Drop the name, the marker and the code.
    if (fields.size() < 3 || fields[2] != "0") return {"error " + response};
    return std::vector<std::string>(fields.begin() + 3, fields.end());
}

void ModelHarness::Connect() {
    Send("CONNECT\tREQ");
}

void ModelHarness::OpenSaleWithItems() {
    Send("bFR\tREQ\t1\t0\t");
    Send("pRI\tREQ\tBread\t2.50\t2\t1\t\t\t\t\t\t");
    Send("pRI\tREQ\tMilk\t0.99\t1\t2\t\t\t\t\t\t");
    Send("pRI\tREQ\tApples\t1.00\t0.5\t3\t\t2.00\tkg\t\t\t");
}

} // namespace korvo::sim::test
