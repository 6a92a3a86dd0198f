// Loading and unloading the shared library again and again leaves no thread
// and no descriptor behind, also after connects that started and stopped the
// RS-232 link thread and the socket library.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include "ProcessCounts.h"

namespace {

TEST(LibraryLoad, HundredLoadsAndUnloadsLeaveNothingBehind) {
    int fds = korvo::test::Settled(korvo::test::DescriptorCount);
    int threads = korvo::test::SettledThreadCount();
    for (int i = 0; i < 100; ++i) {
        void* library = dlopen(KORVOCOMM_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        auto connectTcp = reinterpret_cast<int (*)(const char*)>(dlsym(library, "ConnectTCP"));
        auto connectRs232 = reinterpret_cast<int (*)(const char*, int, int)>(dlsym(library, "ConnectRS232"));
        auto lastError = reinterpret_cast<int (*)(int)>(dlsym(library, "GetLastComError"));
        ASSERT_TRUE(connectTcp && connectRs232 && lastError);
        EXPECT_EQ(connectTcp("127.0.0.1:1"), 0);
        EXPECT_EQ(lastError(0), -655);
        if (i % 10 == 0) {
            EXPECT_EQ(connectRs232("COM199", 9600, 2), 0);
            EXPECT_EQ(lastError(0), -624);
        }
        ASSERT_EQ(dlclose(library), 0);
        // Really gone, not kept loaded behind our back.
        EXPECT_EQ(dlopen(KORVOCOMM_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr);
    }
    EXPECT_TRUE(korvo::test::ThreadsBackTo(threads));
    EXPECT_EQ(korvo::test::DescriptorCount(), fds);
}

} // namespace
