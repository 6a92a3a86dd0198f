// Puts a session over a scripted transport into the process-wide connection
// table, as a successful connect would, so that the exports can be driven
// without a printer.
#pragma once

#include <string>
#include <vector>

#include "ScriptedTransport.h"
#include "api/ConnectionTable.h"
#include "protocol/CommandSession.h"

namespace korvo::test {

// The transport is owned by the table once attached; `closes` counts Close calls
// even after the transport is gone.
struct AttachedTransport : ScriptedTransport {
    int* closeCount = nullptr;
    bool* gone = nullptr;
    int32_t Close() override {
        if (closeCount) ++*closeCount;
        return ScriptedTransport::Close();
    }
    ~AttachedTransport() override {
        if (gone) *gone = true;
    }
};

inline AttachedTransport* AnsweringTransport(int32_t code = 0) {
    auto* t = new AttachedTransport;
    t->AnswerEach([code](const std::string& r) { return std::vector<std::string>{ResponseTo(r, code)}; });
    return t;
}

inline int32_t AttachConnection(ScriptedTransport* transport) {
    int32_t h = Connections().AllocateHandle();
    Connections().AttachSession(h, new CommandSession(transport));
    return h;
}

} // namespace korvo::test
