// A stand-in for the library calls korvoprog makes: a printer whose answers
// are scripted per command name, with the values of the last answer kept the
// way a command session keeps them. It also gives a console captured in a
// temporary file and a fixed wall clock.
#pragma once

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "tool/ProgramEnvironment.h"

namespace korvo::test {

struct FakeAnswer {
    int result = 0;
    std::string values;   // the response values
    uint32_t takesMs = 0; // the test clock moves on by this much
};

struct FakePrinter {
    // Script.
    int connectHandle = 7; // 0: the connection fails
    int connectError = 0;  // the last error after connecting
    uint32_t connectTakesMs = 0;
    int disconnectResult = 0;
    uint32_t disconnectTakesMs = 0;
    std::map<std::string, FakeAnswer> answers;      // by command name as sent; others give -401
    std::map<std::string, int> configResults;       // by key; others give -103
    std::map<std::string, std::string> configTexts; // read-back texts by key

    // Record.
    std::vector<std::string> calls; // "SendCommand(name|params)" etc.; params "<none>" for nullptr
    int socketStops = 0;

    // State.
    bool haveValues = false;
    std::string lastValues;
};

// The one fake of the process, reset by ResetFake().
FakePrinter& Fake();
void ResetFake();

// GetErrorName hands out the catalogue's names, and an empty name for this code.
constexpr int kCodeWithEmptyName = 1234;

const LibraryCalls& FakeLibraryCalls();

// A console in a temporary file; Text() returns everything printed so far.
class CapturedConsole {
public:
    CapturedConsole();
    ~CapturedConsole();
    CapturedConsole(const CapturedConsole&) = delete;
    CapturedConsole& operator=(const CapturedConsole&) = delete;
    FILE* File() const { return file; }
    std::string Text();

private:
    FILE* file;
};

// The wall clock of FakeEnvironment: 2024-03-05 09:05:07.042 UTC, offset 0, no DST.
extern os::WallClock fakeWallClock;

ProgramEnvironment FakeEnvironment(FILE* console);

} // namespace korvo::test
