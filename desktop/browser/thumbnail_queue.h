// ThumbnailQueue: which row's thumbnail to make next. Rows on screen come
// first, then the rows below them (where people scroll to), then the rows
// above. Qt-free.
#pragma once

#include <vector>

namespace pixmill {

class ThumbnailQueue {
  public:
    // count rows, all waiting.
    void Reset(int count);
    // The rows on screen (inclusive); an empty range when last < first.
    void SetVisible(int first, int last);
    // The next waiting row, or -1 when none waits.
    int Next() const;
    void Done(int row);
    // Makes a row wait again (its picture changed).
    void Requeue(int row);
    // The row left the list; the rows after it move up.
    void Remove(int row);
    int Waiting() const { return waiting; }
    bool IsWaiting(int row) const;

  private:
    std::vector<bool> rows;
    int waiting = 0;
    int first = 0;
    int last = -1;
};

} // namespace pixmill
