#include "ErrorReport.h"

#include "Windows1250.h"
#include "korvocomm.h"

namespace korvod {

namespace {

std::string Text(int language, const std::string& command, int code) {
    char buffer[1024];
    int n = GetCommandErrorText(language, command.c_str(), code, buffer, sizeof buffer - 1);
    if (n < 0) return std::string();
    buffer[n < static_cast<int>(sizeof buffer) - 1 ? n : static_cast<int>(sizeof buffer) - 1] = 0;
    return FromWindows1250(buffer);
}

} // namespace

Json DescribeCode(int code, const std::string& command) {
    char name[128];
    int n = GetErrorName(code, name, sizeof name - 1);
    Json out = Json::object();
    out["code"] = code;
    if (n >= 0) {
        name[n < static_cast<int>(sizeof name) - 1 ? n : static_cast<int>(sizeof name) - 1] = 0;
        out["name"] = name;
    } else {
        out["name"] = nullptr;
    }
    out["text"] = {{"en", Text(LANGUAGE_ENGLISH, command, code)}, {"sk", Text(LANGUAGE_SLOVAK, command, code)}};
    return out;
}

Json ErrorBody(int status, const char* kind, const std::string& message, const std::string& field) {
    Json out = Json::object();
    out["status"] = status;
    out["error"] = kind;
    out["message"] = message;
    if (!field.empty()) out["field"] = field;
    return out;
}

Json CommandError(int code, const PlanStep& step, const std::string& message) {
    bool refused = code > 0;
    Json out = ErrorBody(refused ? 422 : 503, refused ? "printer_refused" : "printer_unreachable", message,
                         step.field);
    Json described = DescribeCode(code, step.command);
    out["code"] = described["code"];
    out["name"] = described["name"];
    out["text"] = described["text"];
    out["command"] = step.command;
    if (step.item >= 0) out["item"] = step.item;
    return out;
}

} // namespace korvod
