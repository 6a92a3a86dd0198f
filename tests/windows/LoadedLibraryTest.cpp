// korvocomm.dll the way an application uses it: loaded with LoadLibrary, its
// exports found by name and by ordinal, and driven against a native korvosim
// (started by with-simulator.sh) over loopback TCP and over COM ports that
// Wine maps to the simulator's pseudo-terminals, in USB and RS-232 mode. The
// program links neither the library nor its core: every call goes through
// the DLL.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ExportTable.h"
#include "ReceiptRequestCases.h"
#include "platform/dynamic_library.h"
#include "platform/message_timer.h"
#include "platform/socket_state.h"
#include "sim/records/JournalEscape.h"

namespace korvo {
namespace {

using test::ExportTable;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The documented ordinal of each export, from the list the export-table check
// of the DLL file reads as well.
std::map<std::string, uint16_t> DocumentedOrdinals() {
    std::map<std::string, uint16_t> ordinals;
    std::istringstream lines(ReadFile(Env("KORVO_EXPORT_LIST")));
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        unsigned ordinal = 0;
        std::string name;
        if (fields >> ordinal >> name) ordinals[name] = static_cast<uint16_t>(ordinal);
    }
    return ordinals;
}

// Every request line the simulator received so far, in order.
std::vector<std::string> JournalledRequests() {
    std::vector<std::string> requests;
    std::istringstream lines(ReadFile(Env("KORVO_SIM_JOURNAL")));
    std::string entry;
    while (std::getline(lines, entry)) {
        size_t mark = entry.find(" > ");
        if (mark != std::string::npos && entry.find(" #") < mark)
            requests.push_back(entry.substr(mark + 3));
    }
    return requests;
}

enum class Lookup { ByName, ByOrdinal };
enum class Port { Tcp, Usb, Rs232 };

class LoadedLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        library = os::LoadDynamicLibrary("korvocomm.dll");
        ASSERT_NE(library, nullptr);
    }

    void TearDown() override {
        if (library) {
            EXPECT_TRUE(os::FreeDynamicLibrary(library));
        }
    }

    ExportTable Resolve(Lookup how) {
        std::map<std::string, uint16_t> ordinals = DocumentedOrdinals();
        ExportTable t;
#define KORVO_RESOLVE_EXPORT(name)                                                                 \
    t.name = reinterpret_cast<decltype(t.name)>(                                                   \
        how == Lookup::ByName ? os::FindExport(library, #name)                                     \
                              : os::FindExportByOrdinal(library, ordinals[#name]));
        KORVO_FOR_EACH_EXPORT(KORVO_RESOLVE_EXPORT)
#undef KORVO_RESOLVE_EXPORT
        return t;
    }

    int Connect(const ExportTable& x, Port port) {
        switch (port) {
        case Port::Tcp:
            return x.ConnectTCP(Env("KORVO_SIM_TCP").c_str());
        case Port::Usb:
            return x.ConnectUSB(Env("KORVO_SIM_USB").c_str());
        case Port::Rs232:
            return x.ConnectRS232(Env("KORVO_SIM_RS232").c_str(), 115200,
                                  std::atoi(Env("KORVO_SIM_ADDRESS").c_str()));
        }
        return 0;
    }

    os::DynamicLibrary* library = nullptr;
};

TEST_F(LoadedLibrary, EveryExportByNameAtItsOrdinalAndNothingElse) {
    std::map<std::string, uint16_t> ordinals = DocumentedOrdinals();
    std::set<std::string> tabled;
#define KORVO_TABLED_EXPORT(name) tabled.insert(#name);
    KORVO_FOR_EACH_EXPORT(KORVO_TABLED_EXPORT)
#undef KORVO_TABLED_EXPORT
    ASSERT_EQ(ordinals.size(), tabled.size());

    std::set<uint16_t> used;
    uint16_t highest = 0;
    for (const auto& [name, ordinal] : ordinals) {
        SCOPED_TRACE(name);
        EXPECT_EQ(tabled.count(name), 1u);
        void* byName = os::FindExport(library, name.c_str());
        EXPECT_NE(byName, nullptr);
        EXPECT_EQ(os::FindExportByOrdinal(library, ordinal), byName);
        // On x86 only the plain name is exported, never the decorated one.
        EXPECT_EQ(os::FindExport(library, ("_" + name).c_str()), nullptr);
        used.insert(ordinal);
        highest = std::max(highest, ordinal);
    }
    for (uint16_t ordinal = 1; ordinal <= highest + 1; ++ordinal) {
        if (used.count(ordinal)) continue;
        SCOPED_TRACE(ordinal);
        EXPECT_EQ(os::FindExportByOrdinal(library, ordinal), nullptr);
    }
    EXPECT_EQ(os::FindExport(library, "ConnectUSB@4"), nullptr);
    EXPECT_EQ(os::FindExport(library, "_ConnectUSB@4"), nullptr);
    EXPECT_EQ(os::FindExport(library, "DllMain"), nullptr);
}

class Session : public LoadedLibrary,
                public ::testing::WithParamInterface<std::tuple<Lookup, Port>> {};

// Every export once, each receipt call checked by the request line that
// reached the printer.
TEST_P(Session, EveryExportAgainstThePrinter) {
    const auto [lookup, port] = GetParam();
    ExportTable x = Resolve(lookup);
    int h = Connect(x, port);
    ASSERT_GT(h, 0) << x.GetLastComError(0);
    EXPECT_EQ(x.GetLastComError(0), 0);

    char text[2500];
    EXPECT_EQ(x.GetLastCommandName(h, text, sizeof text), 8);
    EXPECT_EQ(std::string(text), "\tCONNECT");
    ASSERT_EQ(x.SendCommand(h, "getProperty", "6"), 0); // the serial number
    EXPECT_EQ(x.GetLastCommandResponse(h, text, sizeof text), 10);
    EXPECT_EQ(std::string(text), "6\tKV240017");
    EXPECT_EQ(x.GetLastComError(h), 0);
    EXPECT_GT(x.GetCommandReqestHead("gHL", text, sizeof text), 0);
    EXPECT_GT(x.GetCommandResponseHead("getHeaderLine", text, sizeof text), 0);
    EXPECT_EQ(x.GetErrorName(217, text, sizeof text), 11);
    EXPECT_EQ(std::string(text), "EFP_BAD_VAT");
    EXPECT_GT(x.GetErrorText(h, 2057, 217, text, sizeof text), 0);
    EXPECT_GT(x.GetCommandErrorText(1051, "printRecItem", 217, text, sizeof text), 0);
    EXPECT_EQ(x.SetConfigValue(h, "next_cmd_time", "100"), 0);
    EXPECT_EQ(x.GetConfigValue(h, "next_cmd_time", text, sizeof text), 3);
    EXPECT_EQ(std::string(text), "100");

    size_t count = JournalledRequests().size();
    for (const auto& c : test::ReceiptRequestCases()) {
        SCOPED_TRACE(c.what);
        // Whatever the printer thinks of it, the line reached it and came back answered.
        EXPECT_GE(c.send(x, h), 0);
        std::vector<std::string> requests = JournalledRequests();
        ASSERT_EQ(requests.size(), ++count);
        std::string expected;
        sim::AppendEscaped(expected, c.line.data(), c.line.size() - 1);
        EXPECT_EQ(requests.back(), expected);
    }
    EXPECT_EQ(x.Disconnect(h), 0);
    EXPECT_EQ(x.Disconnect(h), APP_INVALID_HANDLE);
}

INSTANTIATE_TEST_SUITE_P(Windows, Session,
                         ::testing::Combine(::testing::Values(Lookup::ByName, Lookup::ByOrdinal),
                                            ::testing::Values(Port::Tcp, Port::Usb, Port::Rs232)));

class TimerProcedure : public LoadedLibrary, public ::testing::WithParamInterface<Lookup> {};

// A timer procedure set without a window runs while SendCommand waits, because
// the wait dispatches the thread's messages, and its Abort ends that wait.
// The simulator answers openDrawer only after seconds (see with-simulator.sh).
TEST_P(TimerProcedure, AbortsTheWaitingCommand) {
    struct Context {
        const ExportTable* x;
        int handle;
        int calls;
        int result;
    };
    ExportTable x = Resolve(GetParam());
    int h = Connect(x, Port::Tcp);
    ASSERT_GT(h, 0) << x.GetLastComError(0);
    Context context{&x, h, 0, -1};
    uintptr_t timer = os::StartMessageTimer(
        50,
        [](void* p) {
            auto* c = static_cast<Context*>(p);
            ++c->calls;
            c->result = c->x->Abort(c->handle);
        },
        &context);
    ASSERT_NE(timer, 0u);
    EXPECT_EQ(x.SendCommand(h, "openDrawer", nullptr), APP_COMMUNICATION_ABORTED);
    os::StopMessageTimer(timer);
    EXPECT_GE(context.calls, 1);
    EXPECT_EQ(context.result, 0);
    EXPECT_EQ(x.GetLastComError(0), APP_COMMUNICATION_ABORTED);
    // The abort stays in force: the disconnect request ends the same way.
    EXPECT_EQ(x.Disconnect(h), -APP_COMMUNICATION_ABORTED);
}

INSTANTIATE_TEST_SUITE_P(Windows, TimerProcedure,
                         ::testing::Values(Lookup::ByName, Lookup::ByOrdinal));

// (Wine does not hold a COM port exclusively for its first opener the way the
// Windows serial drivers do, so a busy port is not shown here.)
TEST_F(LoadedLibrary, MissingPort) {
    ExportTable x = Resolve(Lookup::ByName);
    EXPECT_EQ(x.ConnectUSB("COM199"), 0);
    EXPECT_EQ(x.GetLastComError(0), APP_PORT_DO_NOT_EXIST);
    EXPECT_EQ(x.ConnectRS232("COM199", 9600, 2), 0);
    EXPECT_EQ(x.GetLastComError(0), APP_PORT_DO_NOT_EXIST);
}

// Freeing the DLL stops the socket library that its TCP connection started.
TEST_F(LoadedLibrary, FreeingStopsTheSocketLibrary) {
    ASSERT_FALSE(os::SocketLibraryStarted());
    ExportTable x = Resolve(Lookup::ByName);
    int h = x.ConnectTCP(Env("KORVO_SIM_TCP").c_str());
    ASSERT_GT(h, 0) << x.GetLastComError(0);
    EXPECT_EQ(x.Disconnect(h), 0);
    EXPECT_TRUE(os::SocketLibraryStarted());
    EXPECT_TRUE(os::FreeDynamicLibrary(library));
    library = nullptr;
    EXPECT_FALSE(os::SocketLibraryStarted());
}

} // namespace
} // namespace korvo
