// The memory service behind CPluginHost: pixel blocks with share counts, a
// file-backed fallback when ordinary memory runs out, and the scratch arena.
//
// An ordinary block carries a hidden header with its size and share (lock)
// count, and the set of live blocks lets an unknown address be recognised.
// A swap block is a temporary file "~qorel<n>.tmp" mapped shared; the file
// lives exactly as long as the block's last share.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace pixmill {

class MemoryService {
  public:
    static constexpr size_t kScratchSize = 1000000;

    // tempDirectory ends with "/"; empty: $TMPDIR or /tmp/.
    explicit MemoryService(std::string tempDirectory = {});
    ~MemoryService();
    MemoryService(const MemoryService&) = delete;
    MemoryService& operator=(const MemoryService&) = delete;

    void* Alloc(size_t size);
    void* Realloc(void* block, size_t size);
    int Share(void* block);
    int Free(void* block);
    size_t GetSize(void* block);

    uint8_t* Scratch() { return scratch.get(); }
    uint8_t* ScratchAlloc(size_t n);
    void ScratchRelease(void* block, size_t n);
    void ScratchReset() { scratchRemaining = static_cast<long long>(kScratchSize); }
    long long ScratchRemaining() const { return scratchRemaining; }

    // "<temp dir>~qorel<counter>.tmp"; the counter is shared with swap files.
    std::string NextTempName();
    const std::string& TempDirectory() const { return tempDirectory; }

    // Test hook: ordinary allocations fail, so every block becomes a swap block.
    void SetOrdinaryAllocationFails(bool fails) { ordinaryFails = fails; }
    bool IsSwapBlock(const void* block) const { return FindSwap(block) >= 0; }
    std::string SwapFileName(const void* block) const;
    size_t SwapBlockCount() const { return swapBlocks.size(); }
    size_t LiveOrdinaryBlocks() const { return ordinary.size(); }

    struct BlockHeader;

  private:
    struct SwapBlock {
        void* view = nullptr;
        size_t size = 0;
        uint16_t shares = 0;
        int fd = -1;
        std::string fileName;
        int registered = -1; // slot in the temporary files' table
    };

    void* AllocOrdinary(size_t size);
    void* ResizeOrdinary(void* block, size_t size);
    void ReleaseOrdinary(void* block);
    void* AllocSwap(size_t size);
    void ReleaseSwap(size_t index);
    static bool ReserveBlocks(int fd, size_t length);
    bool MapSwap(SwapBlock& entry);
    long FindSwap(const void* block) const;
    BlockHeader* HeaderOf(void* block);

    std::string tempDirectory;
    int tempCounter = 0;
    std::vector<SwapBlock> swapBlocks;
    std::unordered_map<void*, BlockHeader*> ordinary;
    std::unique_ptr<uint8_t[]> scratch;
    long long scratchRemaining = static_cast<long long>(kScratchSize);
    bool ordinaryFails = false;
};

} // namespace pixmill
