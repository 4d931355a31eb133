#include "desktop/browser/thumbnail_queue.h"

#include <algorithm>

namespace pixmill {

void ThumbnailQueue::Reset(int count) {
    rows.assign(static_cast<size_t>(std::max(count, 0)), true);
    waiting = static_cast<int>(rows.size());
}

void ThumbnailQueue::SetVisible(int firstRow, int lastRow) {
    first = firstRow;
    last = lastRow;
}

bool ThumbnailQueue::IsWaiting(int row) const {
    return row >= 0 && row < static_cast<int>(rows.size()) && rows[static_cast<size_t>(row)];
}

int ThumbnailQueue::Next() const {
    if (waiting == 0) {
        return -1;
    }
    const int count = static_cast<int>(rows.size());
    const int from = std::clamp(first, 0, count);
    const int to = std::clamp(last + 1, from, count);
    for (int row = from; row < to; ++row) { // on screen
        if (IsWaiting(row)) {
            return row;
        }
    }
    for (int row = to; row < count; ++row) { // below
        if (IsWaiting(row)) {
            return row;
        }
    }
    for (int row = from - 1; row >= 0; --row) { // above, nearest first
        if (IsWaiting(row)) {
            return row;
        }
    }
    return -1;
}

void ThumbnailQueue::Done(int row) {
    if (IsWaiting(row)) {
        rows[static_cast<size_t>(row)] = false;
        --waiting;
    }
}

void ThumbnailQueue::Requeue(int row) {
    if (row >= 0 && row < static_cast<int>(rows.size()) && !rows[static_cast<size_t>(row)]) {
        rows[static_cast<size_t>(row)] = true;
        ++waiting;
    }
}

void ThumbnailQueue::Remove(int row) {
    if (row < 0 || row >= static_cast<int>(rows.size())) {
        return;
    }
    if (rows[static_cast<size_t>(row)]) {
        --waiting;
    }
    rows.erase(rows.begin() + row);
}

} // namespace pixmill
