// Request bodies to task plans: the whole translation from the API's JSON to
// printer commands, with no printer, journal or network involved. A body that
// cannot be printed as asked is refused here, naming the field.
#pragma once

#include <string>

#include "BodyFields.h"
#include "TaskPlan.h"

namespace korvod {

// The printer's command catalogue as far as requests need it; korvod answers
// from the library's head exports.
class CommandHeads {
public:
    virtual ~CommandHeads() = default;
    // false when the catalogue has no such command. Heads are TAB-separated
    // names, empty when the command has none.
    virtual bool Find(const std::string& name, std::string& requestHead,
                      std::string& responseHead) const = 0;
};

// false with the field at fault and why. An empty body counts as {}.
bool PlanRequest(TaskKind kind, const std::string& body, const CommandHeads& heads, TaskPlan& plan,
                 RequestError& error);

// The parts, for PlanRequest. They throw RequestError.
void PlanReceipt(BodyFields& body, TaskPlan& plan);
void PlanCash(BodyFields& body, TaskPlan& plan);
void PlanDocument(BodyFields& body, TaskPlan& plan);
void PlanReport(BodyFields& body, TaskPlan& plan);
void PlanCommand(BodyFields& body, const CommandHeads& heads, TaskPlan& plan);

// Joins fields with TAB, the printer's parameter separator.
std::string JoinFields(std::initializer_list<std::string> fields);

} // namespace korvod
