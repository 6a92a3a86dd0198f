#include "api/ConnectionTable.h"

#include <mutex>

#include "platform/clock.h"
#include "platform/spin_lock.h"
#include "protocol/CommandSession.h"
#include "protocol/ResultCodes.h"
#include "transport/INetworkLayer.h"

namespace korvo {

std::atomic<int32_t> lastComError{0};

namespace {
// Claiming and freeing slots is serialised so that two threads connecting at
// once never share a slot.
SpinLock g_slotLock;
} // namespace

ConnectionTable& Connections() {
    static ConnectionTable table;
    return table;
}

int32_t ConnectionTable::AllocateHandle() {
    std::lock_guard<SpinLock> guard(g_slotLock);
    for (;;) {
        uint32_t t = TickCount();
        int32_t h = static_cast<int32_t>((t >> 16) ^ (t & 0xFFFFu));
        if (h == 0) {
            SleepMs(1);
            continue;
        }
        ConnectionSlot* free = nullptr;
        bool taken = false;
        for (ConnectionSlot& s : slots) {
            int32_t sh = s.handle.load();
            if (sh == h) {
                taken = true;
                break;
            }
            if (sh == 0 && !free) free = &s;
        }
        // The same handle is never handed out twice: wait for the tick count
        // to move on.
        if (taken) continue;
        if (!free) return 0;
        free->handle.store(h);
        return h;
    }
}

void ConnectionTable::AttachSession(int32_t handle, CommandSession* session) {
    if (ConnectionSlot* s = FindConnection(handle)) s->session.store(session);
}

void ConnectionTable::DestroySession(ConnectionSlot& slot) {
    CommandSession* session = slot.session.exchange(nullptr);
    if (!session) return;
    if (INetworkLayer* transport = session->Transport()) {
        session->DetachTransport();
        delete transport;
    }
    delete session;
}

void ConnectionTable::ReleaseHandle(int32_t handle) {
    std::lock_guard<SpinLock> guard(g_slotLock);
    ConnectionSlot* s = FindConnection(handle);
    if (!s) return;
    DestroySession(*s);
    s->handle.store(0);
}

ConnectionSlot* ConnectionTable::FindConnection(int32_t handle) {
    if (handle < 1) return nullptr;
    for (ConnectionSlot& s : slots)
        if (s.handle.load() == handle) return &s;
    return nullptr;
}

ConnectionSlot* ConnectionTable::Resolve(int32_t handle, int32_t& error) {
    ConnectionSlot* s = FindConnection(handle);
    if (!s) {
        error = APP_INVALID_HANDLE;
    } else if (!s->session.load()) {
        error = APP_DISCONNECTED;
    } else {
        error = 0;
        return s;
    }
    lastComError.store(error);
    return nullptr;
}

} // namespace korvo
