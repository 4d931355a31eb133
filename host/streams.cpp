#include "host/streams.h"

#include "pixmill/errors.h"
#include "pixmill/plugin_host.h"
#include "pixmill/side_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace pixmill {

// ---------------------------------------------------------------- file stream

FileStream::FileStream(const std::string& fileName, Mode mode) : path(fileName) {
    if (mode == ForReading) {
        fd = OpenRegularFile(path, "a file to read"); // a FIFO or device would never end
    } else {
        RefuseNulInPath(path);
        fd = open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    }
    if (fd < 0) {
        Fail(errno);
    }
    posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
}

FileStream::~FileStream() {
    if (fd >= 0) {
        close(fd);
    }
}

void FileStream::Fail(int err) const {
    throw CVFileError::FromErrno(err, path.c_str());
}

size_t FileStream::Read(void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = read(fd, static_cast<uint8_t*>(buffer) + done, count - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(errno);
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t FileStream::Write(const void* buffer, size_t count) {
    size_t done = 0;
    while (done < count) {
        const ssize_t n = write(fd, static_cast<const uint8_t*>(buffer) + done, count - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(errno);
        }
        if (n == 0) {
            Fail(ENOSPC);
        }
        done += static_cast<size_t>(n);
    }
    return done;
}

int64_t FileStream::Seek(int64_t offset, int origin) {
    const int whence = origin == FromCurrent ? SEEK_CUR : origin == FromEnd ? SEEK_END : SEEK_SET;
    const off_t result = lseek(fd, static_cast<off_t>(offset), whence);
    if (result < 0) {
        Fail(errno);
    }
    return result;
}

void FileStream::Close() {
    if (fd >= 0) {
        const int result = close(fd);
        fd = -1;
        if (result != 0) {
            Fail(errno);
        }
    }
}

// -------------------------------------------------------------- memory stream

MemoryStream::MemoryStream(CPluginHost* host, size_t initialCapacity, size_t step)
    : host(host), growthStep(std::max<size_t>(step, 1)) {
    data = static_cast<uint8_t*>(host->Alloc(initialCapacity));
    capacity = initialCapacity;
}

MemoryStream::MemoryStream(CPluginHost* host, void* block, size_t blockLength, size_t step)
    : host(host), data(static_cast<uint8_t*>(block)), length(blockLength),
      growthStep(std::max<size_t>(step, 1)) {
    capacity = block != nullptr ? host->GetSize(block) : 0;
    length = std::min(length, capacity);
}

MemoryStream::~MemoryStream() {
    if (data != nullptr) {
        host->Free(data);
    }
}

void MemoryStream::Grow(size_t needed) {
    if (needed <= capacity) {
        return;
    }
    const size_t missing = needed - capacity;
    const size_t newCapacity = capacity + std::max(missing, growthStep);
    data = static_cast<uint8_t*>(host->Realloc(data, newCapacity));
    capacity = newCapacity;
}

size_t MemoryStream::Read(void* buffer, size_t count) {
    if (count == 0) {
        return 0;
    }
    const size_t available = position < length ? length - position : 0;
    const size_t n = std::min(count, available);
    if (n > 0) {
        std::memcpy(buffer, data + position, n);
    }
    position += n;
    return n;
}

size_t MemoryStream::Write(const void* buffer, size_t count) {
    if (count == 0) {
        return 0; // nothing to copy (and the buffer may be null)
    }
    Grow(position + count);
    std::memcpy(data + position, buffer, count);
    position += count;
    length = std::max(length, position);
    return count;
}

int64_t MemoryStream::Seek(int64_t offset, int origin) {
    int64_t base = origin == FromCurrent ? static_cast<int64_t>(position)
                   : origin == FromEnd   ? static_cast<int64_t>(length)
                                         : 0;
    int64_t target = base + offset;
    if (target < 0) {
        throw CVImageError(CVImageError::ReadError);
    }
    Grow(static_cast<size_t>(target));
    if (static_cast<size_t>(target) > length) {
        // Bytes skipped over by a seek read back as zero.
        std::memset(data + length, 0, static_cast<size_t>(target) - length);
        length = static_cast<size_t>(target);
    }
    position = static_cast<size_t>(target);
    return target;
}

void MemoryStream::CopyTo(CVStream& target) const {
    if (length > 0 && target.Write(data, length) != length) {
        throw CVImageError(CVImageError::WriteError);
    }
}

void* MemoryStream::Detach() {
    void* block = data;
    data = nullptr;
    capacity = length = position = 0;
    return block;
}

} // namespace pixmill
