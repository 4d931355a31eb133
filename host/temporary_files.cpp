#include "host/temporary_files.h"

#include <atomic>
#include <cstring>
#include <unistd.h>

namespace pixmill::temporary_files {

namespace {

constexpr int kSlots = 64;
constexpr size_t kPathSize = 4096;

enum : int { Free, Writing, Ready };

struct Slot {
    std::atomic<int> state{Free};
    char path[kPathSize];
};

Slot g_slots[kSlots];

} // namespace

int Register(const std::string& path) {
    if (path.empty() || path.size() >= kPathSize) {
        return -1;
    }
    for (int i = 0; i < kSlots; ++i) {
        int expected = Free;
        if (g_slots[i].state.compare_exchange_strong(expected, Writing)) {
            std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
            g_slots[i].state.store(Ready);
            return i;
        }
    }
    return -1;
}

void Unregister(int slot) {
    if (slot >= 0 && slot < kSlots) {
        g_slots[slot].state.store(Free);
    }
}

void RemoveAll() {
    for (Slot& slot : g_slots) {
        if (slot.state.load() == Ready) {
            unlink(slot.path);
        }
    }
}

} // namespace pixmill::temporary_files
