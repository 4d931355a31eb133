#include "host/memory_service.h"
#include "pixmill/errors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <sched.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace pixmill;
namespace fs = std::filesystem;

namespace {

// A private temporary directory per test, so swap files can be counted.
struct TempDir {
    TempDir() {
        char pattern[] = "/tmp/pixmill-mem-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path); }
    size_t FileCount() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(path), {}));
    }
    std::string path;
};

} // namespace

TEST(MemoryService, OrdinaryBlocksAreShareCounted) {
    MemoryService memory("/tmp/");
    void* block = memory.Alloc(100);
    EXPECT_GE(memory.GetSize(block), 100u);
    EXPECT_EQ(memory.Share(block), 0) << "memory blocks answer 0";
    EXPECT_EQ(memory.Free(block), -1);
    EXPECT_EQ(memory.LiveOrdinaryBlocks(), 1u) << "one share left";
    std::memset(block, 1, 100);
    EXPECT_EQ(memory.Free(block), -1);
    EXPECT_EQ(memory.LiveOrdinaryBlocks(), 0u);
    EXPECT_EQ(memory.Share(nullptr), 0);
    EXPECT_EQ(memory.Free(nullptr), -1);
}

TEST(MemoryService, UnknownAddressesAreRefused) {
    MemoryService memory("/tmp/");
    int local = 0;
    char expected[64];
    std::snprintf(expected, sizeof expected, "Can't share memory block %p",
                  static_cast<void*>(&local));
    for (auto action : {0, 1, 2}) {
        try {
            if (action == 0) {
                memory.Share(&local);
            } else if (action == 1) {
                memory.Free(&local);
            } else {
                memory.Realloc(&local, 10);
            }
            ADD_FAILURE() << "no error for action " << action;
        } catch (CVMemoryError& e) {
            EXPECT_STREQ(e.Report(false), expected);
        }
    }
}

TEST(MemoryService, SwapFallbackWhenOrdinaryMemoryFails) {
    TempDir dir;
    MemoryService memory(dir.path + "/");
    memory.SetOrdinaryAllocationFails(true);
    auto* block = static_cast<uint8_t*>(memory.Alloc(5000));
    ASSERT_TRUE(memory.IsSwapBlock(block));
    EXPECT_EQ(memory.SwapFileName(block), dir.path + "/~qorel0.tmp");
    EXPECT_TRUE(fs::exists(dir.path + "/~qorel0.tmp"));
    EXPECT_EQ(memory.GetSize(block), 5000u);
    std::memset(block, 0xAB, 5000); // behaves like memory
    EXPECT_EQ(memory.Share(block), 2);
    EXPECT_EQ(memory.Free(block), 1);
    EXPECT_TRUE(fs::exists(dir.path + "/~qorel0.tmp"));
    EXPECT_EQ(memory.Free(block), 0);
    EXPECT_EQ(dir.FileCount(), 0u) << "the last share deletes the file";
    EXPECT_EQ(memory.SwapBlockCount(), 0u);
    EXPECT_EQ(memory.NextTempName(), dir.path + "/~qorel1.tmp") << "shared counter";
}

TEST(MemoryService, SwapTableGrowsAndKeepsOrder) {
    TempDir dir;
    MemoryService memory(dir.path + "/");
    memory.SetOrdinaryAllocationFails(true);
    std::vector<void*> blocks;
    for (int i = 0; i < 23; ++i) {
        blocks.push_back(memory.Alloc(64 + i));
        static_cast<uint8_t*>(blocks.back())[0] = static_cast<uint8_t>(i);
    }
    EXPECT_EQ(dir.FileCount(), 23u);
    memory.Free(blocks[3]);
    memory.Free(blocks[10]);
    for (int i = 0; i < 23; ++i) {
        if (i != 3 && i != 10) {
            EXPECT_EQ(static_cast<uint8_t*>(blocks[i])[0], i);
            EXPECT_EQ(memory.GetSize(blocks[i]), 64u + i);
        }
    }
    EXPECT_EQ(dir.FileCount(), 21u);
}

TEST(MemoryService, ExhaustedFallbackThrowsAndLeavesNothing) {
    MemoryService memory("/nonexistent-pixmill-dir/");
    memory.SetOrdinaryAllocationFails(true);
    try {
        memory.Alloc(77);
        FAIL() << "no error";
    } catch (CVMemoryError& e) {
        EXPECT_STREQ(e.Report(false), "Insufficient memory for allocation 77 bytes");
    }
    EXPECT_EQ(memory.SwapBlockCount(), 0u);
}

TEST(MemoryService, ReallocKeepsContentsInEveryCase) {
    TempDir dir;
    MemoryService memory(dir.path + "/");
    auto fill = [](void* block, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            static_cast<uint8_t*>(block)[i] = static_cast<uint8_t>(i * 7);
        }
    };
    auto check = [](void* block, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            if (static_cast<uint8_t*>(block)[i] != static_cast<uint8_t>(i * 7)) {
                return false;
            }
        }
        return true;
    };
    // Null block: an allocation.
    void* block = memory.Realloc(nullptr, 300);
    fill(block, 300);
    // Ordinary block with one share: resized.
    block = memory.Realloc(block, 5000);
    EXPECT_TRUE(check(block, 300));
    EXPECT_EQ(memory.GetSize(block), 5000u);
    // Ordinary block shared: the other holder keeps the old block.
    memory.Share(block);
    void* moved = memory.Realloc(block, 100);
    EXPECT_NE(moved, block);
    EXPECT_TRUE(check(moved, 100));
    EXPECT_TRUE(check(block, 300)) << "the other share is untouched";
    memory.Free(block);
    EXPECT_EQ(memory.LiveOrdinaryBlocks(), 1u);
    // Ordinary block whose resize fails: moved into a swap block.
    memory.SetOrdinaryAllocationFails(true);
    void* swap = memory.Realloc(moved, 2000);
    EXPECT_TRUE(memory.IsSwapBlock(swap));
    EXPECT_TRUE(check(swap, 100));
    EXPECT_EQ(memory.LiveOrdinaryBlocks(), 0u);
    // Swap block with one share: remapped larger.
    fill(swap, 2000);
    void* grown = memory.Realloc(swap, 9000);
    EXPECT_TRUE(memory.IsSwapBlock(grown));
    EXPECT_TRUE(check(grown, 2000));
    EXPECT_EQ(memory.GetSize(grown), 9000u);
    // Swap block shared: a new block, the old one keeps its other share.
    memory.Share(grown);
    void* copy = memory.Realloc(grown, 50);
    EXPECT_NE(copy, grown);
    EXPECT_TRUE(check(copy, 50));
    EXPECT_EQ(memory.Free(grown), 0);
    memory.Free(copy);
    EXPECT_EQ(dir.FileCount(), 0u);
}

TEST(MemoryService, ScratchArena) {
    MemoryService memory("/tmp/");
    uint8_t* first = memory.ScratchAlloc(600000);
    EXPECT_EQ(first, memory.Scratch());
    EXPECT_EQ(memory.ScratchAlloc(600000), nullptr);
    EXPECT_EQ(memory.ScratchAlloc(10), nullptr) << "stays exhausted until reset";
    memory.ScratchReset();
    EXPECT_EQ(memory.ScratchAlloc(200000), memory.Scratch());
    EXPECT_EQ(memory.ScratchAlloc(524544), memory.Scratch() + 200000);
    EXPECT_EQ(memory.ScratchRemaining(), 1000000 - 200000 - 524544);
    memory.ScratchReset();
    uint8_t* a = memory.ScratchAlloc(10);
    uint8_t* b = memory.ScratchAlloc(10);
    std::memset(b, 9, 10);
    memory.ScratchRelease(a, 10);
    EXPECT_EQ(a[0], 9) << "bytes above move down";
    EXPECT_EQ(memory.ScratchAlloc(5), memory.Scratch() + 10);
}

TEST(MemoryService, DestructionDeletesRemainingSwapFiles) {
    TempDir dir;
    {
        MemoryService memory(dir.path + "/");
        memory.SetOrdinaryAllocationFails(true);
        memory.Alloc(10);
        memory.Alloc(20);
        EXPECT_EQ(dir.FileCount(), 2u);
    }
    EXPECT_EQ(dir.FileCount(), 0u);
}

// Fresh blocks are zeroed, also where freed dirty memory is reused: row
// padding never carries stale bytes into written files.
TEST(MemoryService, NewBlocksAreZeroed) {
    MemoryService memory;
    for (size_t size : {size_t{24}, size_t{1000}, size_t{70000}}) {
        for (int round = 0; round < 3; ++round) {
            auto* block = static_cast<uint8_t*>(memory.Alloc(size));
            for (size_t i = 0; i < size; ++i) {
                ASSERT_EQ(block[i], 0) << "size " << size << " byte " << i;
            }
            std::memset(block, 0xAB, size);
            memory.Free(block);
        }
    }
}

// A swap file on a full disk is an out-of-memory error, never SIGBUS, and
// leaves no file. Runs in a child with a private 1 MB file system (needs the
// right to mount one; skipped otherwise).
TEST(MemoryService, SwapOnAFullDiskIsAnErrorNotASignal) {
    TempDir dir;
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeEnds[0]);
        auto say = [&](char what) { (void)!write(pipeEnds[1], &what, 1); };
        if (unshare(CLONE_NEWNS) != 0 ||
            mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            mount("tmpfs", dir.path.c_str(), "tmpfs", 0, "size=1m") != 0) {
            say('s');
            _exit(0);
        }
        int status = 1;
        {
            MemoryService memory(dir.path);
            memory.SetOrdinaryAllocationFails(true);
            try {
                void* block = memory.Alloc(size_t{8} << 20);
                std::memset(block, 1, size_t{8} << 20);
                memory.Free(block);
            } catch (const CVMemoryError&) {
                status = fs::is_empty(dir.path) ? 0 : 2;
            }
        }
        say('r');
        _exit(status);
    }
    close(pipeEnds[1]);
    char what = 0;
    (void)!read(pipeEnds[0], &what, 1);
    close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (what == 's') {
        GTEST_SKIP() << "no right to mount a private file system here";
    }
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: no error, 2: a file left behind";
}
