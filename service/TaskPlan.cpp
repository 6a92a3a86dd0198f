#include "TaskPlan.h"

#include <cstdlib>

namespace korvod {

namespace {

struct KindNameRow {
    TaskKind kind;
    const char* name;
};
const KindNameRow kKindNames[] = {
    {TaskKind::Receipt, "receipt"},   {TaskKind::Cash, "cash"},       {TaskKind::Document, "document"},
    {TaskKind::XReport, "x-report"}, {TaskKind::ZReport, "z-report"}, {TaskKind::Command, "command"},
};

} // namespace

const char* KindName(TaskKind kind) {
    for (const auto& row : kKindNames)
        if (row.kind == kind) return row.name;
    return "?";
}

bool KindFromName(const std::string& name, TaskKind& kind) {
    for (const auto& row : kKindNames) {
        if (name == row.name) {
            kind = row.kind;
            return true;
        }
    }
    return false;
}

std::string EncodeSteps(const std::vector<PlanStep>& steps) {
    std::string text;
    for (const PlanStep& s : steps) {
        text += std::to_string(s.item);
        text += '\t';
        text += s.field;
        text += '\t';
        text += s.command;
        text += '\t';
        text += s.parameters;
        text += '\n';
    }
    return text;
}

bool DecodeSteps(const std::string& text, std::vector<PlanStep>& steps) {
    steps.clear();
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) return false;
        std::string line = text.substr(start, end - start);
        start = end + 1;
        size_t a = line.find('\t');
        size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
        size_t c = b == std::string::npos ? b : line.find('\t', b + 1);
        if (c == std::string::npos) return false;
        PlanStep step;
        step.item = std::atoi(line.substr(0, a).c_str());
        step.field = line.substr(a + 1, b - a - 1);
        step.command = line.substr(b + 1, c - b - 1);
        step.parameters = line.substr(c + 1);
        if (step.command.empty()) return false;
        steps.push_back(std::move(step));
    }
    return true;
}

} // namespace korvod
