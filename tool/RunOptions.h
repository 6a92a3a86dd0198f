// The display options of one korvoprog run, set by the program's
// configuration file and read by the command-file run.
#pragma once

namespace korvo {

struct RunOptions {
    bool DisplayCurrentTime =
        false; // time of day in front of Connect, command and Disconnect lines
    bool DisplayCommandTime = false;   // duration behind each of those results
    bool CommandTimeOnNewLine = false; // that duration on a line of its own
    bool NamedErrors = false;          // result codes by their catalogue names
    bool PrintLineNum = false;         // line number in front of each command line
};

} // namespace korvo
