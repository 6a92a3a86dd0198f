// The process-wide table of open printer connections: 16 slots, each a handle
// and the connection's session, and the last error code that the exports share.
#pragma once

#include <atomic>
#include <cstdint>

namespace korvo {

class CommandSession;

struct ConnectionSlot {
    std::atomic<int32_t> handle{0};               // 1 to 65535; 0 marks a free slot
    std::atomic<CommandSession*> session{nullptr}; // owned, and through it the transport
};

// Slot states: free (handle 0), claimed (handle, no session yet), connected
// (handle and session), dropped (handle kept, session gone after a successful
// updateFirmware). Handles come from the tick count, not from slot numbers.
class ConnectionTable {
public:
    static constexpr int kSlots = 16;

    // A new handle with its slot claimed, or 0 when all slots are taken.
    int32_t AllocateHandle();
    // Records the session under the handle; unknown handles are ignored.
    void AttachSession(int32_t handle, CommandSession* session);
    // Frees the slot and destroys the transport, then the session.
    void ReleaseHandle(int32_t handle);
    // The slot of a positive handle, or nullptr.
    ConnectionSlot* FindConnection(int32_t handle);
    // The slot of a connection that can take a command. On failure stores
    // -202 (unknown handle) or -207 (no session) in lastComError, returns
    // nullptr and the code in `error`.
    ConnectionSlot* Resolve(int32_t handle, int32_t& error);

    // Destroys the session of a slot and its transport but keeps the handle.
    static void DestroySession(ConnectionSlot& slot);

private:
    ConnectionSlot slots[kSlots];
};

// The one table of the process and its shared last error.
ConnectionTable& Connections();
extern std::atomic<int32_t> lastComError;

// Keeps result as the last error (GetLastComError) and returns it: how an
// export ends.
inline int32_t Store(int32_t result) {
    lastComError.store(result);
    return result;
}

} // namespace korvo
