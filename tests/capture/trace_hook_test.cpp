// The trace hook over POSIX shared memory.
#include "core/trace_hook.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>

#include "fake_view.h"
#include "platform/shared_memory_posix.h"

namespace ticklog {
namespace {

TEST(TraceHook, WritesTheGreetingIntoAnExistingBlock) {
    ::shm_unlink(kTraceMemoryName);
    testing::FakeView view;
    {
        PosixSharedMemory memory;
        RunTraceHook(memory, view);
    }
    ASSERT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(view.boxes[0].text, "OpenFileMapping Failed");
    EXPECT_EQ(view.boxes[0].caption, "Trace Str");
    EXPECT_EQ(view.boxes[0].buttons, Buttons::Ok);
    EXPECT_FALSE(view.boxes[0].owned);

    const int fd = ::shm_open(kTraceMemoryName, O_RDWR | O_CREAT | O_EXCL, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 64), 0);
    void* block = ::mmap(nullptr, 64, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(block, MAP_FAILED);
    std::memset(block, 'x', 64);
    PosixSharedMemory memory;
    RunTraceHook(memory, view);
    EXPECT_EQ(view.boxes.size(), 1u);
    EXPECT_EQ(std::memcmp(block, "Hello from Ticklog\0x", 20), 0);

    // A block smaller than the greeting takes what fits and nothing beyond.
    ASSERT_EQ(::ftruncate(fd, 5), 0);
    PosixSharedMemory small;
    std::memset(block, 'x', 5);
    EXPECT_TRUE(small.WriteToExisting(kTraceMemoryName, "Hello from Ticklog"));
    EXPECT_EQ(std::memcmp(block, "Hello", 5), 0);
    ::munmap(block, 64);
    ::close(fd);
    ::shm_unlink(kTraceMemoryName);
}

}  // namespace
}  // namespace ticklog
