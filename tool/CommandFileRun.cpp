#include "tool/CommandFileRun.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

#include "korvocomm.h"
#include "platform/clock.h"
#include "tool/CMyFile.h"
#include "tool/ConsoleFormats.h"
#include "tool/ExitCodes.h"

namespace korvo {

namespace {

constexpr uint32_t kMaxLineDistance = 2048;
constexpr size_t kTextBufferSize = 4096;

class CommandFileRun {
public:
    CommandFileRun(const RunOptions& options, const ProgramEnvironment& env)
        : options(options), library(*env.library), console(env.console), env(env) {}

    int Run(int kind, const char* portOrHost, int32_t speed, uint8_t deviceAddress,
            const char* inputFile, const char* outputFile);

private:
    int LoadCommandFile(const char* inputFile);
    int Connect(int kind, const char* portOrHost, int32_t speed, uint8_t deviceAddress);
    void ExecuteLines();
    // Executes one line; false when the run stops after it. A line that holds
    // a NUL byte of the file is refused, not sent.
    bool ExecuteLine(char* line, bool holdsNul);
    // A NUL of the text that was in the file, not a cut line end.
    bool IsFileNul(const char* at) const;
    int32_t DisconnectPrinter();

    void StartTiming() {
        if (options.DisplayCommandTime) startTick = TickCount();
    }
    void PrintTimeStampIfAsked() {
        if (options.DisplayCurrentTime) PrintTimeStamp(console, env.readWallClock());
    }
    void PrintDurationIfAsked() {
        if (options.DisplayCommandTime)
            PrintDuration(console, TickCount() - startTick, options.CommandTimeOnNewLine);
    }
    // "<label> == <result>[duration]\n"
    void PrintStepResult(const char* label, int32_t result);
    // Each piece goes to the response file at once, so the file follows the
    // run line by line even when it stops early.
    void WritePiece(const char* piece) {
        response.Write(piece, static_cast<uint32_t>(std::strlen(piece)));
    }

    const RunOptions& options;
    const LibraryCalls& library;
    FILE* console;
    const ProgramEnvironment& env;

    std::unique_ptr<char[]> text;
    uint32_t textLength = 0;
    // Where the file itself had NUL bytes, in order; the cut text no longer
    // tells them from line ends.
    std::unique_ptr<uint32_t[]> fileNuls;
    uint32_t fileNulCount = 0;
    CMyFile response;
    int32_t handle = 0;
    uint32_t lineCounter = 0;
    int32_t lastLineResult = 0;
    uint32_t startTick = 0;
    char buffer[kTextBufferSize];
};

int CommandFileRun::Run(int kind, const char* portOrHost, int32_t speed, uint8_t deviceAddress,
                        const char* inputFile, const char* outputFile) {
    if (int code = LoadCommandFile(inputFile)) return code;

    // The printer is contacted only when both files are in order.
    if (!response.Open(outputFile, false)) return kExitOutputOpenError;
    response.SetEnd();

    if (int code = Connect(kind, portOrHost, speed, deviceAddress)) return code;
    ExecuteLines();

    response.Close();
    text.reset();
    int32_t disconnected = DisconnectPrinter();

    if (lastLineResult != 0) return kExitCommandFailed;
    if (disconnected != 0) return kExitDisconnectError;
    return kExitSuccess;
}

int CommandFileRun::LoadCommandFile(const char* inputFile) {
    CMyFile input;
    if (!input.Open(inputFile, true)) return kExitInputOpenError;
    uint32_t size = input.GetSize();
    if (size > kMaxCommandFileSize) return kExitInputTooLong;
    if (size == 0) return kExitInputTooShort;
    // Zero-filled with one byte more, so the text always ends in a NUL.
    text.reset(new (std::nothrow) char[size + 1]());
    if (!text) return kExitInputOpenError;
    textLength = input.Read(text.get(), size);
    input.Close();
    for (uint32_t i = 0; i < textLength; ++i)
        fileNulCount += text[i] == '\0';
    if (fileNulCount) {
        fileNuls.reset(new (std::nothrow) uint32_t[fileNulCount]);
        if (!fileNuls) return kExitInputOpenError;
        for (uint32_t i = 0, n = 0; i < textLength; ++i)
            if (text[i] == '\0') fileNuls[n++] = i;
    }
    if (!CutCommandLines(text.get(), textLength)) {
        text.reset();
        return kExitLineTooLong;
    }
    return 0;
}

int CommandFileRun::Connect(int kind, const char* portOrHost, int32_t speed,
                            uint8_t deviceAddress) {
    StartTiming();
    PrintTimeStampIfAsked();
    switch (kind) {
    case kConnectionUSB:
        handle = library.ConnectUSB(portOrHost);
        break;
    case kConnectionRS232:
        handle = library.ConnectRS232(portOrHost, speed, deviceAddress);
        break;
    case kConnectionTCP:
        handle = library.ConnectTCP(portOrHost);
        break;
    default:
        handle = 0;
        break;
    }
    lastLineResult = library.GetLastComError(0);
    PrintStepResult("Connect", lastLineResult);
    if (handle != 0) return 0;
    std::fprintf(console, "\n");
    response.Close();
    text.reset();
    return kExitConnectionFailed;
}

bool CommandFileRun::IsFileNul(const char* at) const {
    uint32_t position = static_cast<uint32_t>(at - text.get());
    const uint32_t* first = fileNuls.get();
    const uint32_t* last = first + fileNulCount;
    const uint32_t* found = std::lower_bound(first, last, position);
    return found != last && *found == position;
}

void CommandFileRun::ExecuteLines() {
    char* const end = text.get() + textLength;
    for (char* p = text.get(); p < end;) {
        if (!*p && !IsFileNul(p)) {
            ++p;
            continue;
        }
        // The line runs to the next cut line end; NULs of the file inside it
        // do not end it.
        char* lineEnd = p;
        bool holdsNul = false;
        while (lineEnd < end && (*lineEnd || IsFileNul(lineEnd))) {
            holdsNul = holdsNul || !*lineEnd;
            ++lineEnd;
        }
        if (!ExecuteLine(p, holdsNul)) return;
        p = lineEnd + 1;
    }
}

bool CommandFileRun::ExecuteLine(char* line, bool holdsNul) {
    const char* parameters = nullptr; // none, unless the line has a TAB
    if (char* tab = std::strchr(line, '\t')) {
        *tab = '\0';
        parameters = tab + 1;
    }
    ++lineCounter;
    bool configurationLine = line[0] == ':';

    // The C strings of the calls would end at the NUL: the printer would get
    // part of the line. The line is refused with the code the library gives
    // a command it will not send for its form.
    int32_t result = EFP_DATA_TYPE;
    if (configurationLine) {
        if (!holdsNul) result = library.SetConfigValue(handle, line + 1, parameters);
    } else {
        if (options.PrintLineNum) std::fprintf(console, "%u: ", lineCounter);
        StartTiming();
        PrintTimeStampIfAsked();
        // Shown before the command is sent: a slow command shows what it waits for.
        std::fprintf(console, "%s == ", line);
        std::fflush(console);
        if (!holdsNul) result = library.SendCommand(handle, line, parameters);
    }
    lastLineResult = result;

    char resultText[kResultTextSize];
    FormatResultText(library, result, options.NamedErrors, resultText);
    WritePiece(line);
    WritePiece("\t");
    WritePiece(resultText);
    if (configurationLine) {
        WritePiece("\r\n");
        return true;
    }

    std::fprintf(console, "%s", resultText);
    PrintDurationIfAsked();
    std::fprintf(console, "\n");

    // The values of the last well-formed response; nothing when there is
    // none or the connection is gone. One byte is kept for the terminating NUL.
    std::memset(buffer, 0, sizeof buffer);
    if (!holdsNul)
        library.GetLastCommandResponse(handle, buffer, static_cast<int>(sizeof buffer - 1));
    if (buffer[0]) {
        WritePiece("\t");
        WritePiece(buffer);
    } else if (result == 0) {
        std::memset(buffer, 0, sizeof buffer);
        // A command that has values but sent none gets an empty values field.
        if (library.GetCommandResponseHead(line, buffer, static_cast<int>(sizeof buffer - 1)) > 0)
            WritePiece("\t");
    }
    WritePiece("\r\n");
    return result == 0;
}

int32_t CommandFileRun::DisconnectPrinter() {
    StartTiming();
    int32_t result = library.Disconnect(handle);
    PrintTimeStampIfAsked();
    PrintStepResult("Disconnect", result);
    return result;
}

void CommandFileRun::PrintStepResult(const char* label, int32_t result) {
    char resultText[kResultTextSize];
    FormatResultText(library, result, options.NamedErrors, resultText);
    std::fprintf(console, "%s == %s", label, resultText);
    PrintDurationIfAsked();
    std::fprintf(console, "\n");
}

} // namespace

bool CutCommandLines(char* text, uint32_t length) {
    bool seenLineEnd = false;
    uint32_t previous = 0;
    for (uint32_t p = 0; p < length; ++p) {
        if (text[p] != '\r' && text[p] != '\n') continue;
        uint32_t distance = seenLineEnd ? p - previous : p;
        if (distance > kMaxLineDistance) return false;
        text[p] = '\0';
        previous = p;
        seenLineEnd = true;
    }
    return true;
}

int RunCommandFile(const RunOptions& options, int kind, const char* portOrHost, int32_t speed,
                   uint8_t deviceAddress, const char* inputFile, const char* outputFile,
                   const ProgramEnvironment& env) {
    CommandFileRun run(options, env);
    return run.Run(kind, portOrHost, speed, deviceAddress, inputFile, outputFile);
}

} // namespace korvo
