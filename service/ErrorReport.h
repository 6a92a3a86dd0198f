// Errors as the API reports them: one JSON object with the HTTP status, a
// kind, an English message and, where a printer command failed, the result
// code with its catalogue name and texts in English and Slovak, the command
// and the part of the request it came from.
#pragma once

#include <string>

#include "ExactJson.h"
#include "TaskPlan.h"

namespace korvod {

// {"code": 217, "name": "EFP_BAD_VAT", "text": {"en": ..., "sk": ...}}, the
// texts specific to command where the catalogue has such.
Json DescribeCode(int code, const std::string& command);

// An error that is not about a printer command.
Json ErrorBody(int status, const char* kind, const std::string& message, const std::string& field = "");

// A printer command that failed with code: 422 for the printer's refusal,
// 503 for a failed link. step names the command and the request part.
Json CommandError(int code, const PlanStep& step, const std::string& message);

} // namespace korvod
