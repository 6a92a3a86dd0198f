#include "tool/MainFlow.h"

#include <cstring>

#include "api/ConnectionSetup.h"
#include "korvo_version.h"
#include "protocol/TextCompare.h"
#include "tool/CommandFileRun.h"
#include "tool/DecimalText.h"
#include "tool/ExitCodes.h"
#include "tool/ProgramConfiguration.h"

namespace korvo {

namespace {

void PrintUsage(FILE* out, const char* name) {
    std::fprintf(out, "Usage: %s USB PortName <InputFile> <OutputFile>\n", name);
    std::fprintf(out, "       or\n");
    std::fprintf(out,
                 "       %s RS232 PortName CommunicationSpeed DeviceAddress <InputFile> "
                 "<OutputFile>\n",
                 name);
    std::fprintf(out, "       or\n");
    std::fprintf(out, "       %s TCP HostAddress <InputFile> <OutputFile>\n", name);
    std::fprintf(out, "\n");
    std::fprintf(out, "Example for USB connection - virtual COM6 port\n");
    std::fprintf(out, "       %s USB COM6 \"CommandFile.csv\" \"ResponseFile.csv\"\n", name);
    std::fprintf(out, "Example for connection via standard RS-232 COM1 port\n");
    std::fprintf(out, "       %s RS232 COM1 38400 2 \"CommandFile.csv\" \"ResponseFile.csv\"\n",
                 name);
    std::fprintf(out,
                 "Example for connection via TCP port to IP address 192.168.1.104 on port 49999\n");
    std::fprintf(
        out, "       %s TCP 192.168.1.104:49999 \"CommandFile.csv\" \"ResponseFile.csv\"\n", name);
}

void PrintMessage(FILE* out, const char* message, const char* usageName) {
    std::fprintf(out, "%s", message);
    std::fprintf(out, "\n");
    if (!usageName) return;
    PrintUsage(out, usageName);
    std::fprintf(out, "\n");
    std::fprintf(out, "\n");
}

} // namespace

CommandLine ParseCommandLine(int argc, const char* const* argv, const LibraryCalls& library) {
    CommandLine line;
    int count = argc - 1; // arguments after the program name
    if (count < 4) return line;
    const char* word = argv[1];
    if (EqualsIgnoreCase(word, "USB") && count == 4) {
        line.portOrHost = argv[2];
        line.inputFile = argv[3];
        line.outputFile = argv[4];
        if (library.IsValidComPortName(line.portOrHost)) line.kind = kConnectionUSB;
    } else if (EqualsIgnoreCase(word, "RS232") && count == 6) {
        line.portOrHost = argv[2];
        line.speed = ReadDecimal(argv[3]);
        // Only the low byte of the address counts, here and on the wire.
        line.deviceAddress = static_cast<uint8_t>(static_cast<uint32_t>(ReadDecimal(argv[4])));
        line.inputFile = argv[5];
        line.outputFile = argv[6];
        if (library.IsValidComPortName(line.portOrHost) &&
            line.deviceAddress >= kFirstDeviceAddress && line.speed >= kMinimumRs232Speed)
            line.kind = kConnectionRS232;
    } else if (EqualsIgnoreCase(word, "TCP") && count == 4) {
        line.portOrHost = argv[2];
        line.inputFile = argv[3];
        line.outputFile = argv[4];
        line.kind = kConnectionTCP;
    }
    return line;
}

const char* ProgramBaseName(const char* path) {
    const char* base = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\') base = p + 1;
    return base;
}

void PrintReport(FILE* out, int exitCode, const char* programName) {
    struct Report {
        int exitCode;
        const char* message;
        bool withUsage;
    };
    static const Report reports[] = {
        {kExitSuccess, "\n", false},
        {kExitInvalidParameters, "Error: Invalid input parameters\n", true},
        {kExitConnectionFailed, "Error: Connection failed\n", true},
        {kExitDisconnectError, "Error: Disconnect error\n", false},
        {kExitInputOpenError, "Error: Input file opening error\n", true},
        {kExitInputTooLong, "Error: Input file too long\n", true},
        {kExitInputTooShort, "Error: Input file too short\n", true},
        {kExitLineTooLong, "Error: Input file line too long\n", true},
        {kExitOutputOpenError, "Error: Output file opening error\n", true},
        {kExitCommandFailed, "\n", false},
    };
    for (const Report& r : reports)
        if (r.exitCode == exitCode)
            PrintMessage(out, r.message, r.withUsage ? programName : nullptr);
}

int ProgramMain(int argc, const char* const* argv, const ProgramEnvironment& env) {
    // A program started without even its own name still prints a usable report.
    const char* programPath = argc > 0 && argv[0] ? argv[0] : "";
    if (argc == 2 && argv[1] && std::strcmp(argv[1], "--version") == 0) {
        std::fprintf(env.console, "korvoprog %s\n", KORVO_VERSION);
        std::fflush(env.console);
        return kExitSuccess;
    }
    CommandLine line = ParseCommandLine(argc, argv, *env.library);
    if (line.kind == kConnectionInvalid) {
        PrintReport(env.console, kExitInvalidParameters, programPath);
        std::fflush(env.console);
        return kExitInvalidParameters;
    }

    RunOptions options;
    ReadProgramConfiguration(options, programPath, env);
    int exitCode = RunCommandFile(options, line.kind, line.portOrHost, line.speed,
                                  line.deviceAddress, line.inputFile, line.outputFile, env);
    PrintReport(env.console, exitCode, ProgramBaseName(programPath));
    std::fflush(env.console);
    env.library->StopSocketLibrary();
    return exitCode;
}

} // namespace korvo
