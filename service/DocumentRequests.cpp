// Non-fiscal documents, reports and single catalogue commands, and the entry
// point that turns any request body into its plan.
#include <string>

#include "Requests.h"

namespace korvod {

namespace {

constexpr size_t kMaxLines = 500;
constexpr size_t kMaxParameters = 32;
// The printer's request line holds 2499 bytes; the name and marker go first.
constexpr size_t kParameterBytes = 2400;

size_t FieldCount(const std::string& head) {
    if (head.empty()) return 0;
    size_t n = 1;
    for (char c : head)
        n += c == '\t';
    return n;
}

std::string ParameterText(const Json& value, const std::string& path) {
    if (value.is_number_integer())
        return value.is_number_unsigned() ? std::to_string(value.get<uint64_t>())
                                          : std::to_string(value.get<int64_t>());
    if (IsDecimalLiteral(value)) return DecimalLiteralText(value);
    return CheckedText(value, path, kParameterBytes);
}

} // namespace

std::string JoinFields(std::initializer_list<std::string> fields) {
    std::string text;
    bool first = true;
    for (const std::string& f : fields) {
        if (!first) text += '\t';
        text += f;
        first = false;
    }
    return text;
}

void PlanDocument(BodyFields& body, TaskPlan& plan) {
    plan.kind = TaskKind::Document;
    plan.id = body.Identifier("id", false);
    const Json& lines = body.Array("lines", kMaxLines, true);
    plan.steps.push_back(PlanStep{"beginNonFiscal", "", "lines"});
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string path = "lines[" + std::to_string(i) + "]";
        plan.steps.push_back(PlanStep{"printNormal", CheckedText(lines[i], path, kTextLimit), path});
    }
    plan.steps.push_back(PlanStep{"endNonFiscal", body.Flag("cut", false) ? "1" : "0", "cut"});
    body.Finish();
}

void PlanReport(BodyFields& body, TaskPlan& plan) {
    plan.id = body.Identifier("id", false);
    plan.steps.push_back(
        PlanStep{plan.kind == TaskKind::ZReport ? "printZReport" : "printXReport", "", "(body)"});
    body.Finish();
}

void PlanCommand(BodyFields& body, const CommandHeads& heads, TaskPlan& plan) {
    plan.kind = TaskKind::Command;
    plan.id = body.Identifier("id", false);
    std::string name = body.Text("command", 64, true);
    std::string requestHead, responseHead;
    if (!heads.Find(name, requestHead, responseHead))
        Refuse(body.Path("command"), "is not a command of the printer's catalogue");
    const Json& parameters = body.Array("parameters", kMaxParameters, false);
    size_t room = FieldCount(requestHead);
    if (parameters.size() > room)
        Refuse(body.Path("parameters"), "has " + std::to_string(parameters.size()) + " values; " + name +
                                            " takes " + std::to_string(room));
    std::string joined;
    for (size_t i = 0; i < parameters.size(); ++i) {
        if (i) joined += '\t';
        joined += ParameterText(parameters[i], "parameters[" + std::to_string(i) + "]");
    }
    if (joined.size() > kParameterBytes)
        Refuse(body.Path("parameters"), "are longer than " + std::to_string(kParameterBytes) + " bytes together");
    plan.steps.push_back(PlanStep{name, joined, "command"});
    body.Finish();
}

bool PlanRequest(TaskKind kind, const std::string& text, const CommandHeads& heads, TaskPlan& plan,
                 RequestError& error) {
    plan = TaskPlan();
    plan.kind = kind;
    Json document;
    std::string why;
    bool blank = text.find_first_not_of(" \t\r\n") == std::string::npos;
    if (blank) {
        document = Json::object();
    } else if (!ParseExactJson(text, document, why)) {
        error = RequestError{"(body)", "is not valid JSON: " + why};
        return false;
    }
    try {
        BodyFields body(document, "");
        switch (kind) {
        case TaskKind::Receipt:
            PlanReceipt(body, plan);
            break;
        case TaskKind::Cash:
            PlanCash(body, plan);
            break;
        case TaskKind::Document:
            PlanDocument(body, plan);
            break;
        case TaskKind::XReport:
        case TaskKind::ZReport:
            PlanReport(body, plan);
            break;
        case TaskKind::Command:
            PlanCommand(body, heads, plan);
            break;
        }
    } catch (const RequestError& e) {
        error = e;
        plan = TaskPlan();
        return false;
    }
    return true;
}

} // namespace korvod
