#include "size_target.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace pixmill::alder {

namespace {
std::mutex listenerLock;
std::function<void(int)> chosenLevelListener;
int listenerToken = 0;
} // namespace

int SetChosenLevelListener(std::function<void(int level)> listener) {
    const std::lock_guard<std::mutex> hold(listenerLock);
    chosenLevelListener = std::move(listener);
    return ++listenerToken;
}

void ClearChosenLevelListener(int token) {
    const std::lock_guard<std::mutex> hold(listenerLock);
    if (token == listenerToken) {
        chosenLevelListener = nullptr;
    }
}

void ReportChosenLevel(int level) {
    const std::lock_guard<std::mutex> hold(listenerLock);
    if (chosenLevelListener) {
        chosenLevelListener(level);
    }
}

LevelSearch FindLevelForBudget(int64_t budget, const std::function<int64_t(int)>& sizeAt) {
    LevelSearch result;
    int tooBig = -1; // the largest level known not to fit (-1: none yet)
    int fits = 256;  // the smallest level known to fit (256: none yet)
    int64_t fitBytes = 0;
    while (fits - tooBig > 1) {
        const int level = std::min(255, (tooBig + fits) / 2);
        const int64_t size = sizeAt(level);
        ++result.encodes;
        if (size <= budget) {
            fits = level;
            fitBytes = size;
        } else {
            tooBig = level;
            if (level == 255) {
                result.bytes = size;
                return result; // not even the coarsest level fits
            }
        }
    }
    result.level = fits;
    result.bytes = fitBytes;
    return result;
}

void BudgetMessage(char* out, size_t capacity, int64_t budget, int64_t smallest) {
    std::snprintf(out, capacity,
                  "The JPEG file can't be made %" PRId64
                  " bytes or smaller: at the lowest quality it takes %" PRId64 " bytes",
                  budget, smallest);
}

size_t ByteStream::Read(void* buffer, size_t count) {
    const size_t n = position < bytes.size() ? std::min(count, bytes.size() - position) : 0;
    std::memcpy(buffer, bytes.data() + position, n);
    position += n;
    return n;
}

size_t ByteStream::Write(const void* buffer, size_t count) {
    if (position + count > bytes.size()) {
        bytes.resize(position + count);
    }
    std::memcpy(bytes.data() + position, buffer, count);
    position += count;
    return count;
}

int64_t ByteStream::Seek(int64_t offset, int origin) {
    const int64_t base = origin == FromStart     ? 0
                         : origin == FromCurrent ? static_cast<int64_t>(position)
                                                 : static_cast<int64_t>(bytes.size());
    position = static_cast<size_t>(std::max<int64_t>(0, base + offset));
    return static_cast<int64_t>(position);
}

} // namespace pixmill::alder
