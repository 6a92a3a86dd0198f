#include "TaskView.h"

#include <ctime>

#include "ReceiptRecovery.h"
#include "Windows1250.h"

namespace korvod {

std::string IsoTime(int64_t ms) {
    std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    std::snprintf(text + n, sizeof text - n, ".%03dZ", static_cast<int>(ms % 1000));
    return text;
}

namespace {

Json ParsedOrNull(const std::string& text) {
    if (text.empty()) return nullptr;
    Json value = Json::parse(text, nullptr, false);
    return value.is_discarded() ? Json(nullptr) : value;
}

} // namespace

Json TaskJson(const TaskRecord& task) {
    Json out = Json::object();
    out["id"] = task.id;
    out["printer"] = task.printer;
    out["kind"] = KindName(task.kind);
    out["state"] = StateName(task.state);
    out["attempts"] = task.attempts;
    out["outcome"] = task.outcome.empty() ? Json(nullptr) : Json(task.outcome);
    out["recovered"] = task.recovered;
    out["created"] = IsoTime(task.createdMs);
    out["updated"] = IsoTime(task.updatedMs);
    out["result"] = ParsedOrNull(task.result);
    out["error"] = ParsedOrNull(task.error);
    return out;
}

Json CommandResult(const std::string& command, const std::string& responseHead, const std::string& values) {
    Json out = Json::object();
    out["command"] = command;
    Json named = Json::object();
    Json raw = Json::array();
    std::vector<std::string> names = responseHead.empty() ? std::vector<std::string>() : SplitFields(responseHead);
    std::vector<std::string> fields = values.empty() ? std::vector<std::string>() : SplitFields(values);
    for (size_t i = 0; i < fields.size(); ++i) {
        std::string text = FromWindows1250(fields[i]);
        raw.push_back(text);
        if (i < names.size()) {
            std::string name = names[i];
            if (!name.empty() && name[0] == '*') name.erase(0, 1);
            named[name] = text;
        }
    }
    out["values"] = named;
    out["raw"] = raw;
    return out;
}

} // namespace korvod
