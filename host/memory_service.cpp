#include "host/memory_service.h"

#include "host/temporary_files.h"

#include "pixmill/errors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace pixmill {

// Placed in front of every ordinary block; 16 bytes keep the data aligned.
struct alignas(16) MemoryService::BlockHeader {
    size_t size;
    uint32_t locks;
    uint32_t reserved;
};

namespace {
std::string SystemTempDirectory() {
    const char* dir = std::getenv("TMPDIR");
    std::string result = dir != nullptr && *dir != '\0' ? dir : "/tmp";
    if (result.back() != '/') {
        result += '/';
    }
    return result;
}
} // namespace

MemoryService::MemoryService(std::string dir)
    : tempDirectory(dir.empty() ? SystemTempDirectory() : std::move(dir)),
      scratch(new uint8_t[kScratchSize]) {
    if (tempDirectory.back() != '/') {
        tempDirectory += '/';
    }
    swapBlocks.reserve(10);
}

MemoryService::~MemoryService() {
    while (!swapBlocks.empty()) {
        ReleaseSwap(swapBlocks.size() - 1);
    }
    for (auto& [block, header] : ordinary) {
        std::free(header);
    }
}

std::string MemoryService::NextTempName() {
    char name[64];
    std::snprintf(name, sizeof name, "~qorel%d.tmp", tempCounter++);
    return tempDirectory + name;
}

// ------------------------------------------------------------ ordinary blocks

MemoryService::BlockHeader* MemoryService::HeaderOf(void* block) {
    auto it = ordinary.find(block);
    return it == ordinary.end() ? nullptr : it->second;
}

namespace {

// A picture's block (tens of megabytes) is committed a page at a time as
// rows arrive; in 2 MB pages that is 512 times fewer faults, a tenth of a
// large copy's time. Only the whole large pages inside the block are
// advised; the system may decline.
void AdviseLargePages(void* start, size_t length) {
    constexpr size_t kLargePage = size_t{2} << 20;
    if (length < 4 * kLargePage) {
        return;
    }
    const auto first = (reinterpret_cast<uintptr_t>(start) + kLargePage - 1) & ~(kLargePage - 1);
    const auto end = (reinterpret_cast<uintptr_t>(start) + length) & ~(kLargePage - 1);
    if (end > first) {
        madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    }
}

} // namespace

void* MemoryService::AllocOrdinary(size_t size) {
    if (ordinaryFails || size > SIZE_MAX - sizeof(BlockHeader)) {
        return nullptr;
    }
    // Zeroed: row padding never carries stale bytes into written files, and
    // a large block's pages are committed only when rows are written (the
    // system hands out fresh zero pages for it without touching them).
    auto* header = static_cast<BlockHeader*>(std::calloc(1, sizeof(BlockHeader) + size));
    if (header == nullptr) {
        return nullptr;
    }
    header->size = size;
    header->locks = 1;
    AdviseLargePages(header, sizeof(BlockHeader) + size);
    void* block = header + 1;
    ordinary.emplace(block, header);
    return block;
}

void* MemoryService::ResizeOrdinary(void* block, size_t size) {
    BlockHeader* header = HeaderOf(block);
    if (ordinaryFails || size > SIZE_MAX - sizeof(BlockHeader)) {
        return nullptr;
    }
    auto* moved = static_cast<BlockHeader*>(std::realloc(header, sizeof(BlockHeader) + size));
    if (moved == nullptr) {
        return nullptr;
    }
    ordinary.erase(block);
    moved->size = size;
    moved->locks = 1;
    void* result = moved + 1;
    ordinary.emplace(result, moved);
    return result;
}

void MemoryService::ReleaseOrdinary(void* block) {
    BlockHeader* header = HeaderOf(block);
    ordinary.erase(block);
    std::free(header);
}

// ---------------------------------------------------------------- swap blocks

long MemoryService::FindSwap(const void* block) const {
    for (size_t i = 0; i < swapBlocks.size(); ++i) {
        if (swapBlocks[i].view == block) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

std::string MemoryService::SwapFileName(const void* block) const {
    const long index = FindSwap(block);
    return index < 0 ? std::string() : swapBlocks[index].fileName;
}

// The file's blocks are reserved now: a sparse file on a full disk would
// map, and then end the program with SIGBUS at the first page that finds no
// room. Where the file system cannot reserve, zeros are written.
bool MemoryService::ReserveBlocks(int fd, size_t length) {
    const int reserved = posix_fallocate(fd, 0, static_cast<off_t>(length));
    if (reserved == 0) {
        return true;
    }
    if (reserved != EOPNOTSUPP && reserved != EINVAL) {
        return false; // ENOSPC, EFBIG, ...
    }
    static const char zeros[65536] = {};
    for (size_t done = 0; done < length;) {
        const size_t n = std::min(sizeof zeros, length - done);
        const ssize_t written = pwrite(fd, zeros, n, static_cast<off_t>(done));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        done += static_cast<size_t>(written);
    }
    return true;
}

bool MemoryService::MapSwap(SwapBlock& entry) {
    // A mapping needs at least one byte; the recorded size stays as asked.
    const size_t length = std::max<size_t>(entry.size, 1);
    if (ftruncate(entry.fd, static_cast<off_t>(length)) != 0 || !ReserveBlocks(entry.fd, length)) {
        return false;
    }
    void* view = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, entry.fd, 0);
    if (view == MAP_FAILED) {
        return false;
    }
    entry.view = view;
    return true;
}

void* MemoryService::AllocSwap(size_t size) {
    if (swapBlocks.size() == swapBlocks.capacity()) {
        swapBlocks.reserve(swapBlocks.capacity() + 5);
    }
    SwapBlock entry;
    entry.size = size;
    entry.shares = 1;
    entry.fileName = NextTempName();
    entry.fd = open(entry.fileName.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (entry.fd >= 0) {
        entry.registered = temporary_files::Register(entry.fileName);
    }
    if (entry.fd >= 0 && MapSwap(entry)) {
        swapBlocks.push_back(entry);
        return entry.view;
    }
    if (entry.fd >= 0) {
        close(entry.fd);
        unlink(entry.fileName.c_str());
        temporary_files::Unregister(entry.registered);
    }
    return nullptr;
}

void MemoryService::ReleaseSwap(size_t index) {
    SwapBlock& entry = swapBlocks[index];
    munmap(entry.view, std::max<size_t>(entry.size, 1));
    close(entry.fd);
    unlink(entry.fileName.c_str());
    temporary_files::Unregister(entry.registered);
    swapBlocks.erase(swapBlocks.begin() + static_cast<long>(index));
}

// ------------------------------------------------------------------ interface

void* MemoryService::Alloc(size_t size) {
    if (void* block = AllocOrdinary(size)) {
        return block;
    }
    if (void* block = AllocSwap(size)) {
        return block;
    }
    throw CVMemoryError::Allocation(size);
}

int MemoryService::Share(void* block) {
    if (block == nullptr) {
        return 0;
    }
    const long index = FindSwap(block);
    if (index >= 0) {
        return ++swapBlocks[index].shares;
    }
    if (BlockHeader* header = HeaderOf(block)) {
        ++header->locks;
        return 0;
    }
    throw CVMemoryError::CantShare(block);
}

int MemoryService::Free(void* block) {
    if (block == nullptr) {
        return -1;
    }
    const long index = FindSwap(block);
    if (index >= 0) {
        const int remaining = --swapBlocks[index].shares;
        if (remaining == 0) {
            ReleaseSwap(static_cast<size_t>(index));
        }
        return remaining;
    }
    if (BlockHeader* header = HeaderOf(block)) {
        if (--header->locks == 0) {
            ReleaseOrdinary(block);
        }
        return -1;
    }
    throw CVMemoryError::CantShare(block);
}

size_t MemoryService::GetSize(void* block) {
    const long index = FindSwap(block);
    if (index >= 0) {
        return swapBlocks[index].size;
    }
    if (BlockHeader* header = HeaderOf(block)) {
        return header->size;
    }
    throw CVMemoryError::CantShare(block);
}

void* MemoryService::Realloc(void* block, size_t size) {
    if (block == nullptr) {
        return Alloc(size);
    }
    const long index = FindSwap(block);
    bool oldShareReleased = false;
    if (index >= 0) {
        SwapBlock& entry = swapBlocks[index];
        if (entry.shares == 1) {
            munmap(entry.view, std::max<size_t>(entry.size, 1));
            entry.view = nullptr;
            entry.size = size;
            if (MapSwap(entry)) {
                return entry.view;
            }
            // The view is gone: drop the entry and its file.
            ReleaseSwap(static_cast<size_t>(index));
            throw CVMemoryError::Reallocation(block, size);
        }
    } else if (BlockHeader* header = HeaderOf(block)) {
        if (header->locks > 1) {
            --header->locks; // the caller's share; other holders keep the block
            oldShareReleased = true;
        } else if (void* resized = ResizeOrdinary(block, size)) {
            return resized;
        }
    } else {
        throw CVMemoryError::CantShare(block);
    }

    const size_t oldSize = GetSize(block);
    void* fresh = nullptr;
    try {
        fresh = Alloc(size);
    } catch (const CVMemoryError&) {
        throw CVMemoryError::Reallocation(block, size);
    }
    std::memcpy(fresh, block, std::min(oldSize, size));
    if (!oldShareReleased) {
        Free(block);
    }
    return fresh;
}

// -------------------------------------------------------------- scratch arena

uint8_t* MemoryService::ScratchAlloc(size_t n) {
    const long long before = scratchRemaining;
    if (n > kScratchSize) {
        scratchRemaining = -1;
        return nullptr;
    }
    scratchRemaining -= static_cast<long long>(n);
    if (scratchRemaining < 0 || before < 0) {
        return nullptr;
    }
    return scratch.get() + (static_cast<long long>(kScratchSize) - before);
}

void MemoryService::ScratchRelease(void* block, size_t n) {
    // Gives n bytes at block back by moving the bytes carved after them down.
    auto* start = static_cast<uint8_t*>(block);
    uint8_t* used = scratch.get() + (static_cast<long long>(kScratchSize) -
                                     std::max<long long>(scratchRemaining, 0));
    if (start < scratch.get() || start + n > used || scratchRemaining < 0) {
        return;
    }
    std::memmove(start, start + n, static_cast<size_t>(used - (start + n)));
    scratchRemaining += static_cast<long long>(n);
}

} // namespace pixmill
