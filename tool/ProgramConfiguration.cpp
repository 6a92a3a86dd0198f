#include "tool/ProgramConfiguration.h"

#include <cstring>
#include <memory>
#include <new>

#include "protocol/TextCompare.h"
#include "tool/CMyFile.h"
#include "tool/CommandFileRun.h"
#include "tool/ConsoleFormats.h"
#include "tool/DecimalText.h"

namespace korvo {

namespace {

constexpr size_t kReadBackSize = 4096;

// Flags that live only while the file is read.
struct ReportFlags {
    bool DisplayCfgErr = false; // print the result of each value set
    bool ReadConfigVal = false; // read each value back and print it
};

// "Op(\"key\"\", \"value\") = code\n"; a piece that is none is left out.
void PrintReport(const ProgramEnvironment& env, const char* operation, const char* key,
                 const char* value, int32_t code, bool byName) {
    FILE* out = env.console;
    std::fprintf(out, "%s(", operation);
    if (key || value) {
        std::fprintf(out, "\"");
        if (key) std::fprintf(out, "%s\"", key);
        if (key && value) std::fprintf(out, "\", \"");
        if (value) std::fprintf(out, "%s\"", value);
    }
    std::fprintf(out, ") = ");
    char text[kResultTextSize];
    FormatResultText(*env.library, code, byName, text);
    std::fprintf(out, "%s\n", text);
}

// Sets one process-wide value from "key=value" and reports it as asked.
void ApplyValueLine(char* line, const RunOptions& options, const ReportFlags& flags,
                    const ProgramEnvironment& env) {
    char* equals = std::strchr(line, '=');
    // Nothing to set on a line without "="; the reading goes on.
    if (!equals) return;
    *equals = '\0';
    const char* key = line;
    const char* value = equals + 1;
    const LibraryCalls& library = *env.library;

    int32_t code = library.SetConfigValue(0, key, value);
    if (flags.DisplayCfgErr)
        PrintReport(env, "SetConfigValue", key, value, code, options.NamedErrors);

    if (flags.ReadConfigVal) {
        char readBack[kReadBackSize] = {};
        int32_t length =
            library.GetConfigValue(0, key, readBack, static_cast<int>(sizeof readBack - 1));
        PrintReport(env, "GetConfigValue", key, length >= 0 ? readBack : "", length,
                    options.NamedErrors && length < 0);
    }
}

bool MatchDirective(const char* line, const char* directive, bool& value) {
    if (!StartsWithIgnoreCase(line, directive)) return false;
    value = ReadDecimal(line + std::strlen(directive)) > 0;
    return true;
}

void ApplyLine(char* line, RunOptions& options, ReportFlags& flags, const ProgramEnvironment& env) {
    if (MatchDirective(line, "NamedErrors=", options.NamedErrors)) return;
    if (MatchDirective(line, "DisplayCfgErr=", flags.DisplayCfgErr)) return;
    if (MatchDirective(line, "ReadConfigVal=", flags.ReadConfigVal)) return;
    if (MatchDirective(line, "PrintLineNum=", options.PrintLineNum)) return;
    if (MatchDirective(line, "DisplayCurrentTime=", options.DisplayCurrentTime)) return;
    if (StartsWithIgnoreCase(line, "DisplayCommandTime=")) {
        int32_t value = ReadDecimal(line + std::strlen("DisplayCommandTime="));
        options.DisplayCommandTime = value > 0;
        options.CommandTimeOnNewLine = value > 1;
        return;
    }
    if (line[0] == ';') return;
    ApplyValueLine(line, options, flags, env);
}

} // namespace

bool ConfigFileName(const char* programPath, char (&name)[kConfigFileNameSize]) {
    name[0] = '\0';
    if (!programPath || !*programPath) return false;
    size_t length = std::strlen(programPath);
    size_t keep = length; // characters of the path that stay
    bool hasExtension = false;
    const char* dot = std::strrchr(programPath, '.');
    if (dot) {
        size_t at = static_cast<size_t>(dot - programPath);
        if (at + 6 >= length && !std::strpbrk(dot, "\\/")) {
            if (at == 0) return false;
            keep = at + 1;
            hasExtension = true;
        }
    }
    const char* suffix = hasExtension ? "cfg" : ".cfg";
    if (keep + std::strlen(suffix) + 1 > kConfigFileNameSize) return false;
    std::memcpy(name, programPath, keep);
    std::strcpy(name + keep, suffix);
    return true;
}

bool ReadProgramConfiguration(RunOptions& options, const char* programPath,
                              const ProgramEnvironment& env) {
    char fileName[kConfigFileNameSize];
    if (!ConfigFileName(programPath, fileName)) return false;

    CMyFile file;
    if (!file.Open(fileName, true)) return false;
    uint32_t size = file.GetSize();
    if (size == 0 || size > kMaxCommandFileSize) return false;
    std::unique_ptr<char[]> text(new (std::nothrow) char[size + 1]());
    if (!text) return false;
    uint32_t length = file.Read(text.get(), size);
    file.Close();

    for (uint32_t i = 0; i < length; ++i)
        if (text[i] == '\r' || text[i] == '\n') text[i] = '\0';

    ReportFlags flags;
    char* const end = text.get() + length;
    for (char* p = text.get(); p < end;) {
        if (!*p) {
            ++p;
            continue;
        }
        char* next = p + std::strlen(p) + 1;
        ApplyLine(p, options, flags, env);
        p = next;
    }
    return true;
}

} // namespace korvo
