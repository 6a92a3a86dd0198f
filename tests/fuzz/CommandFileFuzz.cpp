// Command files as korvoprog runs them, against a scripted printer: line
// cutting, command and configuration lines, the response file.
//
// Input: a control byte (bits 0-4: the display options, bits 5-6: the
// connection kind), then the command file.
#include <cstdio>
#include <string>
#include <vector>

#include "FakeLibrary.h"
#include "FastClock.h"
#include "FuzzTarget.h"
#include "TempDir.h"
#include "tool/CommandFileRun.h"
#include "tool/ExitCodes.h"

namespace {

using namespace korvo;
using korvo::fuzz::Fail;

void ScriptPrinter() {
    test::ResetFake();
    test::Fake().answers["gDT"] = test::FakeAnswer{0, "1\t05032024"};
    test::Fake().answers["bFR"] = test::FakeAnswer{0, ""};
    test::Fake().answers["pRS"] = test::FakeAnswer{0, "12.50"};
    test::Fake().answers["eFR"] = test::FakeAnswer{207, ""};
    test::Fake().configResults["next_cmd_time"] = 0;
    test::Fake().configTexts["next_cmd_time"] = "250";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static test::TempDir dir;
    static std::FILE* console = std::fopen("/dev/null", "w");
    static const std::string input = dir.File("commands.txt");
    static const std::string output = dir.File("responses.txt");

    korvo::fuzz::FuzzInput in(data, size);
    const uint8_t control = in.TakeByte();
    const std::string text = in.Rest();
    dir.Write("commands.txt", text);

    RunOptions options;
    options.DisplayCurrentTime = control & 1;
    options.DisplayCommandTime = control & 2;
    options.CommandTimeOnNewLine = control & 4;
    options.NamedErrors = control & 8;
    options.PrintLineNum = control & 16;
    static const int kKinds[] = {kConnectionTCP, kConnectionUSB, kConnectionRS232, kConnectionTCP};
    const int kind = kKinds[(control >> 5) & 3];
    const char* port = kind == kConnectionTCP ? "127.0.0.1:5000" : "COM3";

    korvo::fuzz::FastClock clock;
    ScriptPrinter();
    int code = RunCommandFile(options, kind, port, 115200, 2, input.c_str(), output.c_str(),
                              test::FakeEnvironment(console));

    switch (code) {
    case kExitSuccess:
    case kExitDisconnectError:
    case kExitCommandFailed:
    case kExitLineTooLong:
    case kExitInputTooShort:
        break;
    default:
        Fail("exit code that a readable command file cannot give");
    }
    if (!text.empty()) {
        std::vector<char> copy(text.begin(), text.end());
        copy.push_back('\0');
        const bool linesFit = CutCommandLines(copy.data(), static_cast<uint32_t>(text.size()));
        if (linesFit == (code == kExitLineTooLong)) Fail("line length check and exit code disagree");
        if (linesFit)
            for (char c : copy)
                if (c == '\r' || c == '\n') Fail("line end left after cutting");
    } else if (code != kExitInputTooShort) {
        Fail("empty command file not refused");
    }
    return 0;
}
