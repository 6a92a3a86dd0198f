// korvosim's faults files: rules parsed from text, taken by requests and
// described for the journal.
//
// Input: the text of a faults file.
#include <cstring>
#include <string>

#include "FuzzTarget.h"
#include "sim/faults/FaultPlan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace korvo::sim;
    using korvo::fuzz::Fail;

    const std::string text(reinterpret_cast<const char*>(data), size);
    FaultPlan plan;
    std::string error;
    if (!plan.AddText(text.c_str(), error) && error.empty()) Fail("failure without a reason");
    if (plan.Count() < 0 || plan.Count() > FaultPlan::kMaxRules) Fail("rule count");

    static const char* const kNames[] = {"CONNECT", "bFR", "pRI", "gDT", "DISCONNECT", "x"};
    for (int i = 0; i < 24; ++i) {
        FaultAction action = plan.Take(kNames[i % 6]);
        if (action.textLength > sizeof action.text) Fail("raw text length");
        char described[80];
        std::memset(described, 'x', sizeof described);
        FaultPlan::Describe(action, described, sizeof described);
        if (!std::memchr(described, '\0', sizeof described)) Fail("description not terminated");
    }
    return 0;
}
