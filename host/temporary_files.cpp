#include "host/temporary_files.h"

#include <atomic>
#include <cstring>
#include <string>
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
std::atomic<int> g_journal{-1};

} // namespace

int Register(const std::string& path) {
    if (const int journal = g_journal.load(); journal >= 0 && !path.empty()) {
        const std::string line = path + "\n";
        (void)!write(journal, line.data(), line.size()); // O_APPEND: one line per write
    }
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

void JournalTo(int fd) {
    g_journal.store(fd);
}

int RemoveJournaled(int fd) {
    std::string text;
    char buffer[4096];
    off_t offset = 0;
    for (ssize_t n; (n = pread(fd, buffer, sizeof buffer, offset)) > 0; offset += n) {
        text.append(buffer, static_cast<size_t>(n));
    }
    int removed = 0;
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        const std::string path = text.substr(start, end - start);
        if (unlink(path.c_str()) == 0) {
            ++removed;
        }
    }
    return removed;
}

} // namespace pixmill::temporary_files
