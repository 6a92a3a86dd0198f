#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <vector>

#include "ScriptedTransport.h"
#include "api/ConnectionTable.h"
#include "protocol/CommandSession.h"
#include "protocol/ResultCodes.h"

namespace korvo {
namespace {

// A transport that reports its own destruction, to check what a release frees.
struct TrackedTransport : test::ScriptedTransport {
    explicit TrackedTransport(std::vector<int>& log) : log(log) {}
    ~TrackedTransport() override { log.push_back(1); }
    std::vector<int>& log;
};

TEST(ConnectionTable, SixteenDistinctHandlesThenNone) {
    ConnectionTable table;
    std::set<int32_t> handles;
    for (int i = 0; i < ConnectionTable::kSlots; ++i) {
        int32_t h = table.AllocateHandle();
        EXPECT_GE(h, 1);
        EXPECT_LE(h, 65535);
        handles.insert(h);
    }
    EXPECT_EQ(handles.size(), 16u);
    EXPECT_EQ(table.AllocateHandle(), 0);
    for (int32_t h : handles) ASSERT_NE(table.FindConnection(h), nullptr);
}

TEST(ConnectionTable, ReleaseFreesTheSlotForReuse) {
    ConnectionTable table;
    int32_t a = table.AllocateHandle();
    int32_t b = table.AllocateHandle();
    ConnectionSlot* first = table.FindConnection(a);
    table.ReleaseHandle(a);
    EXPECT_EQ(table.FindConnection(a), nullptr);
    ASSERT_NE(table.FindConnection(b), nullptr);
    int32_t c = table.AllocateHandle();
    EXPECT_EQ(table.FindConnection(c), first); // the first free slot in order
}

TEST(ConnectionTable, BadHandlesChangeNothing) {
    ConnectionTable table;
    int32_t h = table.AllocateHandle();
    for (int32_t bad : {0, -1, -h, h + 1 == 65536 ? 1 : h + 1}) {
        if (bad == h) continue;
        EXPECT_EQ(table.FindConnection(bad), nullptr);
        table.ReleaseHandle(bad);
        table.AttachSession(bad, nullptr);
    }
    EXPECT_NE(table.FindConnection(h), nullptr);
}

TEST(ConnectionTable, ResolveReportsUnknownAndDisconnected) {
    ConnectionTable table;
    int32_t error = 0;
    lastComError = 0;
    EXPECT_EQ(table.Resolve(5, error), nullptr);
    EXPECT_EQ(error, APP_INVALID_HANDLE);
    EXPECT_EQ(lastComError.load(), APP_INVALID_HANDLE);
    EXPECT_EQ(table.Resolve(0, error), nullptr);
    EXPECT_EQ(error, APP_INVALID_HANDLE);

    int32_t h = table.AllocateHandle(); // claimed: no session yet
    EXPECT_EQ(table.Resolve(h, error), nullptr);
    EXPECT_EQ(error, APP_DISCONNECTED);
    EXPECT_EQ(lastComError.load(), APP_DISCONNECTED);

    test::ScriptedTransport* t = new test::ScriptedTransport;
    table.AttachSession(h, new CommandSession(t));
    lastComError = 7;
    ConnectionSlot* s = table.Resolve(h, error);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(lastComError.load(), 7); // untouched on success
    table.ReleaseHandle(h);
}

TEST(ConnectionTable, ReleaseDestroysTransportThenSession) {
    ConnectionTable table;
    std::vector<int> log;
    int32_t h = table.AllocateHandle();
    table.AttachSession(h, new CommandSession(new TrackedTransport(log)));
    table.ReleaseHandle(h);
    EXPECT_EQ(log, std::vector<int>{1});
    EXPECT_EQ(table.FindConnection(h), nullptr);
}

TEST(ConnectionTable, DroppedSlotKeepsItsHandle) {
    ConnectionTable table;
    std::vector<int> log;
    int32_t h = table.AllocateHandle();
    table.AttachSession(h, new CommandSession(new TrackedTransport(log)));
    ConnectionTable::DestroySession(*table.FindConnection(h));
    EXPECT_EQ(log.size(), 1u);
    int32_t error = 0;
    EXPECT_EQ(table.Resolve(h, error), nullptr);
    EXPECT_EQ(error, APP_DISCONNECTED);
    table.ReleaseHandle(h);
    EXPECT_EQ(table.FindConnection(h), nullptr);
}

TEST(ConnectionTable, ThreadsConnectingAtOnceNeverShareASlot) {
    ConnectionTable table;
    for (int round = 0; round < 20; ++round) {
        std::vector<int32_t> got[2];
        std::thread workers[2];
        for (int w = 0; w < 2; ++w)
            workers[w] = std::thread([&, w] {
                for (int i = 0; i < 8; ++i) got[w].push_back(table.AllocateHandle());
            });
        for (auto& t : workers) t.join();
        std::vector<int32_t> all(got[0]);
        all.insert(all.end(), got[1].begin(), got[1].end());
        std::set<int32_t> distinct(all.begin(), all.end());
        ASSERT_EQ(distinct.size(), 16u);
        ASSERT_EQ(std::count(all.begin(), all.end(), 0), 0);
        for (int32_t h : all) table.ReleaseHandle(h);
    }
}

} // namespace
} // namespace korvo
