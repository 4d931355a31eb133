// UndoHistory: undo and redo stacks of at most five images each, kept in
// private temporary files. An undo file holds the image record (header,
// pixel-pointer slot, palette, palette count, transparency) byte for byte,
// followed by stride x height pixel bytes.
#pragma once

#include "host/image_metadata.h"
#include "pixmill/win_types.h"

#include <array>
#include <cstdint>
#include <string>

namespace pixmill {

class CPluginHost;
class CVImage;

class UndoHistory {
  public:
    static constexpr int kCapacity = 5;
    enum Stack { UndoStack = 0, RedoStack = 1 };

    struct Entry {
        char fileName[256];
        char name[128];
        RECT selection;
        int64_t state;          // the document state the image belongs to
        ImageMetadata metadata; // kept in memory beside the file
    };

    explicit UndoHistory(CPluginHost* host);
    ~UndoHistory(); // deletes every remaining file
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    // Records image (and its metadata) under name; a full stack drops its
    // oldest entry.
    void Push(const CVImage& image, const char* name, const RECT& selection, int64_t state,
              Stack stack, const ImageMetadata* metadata = nullptr);
    // Reads the top entry into image (and metadata); false when the stack
    // is empty.
    bool Pop(CVImage& image, RECT* selection, int64_t* state, Stack stack,
             ImageMetadata* metadata = nullptr);
    // Removes the top entry without reading it (its file is deleted).
    void Drop(Stack stack);
    int Top(Stack stack) const { return top[stack]; }
    bool IsEmpty(Stack stack) const { return top[stack] < 0; }
    // The top entry's name ("" when empty), for the menu texts.
    const char* TopName(Stack stack) const;
    const Entry& At(Stack stack, int i) const { return entries[stack][static_cast<size_t>(i)]; }
    void Clear(Stack stack);

    static void WriteImageFile(const CVImage& image, const std::string& fileName);
    static void ReadImageFile(CVImage& image, const std::string& fileName);

  private:
    CPluginHost* host;
    std::array<std::array<Entry, kCapacity>, 2> entries{};
    int top[2] = {-1, -1};
};

} // namespace pixmill
