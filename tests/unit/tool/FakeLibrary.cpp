#include "FakeLibrary.h"

#include <cstring>

#include "platform/clock.h"
#include "protocol/CommandCatalogue.h"
#include "protocol/CopyOut.h"
#include "protocol/ErrorCatalogue.h"

namespace korvo::test {

namespace {

FakePrinter g_fake;

std::string Text(const char* s) {
    return s ? std::string(s) : std::string("<none>");
}

void Record(const std::string& call) {
    g_fake.calls.push_back(call);
}

void Advance(uint32_t ms) {
    // The tests that time steps install a TestClock; this moves it on by
    // sleeping, which a virtual clock does at once.
    if (ms) SleepMs(ms);
}

int CopyOut(const std::string& text, char* buffer, int size) {
    return korvo::CopyOut(text.c_str(), buffer, size);
}

int KORVO_CALL Connect(const char* what) {
    Record(what);
    Advance(g_fake.connectTakesMs);
    return g_fake.connectHandle;
}

int KORVO_CALL FakeConnectUSB(const char* port) {
    return Connect(("ConnectUSB(" + Text(port) + ")").c_str());
}
int KORVO_CALL FakeConnectRS232(const char* port, int speed, int address) {
    return Connect(("ConnectRS232(" + Text(port) + "|" + std::to_string(speed) + "|" +
                    std::to_string(address) + ")")
                       .c_str());
}
int KORVO_CALL FakeConnectTCP(const char* host) {
    return Connect(("ConnectTCP(" + Text(host) + ")").c_str());
}

int KORVO_CALL FakeDisconnect(int handle) {
    Record("Disconnect(" + std::to_string(handle) + ")");
    Advance(g_fake.disconnectTakesMs);
    return g_fake.disconnectResult;
}

int KORVO_CALL FakeGetLastComError(int handle) {
    Record("GetLastComError(" + std::to_string(handle) + ")");
    return g_fake.connectError;
}

int KORVO_CALL FakeSetConfigValue(int handle, const char* key, const char* value) {
    Record("SetConfigValue(" + std::to_string(handle) + "|" + Text(key) + "|" + Text(value) + ")");
    if (!value) return -108;
    auto it = g_fake.configResults.find(key);
    return it == g_fake.configResults.end() ? -103 : it->second;
}

int KORVO_CALL FakeGetConfigValue(int handle, const char* key, char* buffer, int size) {
    Record("GetConfigValue(" + std::to_string(handle) + "|" + Text(key) + ")");
    auto it = g_fake.configTexts.find(key);
    if (it == g_fake.configTexts.end()) return std::strcmp(key, "next_cmd_time") == 0 ? -111 : -103;
    return CopyOut(it->second, buffer, size);
}

int KORVO_CALL FakeSendCommand(int handle, const char* name, const char* params) {
    Record("SendCommand(" + Text(name) + "|" + Text(params) + ")");
    if (handle != g_fake.connectHandle) return -202;
    auto it = g_fake.answers.find(name ? name : "");
    // A name the catalogue does not know leaves the last values in place.
    if (it == g_fake.answers.end()) return -401;
    const FakeAnswer& a = it->second;
    Advance(a.takesMs);
    g_fake.haveValues = true;
    g_fake.lastValues = a.values;
    return a.result;
}

int KORVO_CALL FakeGetLastCommandResponse(int handle, char* buffer, int size) {
    Record("GetLastCommandResponse(" + std::to_string(handle) + ")");
    if (handle != g_fake.connectHandle) return -202;
    if (!g_fake.haveValues) return -406;
    return CopyOut(g_fake.lastValues, buffer, size);
}

// The real catalogue's heads, so the empty-values rule meets real commands.
int KORVO_CALL FakeGetCommandResponseHead(const char* name, char* buffer, int size) {
    int32_t i = FindCommand(name);
    if (i < 0) return -401;
    const char* head = CommandCatalogue[i].responseHead;
    if (!head) return 0;
    return CopyOut(head, buffer, size);
}

// The real names, and one code whose row has an empty name.
int KORVO_CALL FakeGetErrorName(int code, char* buffer, int size) {
    if (code == kCodeWithEmptyName) return CopyOut("", buffer, size);
    return FindErrorName(code, buffer, size);
}

// The fake accepts "COM" and 1 to 3 digits; the real rule is the library's.
bool FakeIsValidComPortName(const char* name) {
    if (!name || (std::strncmp(name, "COM", 3) != 0 && std::strncmp(name, "com", 3) != 0))
        return false;
    size_t digits = std::strspn(name + 3, "0123456789");
    return digits >= 1 && digits <= 3 && name[3] != '0' && name[3 + digits] == '\0';
}

void FakeStopSocketLibrary() {
    ++g_fake.socketStops;
}

const LibraryCalls g_calls = {
    FakeConnectUSB,
    FakeConnectRS232,
    FakeConnectTCP,
    FakeDisconnect,
    FakeGetLastComError,
    FakeSetConfigValue,
    FakeGetConfigValue,
    FakeSendCommand,
    FakeGetLastCommandResponse,
    FakeGetCommandResponseHead,
    FakeGetErrorName,
    FakeIsValidComPortName,
    FakeStopSocketLibrary,
};

os::WallClock ReadFakeWallClock() {
    return fakeWallClock;
}

} // namespace

os::WallClock fakeWallClock = {1709629507, 42, 0, false};

FakePrinter& Fake() {
    return g_fake;
}

void ResetFake() {
    g_fake = FakePrinter();
    fakeWallClock = {1709629507, 42, 0, false};
}

const LibraryCalls& FakeLibraryCalls() {
    return g_calls;
}

ProgramEnvironment FakeEnvironment(FILE* console) {
    return ProgramEnvironment{&g_calls, console, ReadFakeWallClock};
}

CapturedConsole::CapturedConsole() : file(std::tmpfile()) {}

CapturedConsole::~CapturedConsole() {
    if (file) std::fclose(file);
}

std::string CapturedConsole::Text() {
    std::fflush(file);
    std::string all;
    long end = std::ftell(file);
    std::rewind(file);
    all.resize(static_cast<size_t>(end));
    size_t n = std::fread(&all[0], 1, all.size(), file);
    all.resize(n);
    std::fseek(file, 0, SEEK_END);
    return all;
}

} // namespace korvo::test
