// Tasks and printer answers as the API shows them.
#pragma once

#include <string>

#include "ExactJson.h"
#include "Journal.h"

namespace korvod {

// {"id", "printer", "kind", "state", "attempts", "outcome", "recovered",
//  "created", "updated", "result", "error"}
Json TaskJson(const TaskRecord& task);

// A command's answer: {"command", "values": {name: value}, "raw": [...]},
// values named by the command's response head.
Json CommandResult(const std::string& command, const std::string& responseHead, const std::string& values);

// 2026-03-01T12:00:00.250Z
std::string IsoTime(int64_t ms);

} // namespace korvod
