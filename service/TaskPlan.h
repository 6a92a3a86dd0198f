// What a task does on its printer: the printer commands a request body turns
// into, in order. Plans are made before anything is queued, so a request that
// cannot be carried out is refused without touching the printer, and they are
// kept in the journal, which runs them again after a restart exactly as
// accepted.
#pragma once

#include <string>
#include <vector>

namespace korvod {

enum class TaskKind { Receipt, Cash, Document, XReport, ZReport, Command };

const char* KindName(TaskKind kind);
bool KindFromName(const std::string& name, TaskKind& kind);
// Receipts and cash receipts are fiscal: exactly once, by their transaction id.
inline bool IsFiscal(TaskKind kind) { return kind == TaskKind::Receipt || kind == TaskKind::Cash; }

struct PlanStep {
    std::string command;    // long name from the command catalogue
    std::string parameters; // TAB-separated, Windows-1250
    std::string field;      // the part of the request it comes from: "items[2]", "payments[0]"
    int item = -1;          // index in the receipt's items, -1 for other parts

    bool operator==(const PlanStep& o) const {
        return command == o.command && parameters == o.parameters && field == o.field && item == o.item;
    }
};

struct TaskPlan {
    TaskKind kind = TaskKind::Receipt;
    std::string id; // the application's key; empty when it gave none (not for receipts)
    std::vector<PlanStep> steps;
};

// One step a line: item, field, command and parameters separated by TAB
// (the parameters keep their own TABs); texts never hold LF.
std::string EncodeSteps(const std::vector<PlanStep>& steps);
bool DecodeSteps(const std::string& text, std::vector<PlanStep>& steps);

// A request that cannot become a plan: the field at fault and why.
struct RequestError {
    std::string field;
    std::string message;
};

} // namespace korvod
