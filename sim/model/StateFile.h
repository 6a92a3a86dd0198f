// The state file: what the printer keeps across restarts of the simulator
// (counters, totals, tables, lines, the last registered receipt), as
// "key=value" lines.
#pragma once

#include <string>

namespace korvo::sim {

class PrinterModel;

// Loads path into model; a missing file is a fresh printer, not an error.
// Unknown keys are ignored; a value that does not read is an error.
bool LoadState(PrinterModel& model, const char* path, std::string& error);

// Writes the state to a temporary file and renames it over path, so a crash
// never leaves half a file.
bool SaveState(PrinterModel& model, const char* path, std::string& error);

} // namespace korvo::sim
