#include "host/undo_history.h"

#include "host/streams.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/plugin_host.h"

#include <cstdio>
#include <cstring>

namespace pixmill {

namespace {
// The stored part of the record, from the header to the transparency flag,
// and where its fields lie in it (the record is packed).
constexpr size_t kRecordBytes = 40 + 8 + 1024 + 2 + 4 + 1;
constexpr size_t kPaletteAt = 48;
constexpr size_t kPaletteCountAt = 1072;
constexpr size_t kTransparencyAt = 1074;
static_assert(sizeof(CVImage) == 16 + kRecordBytes);
} // namespace

UndoHistory::UndoHistory(CPluginHost* host) : host(host) {}

UndoHistory::~UndoHistory() {
    Clear(UndoStack);
    Clear(RedoStack);
}

void UndoHistory::Clear(Stack stack) {
    for (int i = 0; i <= top[stack]; ++i) {
        std::remove(entries[stack][static_cast<size_t>(i)].fileName);
        entries[stack][static_cast<size_t>(i)].metadata.Clear();
    }
    top[stack] = -1;
}

const char* UndoHistory::TopName(Stack stack) const {
    return top[stack] < 0 ? "" : entries[stack][static_cast<size_t>(top[stack])].name;
}

void UndoHistory::Push(const CVImage& image, const char* name, const RECT& selection, int64_t state,
                       Stack stack, const ImageMetadata* metadata) {
    auto& list = entries[stack];
    if (top[stack] == kCapacity - 1) {
        std::remove(list[0].fileName);
        for (int i = 0; i < kCapacity - 1; ++i) {
            list[static_cast<size_t>(i)] = list[static_cast<size_t>(i) + 1];
        }
    } else {
        ++top[stack];
    }
    Entry& entry = list[static_cast<size_t>(top[stack])];
    host->MakeTempName(entry.fileName, sizeof entry.fileName);
    std::snprintf(entry.name, sizeof entry.name, "%s", name != nullptr ? name : "");
    entry.selection = selection;
    entry.state = state;
    try {
        WriteImageFile(image, entry.fileName);
    } catch (...) {
        // Nothing half-written stays on the stack.
        std::remove(entry.fileName);
        --top[stack];
        throw;
    }
    entry.metadata = metadata != nullptr ? *metadata : ImageMetadata{};
}

void UndoHistory::Drop(Stack stack) {
    if (top[stack] >= 0) {
        std::remove(entries[stack][static_cast<size_t>(top[stack])].fileName);
        entries[stack][static_cast<size_t>(top[stack])].metadata.Clear();
        --top[stack];
    }
}

bool UndoHistory::Pop(CVImage& image, RECT* selection, int64_t* state, Stack stack,
                      ImageMetadata* metadata) {
    if (top[stack] < 0) {
        return false;
    }
    Entry& entry = entries[stack][static_cast<size_t>(top[stack])];
    ReadImageFile(image, entry.fileName);
    if (selection != nullptr) {
        *selection = entry.selection;
    }
    if (state != nullptr) {
        *state = entry.state;
    }
    if (metadata != nullptr) {
        *metadata = std::move(entry.metadata);
    }
    entry.metadata.Clear();
    std::remove(entry.fileName);
    --top[stack];
    return true;
}

void UndoHistory::WriteImageFile(const CVImage& image, const std::string& fileName) {
    FileStream file(fileName, FileStream::ForWriting);
    const auto* record = reinterpret_cast<const uint8_t*>(&image.header);
    file.Write(record, kRecordBytes);
    file.Write(image.bits, image.ImageBytes());
    file.Close();
}

void UndoHistory::ReadImageFile(CVImage& image, const std::string& fileName) {
    FileStream file(fileName, FileStream::ForReading);
    uint8_t record[kRecordBytes];
    if (file.Read(record, kRecordBytes) != kRecordBytes) {
        throw CVImageError(CVImageError::ReadError);
    }
    BITMAPINFOHEADER header;
    std::memcpy(&header, record, sizeof header);
    RGBQUAD palette[256];
    std::memcpy(palette, record + kPaletteAt, sizeof palette);
    uint16_t paletteCount;
    std::memcpy(&paletteCount, record + kPaletteCountAt, 2);
    TransparencyInfo transparency;
    std::memcpy(&transparency, record + kTransparencyAt, 5);

    if (header.biBitCount == kAlphaBitCount) {
        image.CreateWithAlpha(header.biWidth, header.biHeight, header.biXPelsPerMeter,
                              header.biYPelsPerMeter);
    } else {
        image.Create(header.biWidth, header.biHeight, header.biBitCount, paletteCount,
                     &transparency, header.biXPelsPerMeter, header.biYPelsPerMeter);
    }
    std::memcpy(image.palette, palette, sizeof palette);
    if (file.Read(image.bits, image.ImageBytes()) != image.ImageBytes()) {
        throw CVImageError(CVImageError::ReadError);
    }
}

} // namespace pixmill
