// The host's streams: files (every failure a CVFileError with the file's
// name) and growable memory blocks from the memory service.
#pragma once

#include "pixmill/stream.h"

#include <string>

namespace pixmill {

class CPluginHost;

class FileStream : public CVStream {
  public:
    enum Mode { ForReading, ForWriting };
    // Reading: the file must exist. Writing: created or truncated.
    FileStream(const std::string& path, Mode mode);
    ~FileStream() override;

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, int origin) override;
    void Close();
    const std::string& Path() const { return path; }
    int Descriptor() const { return fd; }

  private:
    [[noreturn]] void Fail(int err) const;
    std::string path;
    int fd = -1;
};

class MemoryStream : public CVStream {
  public:
    // A new block of initialCapacity bytes that grows by at least growthStep.
    MemoryStream(CPluginHost* host, size_t initialCapacity, size_t growthStep);
    // Reads or appends to an existing host block of the given length; the
    // stream takes over the caller's share.
    MemoryStream(CPluginHost* host, void* block, size_t length, size_t growthStep);
    ~MemoryStream() override;

    size_t Read(void* buffer, size_t count) override;
    size_t Write(const void* buffer, size_t count) override;
    int64_t Seek(int64_t offset, int origin) override;

    const uint8_t* Data() const { return data; }
    size_t Length() const { return length; }
    size_t Capacity() const { return capacity; }
    size_t Position() const { return position; }
    // Writes the whole stream into another stream with one Write.
    void CopyTo(CVStream& target) const;
    // Forgets the bytes after the position (the stream ends there).
    void Truncate() { length = position; }
    // Hands the block (and its share) to the caller; the stream is empty after.
    void* Detach();

  private:
    void Grow(size_t needed);
    CPluginHost* host;
    uint8_t* data = nullptr;
    size_t capacity = 0;
    size_t length = 0;
    size_t position = 0;
    size_t growthStep;
};

} // namespace pixmill
