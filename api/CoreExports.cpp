// The core exports of a connection: commands, responses, heads, error texts,
// abort and disconnection. None of them allocates or throws.
#include "korvocomm.h"

#include "api/ConnectionTable.h"
#include "protocol/CommandCatalogue.h"
#include "protocol/CommandSession.h"
#include "protocol/CopyOut.h"
#include "protocol/ErrorCatalogue.h"
#include "transport/INetworkLayer.h"

using namespace korvo;

namespace {

constexpr char kDisconnectName[] = "\tDISCONNECT";

// Resolves a handle to its session; on failure the code is stored and returned.
CommandSession* SessionOf(int32_t handle, int32_t& error) {
    ConnectionSlot* slot = Connections().Resolve(handle, error);
    return slot ? slot->session.load() : nullptr;
}

int32_t CommandHead(const char* commandName, bool request, char* buffer, int32_t bufferSize) {
    int32_t index = FindCommand(commandName);
    if (index < 0) return APP_UNKNOWN_COMMAND;
    const CommandEntry& entry = CommandCatalogue[index];
    const char* head = request ? entry.requestHead : entry.responseHead;
    if (!head) return 0;
    return CopyOut(head, buffer, bufferSize);
}

// The short name of a command for its command-specific error texts, or
// nullptr when the catalogue does not know the name.
const char* ErrorKeyOf(const char* commandName) {
    int32_t index = FindCommand(commandName);
    return index < 0 ? nullptr : CommandCatalogue[index].shortName;
}

} // namespace

extern "C" {

KORVO_API int KORVO_CALL Disconnect(int handle) {
    ConnectionTable& table = Connections();
    ConnectionSlot* slot = table.FindConnection(handle);
    if (!slot) return Store(APP_INVALID_HANDLE);
    CommandSession* session = slot->session.load();
    if (!session) {
        // Dropped after a firmware update: only the handle is left to free.
        table.ReleaseHandle(handle);
        return Store(0);
    }
    bool drop = false;
    int32_t r = session->Execute(kDisconnectName, nullptr, drop);
    INetworkLayer* transport = session->Transport();
    if (r == 0) {
        r = transport->Close();
        session->SetLastStatus(r);
    }
    transport->Close();
    table.ReleaseHandle(handle);
    return Store(-r);
}

KORVO_API int KORVO_CALL GetLastComError(int handle) {
    if (handle == 0) return lastComError.load();
    int32_t error = 0;
    CommandSession* session = SessionOf(handle, error);
    return session ? session->LastStatus() : error;
}

KORVO_API int KORVO_CALL SendCommand(int handle, const char* commandName, const char* parameters) {
    int32_t error = 0;
    CommandSession* session = SessionOf(handle, error);
    if (!session) return error;
    // The handshake commands belong to the library alone.
    if (commandName && commandName[0] == '\t') return Store(EFP_DATA_TYPE);
    bool drop = false;
    int32_t r = Store(session->Execute(commandName, parameters, drop));
    if (drop) {
        // The printer restarts into its new firmware: close and forget the
        // connection, but keep the handle until the application disconnects.
        session->Transport()->Close();
        if (ConnectionSlot* slot = Connections().FindConnection(handle)) ConnectionTable::DestroySession(*slot);
    }
    return r;
}

KORVO_API int KORVO_CALL GetLastCommandResponse(int handle, char* buffer, int bufferSize) {
    int32_t error = 0;
    CommandSession* session = SessionOf(handle, error);
    if (!session) return error;
    const char* values = session->ResponseValues();
    if (!values) {
        session->SetLastStatus(APP_NO_RESPONSE_RECEIVED);
        return Store(APP_NO_RESPONSE_RECEIVED);
    }
    return Store(CopyOut(values, buffer, bufferSize));
}

KORVO_API int KORVO_CALL GetLastCommandName(int handle, char* buffer, int bufferSize) {
    int32_t error = 0;
    CommandSession* session = SessionOf(handle, error);
    if (!session) return error;
    return Store(CopyOut(session->LastCommandName(), buffer, bufferSize));
}

KORVO_API int KORVO_CALL GetCommandReqestHead(const char* commandName, char* buffer, int bufferSize) {
    return CommandHead(commandName, true, buffer, bufferSize);
}

KORVO_API int KORVO_CALL GetCommandResponseHead(const char* commandName, char* buffer, int bufferSize) {
    return CommandHead(commandName, false, buffer, bufferSize);
}

KORVO_API int KORVO_CALL GetErrorText(int handle, int language, int code, char* buffer, int bufferSize) {
    // A bad handle is no error here: it simply selects the general texts.
    const char* key = "";
    if (handle > 0)
        if (ConnectionSlot* slot = Connections().FindConnection(handle))
            if (CommandSession* session = slot->session.load()) key = ErrorKeyOf(session->LastCommandName());
    return FindErrorText(language, code, key, buffer, bufferSize);
}

KORVO_API int KORVO_CALL GetCommandErrorText(int language, const char* commandName, int code, char* buffer,
                                             int bufferSize) {
    return FindErrorText(language, code, ErrorKeyOf(commandName), buffer, bufferSize);
}

KORVO_API int KORVO_CALL GetErrorName(int code, char* buffer, int bufferSize) {
    return FindErrorName(code, buffer, bufferSize);
}

KORVO_API int KORVO_CALL Abort(int handle) {
    int32_t error = 0;
    CommandSession* session = SessionOf(handle, error);
    if (!session) return error;
    session->RequestAbort();
    return Store(0);
}

} // extern "C"
