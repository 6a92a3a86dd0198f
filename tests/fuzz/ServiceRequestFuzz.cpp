// korvod's translation of request bodies into printer commands: any bytes
// as the body of any kind of request.
//
// Input: a control byte (its value modulo 6 picks the kind: receipt, cash,
// document, X report, Z report, command), then the body.
#include <string>

#include "FuzzTarget.h"
#include "Requests.h"

namespace {

using namespace korvod;
using korvo::fuzz::Fail;

// A few catalogue rows, as the library's head exports give them.
class FixedHeads : public CommandHeads {
public:
    bool Find(const std::string& name, std::string& request, std::string& response) const override {
        if (name == "getDate" || name == "gDT") {
            request = "dateType";
            response = "dateType\tdate";
        } else if (name == "printZReport") {
            request.clear();
            response.clear();
        } else if (name == "setHeaderLines") {
            request = "*line1\t*line2\t*line3\t*line4\t*line5\t*line6\t*line7\t*line8\t*line9";
            response.clear();
        } else {
            return false;
        }
        return true;
    }
};

void CheckPlan(const TaskPlan& plan) {
    if (plan.steps.empty()) Fail("a plan without commands");
    for (const PlanStep& step : plan.steps) {
        if (step.command.empty()) Fail("a step without a command");
        if (step.parameters.size() > 2400) Fail("parameters longer than a request line holds");
        for (unsigned char c : step.parameters)
            if ((c < 0x20 && c != '\t') || c == 0x7F) Fail("a control byte in the parameters");
        for (unsigned char c : step.field)
            if (c < 0x20) Fail("a control byte in a field name");
    }
    std::vector<PlanStep> back;
    if (!DecodeSteps(EncodeSteps(plan.steps), back) || !(back == plan.steps)) Fail("the journal form of a plan");
    if (IsFiscal(plan.kind)) {
        if (!IsIdentifier(plan.id)) Fail("a receipt without a valid id");
        const PlanStep& first = plan.steps.front();
        if (first.command != "beginFiscalReceipt") Fail("a receipt that does not begin");
        if (first.parameters.size() < plan.id.size() ||
            first.parameters.compare(first.parameters.size() - plan.id.size(), plan.id.size(), plan.id) != 0)
            Fail("a receipt that is not begun with its id");
        if (plan.steps.back().command != "endFiscalReceipt") Fail("a receipt that does not end");
        for (size_t i = 1; i + 1 < plan.steps.size(); ++i) {
            const std::string& c = plan.steps[i].command;
            if (c == "beginFiscalReceipt" || c == "endFiscalReceipt") Fail("a receipt begun or ended twice");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    korvo::fuzz::FuzzInput in(data, size);
    static const TaskKind kinds[] = {TaskKind::Receipt, TaskKind::Cash,    TaskKind::Document,
                                     TaskKind::XReport, TaskKind::ZReport, TaskKind::Command};
    TaskKind kind = kinds[in.TakeByte() % 6];
    std::string body = in.Rest();
    static const FixedHeads heads;
    TaskPlan plan;
    RequestError error;
    if (PlanRequest(kind, body, heads, plan, error)) {
        if (plan.kind != kind) Fail("the plan is of another kind");
        CheckPlan(plan);
    } else {
        if (error.field.empty() || error.message.empty()) Fail("a refusal that names no field or reason");
        if (!plan.steps.empty()) Fail("a refused request left commands behind");
    }
    return 0;
}
