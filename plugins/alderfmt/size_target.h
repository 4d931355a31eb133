// Writing within a byte budget: the best luminance level whose file fits,
// found by bisection over the levels with one trial encoding per step.
#pragma once

#include "pixmill/stream.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace pixmill::alder {

// The outcome of a search over the levels 0 (best) .. 255.
struct LevelSearch {
    int level = -1;    // the smallest level whose file fits; -1: none fits
    int64_t bytes = 0; // that file's size; with none fitting the size at 255
    int encodes = 0;   // trial encodings made
};

// Files shrink as the level rises, so the smallest fitting level lies between
// the largest level found too big and the smallest found to fit: 257
// outcomes, at most 9 trials. sizeAt(level) encodes at a level and answers
// the file's size.
LevelSearch FindLevelForBudget(int64_t budget, const std::function<int64_t(int)>& sizeAt);

// Who hears the luminance level each write chose for its budget (-1: the
// write had no budget): the options pane, which shows it. Called on the
// writing thread, which in a batch run is not the pane's. SetChosenLevel-
// Listener answers a token; ClearChosenLevelListener(token) removes that
// listener only, if it is still the one set.
int SetChosenLevelListener(std::function<void(int level)> listener);
void ClearChosenLevelListener(int token);
void ReportChosenLevel(int level);

// The message for a budget no level reaches.
void BudgetMessage(char* out, size_t capacity, int64_t budget, int64_t smallest);

// A growing in-memory stream for trial encodings.
class ByteStream final : public CVStream {
  public:
    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    const std::vector<uint8_t>& Bytes() const { return bytes; }
    void Clear() {
        bytes.clear();
        position = 0;
    }
    void Swap(ByteStream& other) {
        bytes.swap(other.bytes);
        std::swap(position, other.position);
    }

  private:
    std::vector<uint8_t> bytes;
    size_t position = 0;
};

} // namespace pixmill::alder
