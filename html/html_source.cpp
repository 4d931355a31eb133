#include "html/html_source.h"

#include "pixmill/errors.h"
#include "pixmill/side_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pixmill {

HtmlSource::HtmlSource(const std::string& fileName) : name(fileName) {
    RefuseNulInPath(fileName);
    fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        throw CVFileError::FromErrno(errno, fileName.c_str());
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        int err = errno;
        ::close(fd);
        throw CVFileError::FromErrno(err, fileName.c_str());
    }
    if (S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw CVFileError::FromErrno(EISDIR, fileName.c_str());
    }
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (S_ISREG(info.st_mode) && info.st_size > 0) {
        void* mapped =
            ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped != MAP_FAILED) {
            ::madvise(mapped, static_cast<size_t>(info.st_size), MADV_SEQUENTIAL);
            mapping = mapped;
            mappingSize = static_cast<size_t>(info.st_size);
            data = static_cast<const unsigned char*>(mapped);
            size = mappingSize;
            return;
        }
    }
    // No mapping: read through a buffer of the system's allocation granularity.
    long granularity = ::sysconf(_SC_PAGESIZE);
    buffer.resize(granularity > 0 ? static_cast<size_t>(granularity) : 8192);
    data = buffer.data();
    size = 0;
}

HtmlSource::HtmlSource(const std::string& name, const void* bytes, size_t length)
    : name(name), data(static_cast<const unsigned char*>(bytes)), size(length) {}

HtmlSource::~HtmlSource() {
    if (mapping) {
        ::munmap(mapping, mappingSize);
    }
    if (fd >= 0) {
        ::close(fd);
    }
}

bool HtmlSource::Refill() {
    if (fd < 0 || mapping) {
        return false;
    }
    for (;;) {
        ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got > 0) {
            data = buffer.data();
            size = static_cast<size_t>(got);
            position = 0;
            return true;
        }
        if (got == 0) {
            return false;
        }
        if (errno != EINTR) {
            throw CVFileError::FromErrno(errno, name.c_str());
        }
    }
}

int HtmlSource::GetChar() {
    if (ungot) {
        ungot = false;
        ++consumed;
        return lastByte;
    }
    if (position >= size && !Refill()) {
        throw Eof();
    }
    lastByte = data[position++];
    ++consumed;
    return lastByte;
}

bool HtmlSource::StartsWithUtf16Mark() {
    if (position == 0 && size < 2 && !ungot) {
        // A pipe may deliver the first byte alone; the mark is two bytes.
        if (size == 0) {
            Refill();
        }
        if (size == 1 && fd >= 0 && !mapping) {
            unsigned char second = 0;
            if (::read(fd, &second, 1) == 1) {
                buffer[1] = second;
                size = 2;
            }
        }
    }
    if (position != 0 || size < 2) {
        return false;
    }
    return (data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF);
}

void HtmlSource::UngetChar() {
    if (lastByte >= 0 && !ungot) {
        ungot = true;
        --consumed;
    }
}

} // namespace pixmill
