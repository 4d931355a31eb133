#include "picture_zip.h"

#include "page_names.h"

#include <zlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pixmill::pagesmith {

namespace {

constexpr uint16_t kVersionNeeded = 10; // stored entries need nothing newer
constexpr uint16_t kUtf8Names = 1u << 11;

void Put16(std::string& out, uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t value) {
    Put16(out, value & 0xFFFF);
    Put16(out, value >> 16);
}

// One entry as the central directory needs it.
struct Entry {
    std::string name;
    uint32_t crc = 0, size = 0, offset = 0;
    uint16_t time = 0, date = 0;
};

// The file's modification time as the zip's local date and time (two-second
// steps, 1980 at the earliest).
void DosTime(time_t when, Entry& entry) {
    std::tm local{};
    localtime_r(&when, &local);
    if (local.tm_year < 80) {
        entry.date = (1 << 5) | 1; // 1980-01-01
        entry.time = 0;
        return;
    }
    entry.date = static_cast<uint16_t>(((local.tm_year - 80) << 9) | ((local.tm_mon + 1) << 5) |
                                       local.tm_mday);
    entry.time = static_cast<uint16_t>((local.tm_hour << 11) | (local.tm_min << 5) |
                                       (local.tm_sec / 2));
}

std::string Header(uint32_t signature, const Entry& entry, bool central) {
    std::string out;
    Put32(out, signature);
    if (central) {
        Put16(out, (3u << 8) | 20); // made on Unix, by a writer of version 2.0
    }
    Put16(out, kVersionNeeded);
    Put16(out, kUtf8Names);
    Put16(out, 0); // stored
    Put16(out, entry.time);
    Put16(out, entry.date);
    Put32(out, entry.crc);
    Put32(out, entry.size); // compressed size: the same when stored
    Put32(out, entry.size);
    Put16(out, static_cast<uint32_t>(entry.name.size()));
    Put16(out, 0); // no extra field
    if (central) {
        Put16(out, 0); // no comment
        Put16(out, 0); // disk 0
        Put16(out, 0); // internal attributes
        Put32(out, 0100644u << 16); // a regular file, rw-r--r--
        Put32(out, entry.offset);
    }
    return out + entry.name;
}

// Writes the archive into the open descriptor; "" or what went wrong.
class ZipWriter {
  public:
    explicit ZipWriter(int fd) : fd(fd) {}

    std::string Add(const std::string& path) {
        const int in = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (in < 0 || fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
            const std::string error = path + ": " + std::strerror(errno ? errno : EINVAL);
            if (in >= 0) {
                close(in);
            }
            return "cannot read " + error;
        }
        std::string error = AddOpen(in, path, info);
        close(in);
        return error;
    }

    std::string Finish() {
        const uint64_t start = written;
        for (const Entry& entry : entries) {
            if (std::string error = Write(Header(0x02014b50, entry, true)); !error.empty()) {
                return error;
            }
        }
        if (written > kZipLimit) {
            return TooLarge();
        }
        std::string end;
        Put32(end, 0x06054b50);
        Put16(end, 0); // this disk
        Put16(end, 0); // the directory's disk
        Put16(end, static_cast<uint32_t>(entries.size()));
        Put16(end, static_cast<uint32_t>(entries.size()));
        Put32(end, static_cast<uint32_t>(written - start));
        Put32(end, static_cast<uint32_t>(start));
        Put16(end, 0); // no comment
        return Write(end);
    }

    uint64_t Written() const { return written; }

  private:
    std::string AddOpen(int in, const std::string& path, const struct stat& info) {
        if (entries.size() >= kZipEntryLimit) {
            return "the zip of the pictures would hold more than " +
                   std::to_string(kZipEntryLimit) + " pictures; it is not written";
        }
        // Refused before a byte of a picture too large is read.
        const uint64_t stated = static_cast<uint64_t>(info.st_size);
        if (stated > kZipLimit || written + 30 + FileNameOf(path).size() + stated > kZipLimit) {
            return TooLarge();
        }
        // The size and CRC-32 go before the bytes: one pass reads them, the
        // second copies (the file is in the page cache by then).
        Entry entry;
        entry.name = FileNameOf(path);
        DosTime(info.st_mtime, entry);
        uint64_t size = 0;
        uLong crc = crc32(0, nullptr, 0);
        std::string error = Read(in, path, [&](const char* data, size_t count) {
            crc = crc32(crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(count));
            size += count;
            return std::string();
        });
        if (!error.empty()) {
            return error;
        }
        if (size > kZipLimit || written + 30 + entry.name.size() + size > kZipLimit) {
            return TooLarge();
        }
        entry.crc = static_cast<uint32_t>(crc);
        entry.size = static_cast<uint32_t>(size);
        entry.offset = static_cast<uint32_t>(written);
        if (error = Write(Header(0x04034b50, entry, false)); !error.empty()) {
            return error;
        }
        if (lseek(in, 0, SEEK_SET) != 0) {
            return "cannot read " + path + ": " + std::strerror(errno);
        }
        uint64_t copied = 0;
        error = Read(in, path, [&](const char* data, size_t count) {
            copied += count;
            return Write(std::string_view(data, count));
        });
        if (!error.empty()) {
            return error;
        }
        if (copied != size) {
            return path + " changed while the zip of the pictures was written";
        }
        entries.push_back(std::move(entry));
        return {};
    }

    template <class Take> std::string Read(int in, const std::string& path, Take take) {
        std::vector<char> buffer(1 << 20);
        for (;;) {
            const ssize_t count = read(in, buffer.data(), buffer.size());
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0) {
                return "cannot read " + path + ": " + std::strerror(errno);
            }
            if (count == 0) {
                return {};
            }
            if (std::string error = take(buffer.data(), static_cast<size_t>(count));
                !error.empty()) {
                return error;
            }
        }
    }

    std::string Write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t count = write(fd, bytes.data(), bytes.size());
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count <= 0) {
                return std::string("cannot write the zip of the pictures: ") +
                       std::strerror(count < 0 ? errno : ENOSPC);
            }
            bytes.remove_prefix(static_cast<size_t>(count));
            written += static_cast<uint64_t>(count);
        }
        return {};
    }

    static std::string TooLarge() {
        return "the zip of the pictures would pass 4 GiB; it is not written (choose smaller "
               "pictures or fewer of them)";
    }

    int fd;
    uint64_t written = 0;
    std::vector<Entry> entries;
};

} // namespace

std::string PictureDownload::LinkText() const {
    char size[32];
    if (bytes >= 1000 * 1000) {
        std::snprintf(size, sizeof size, "%.1f MB", static_cast<double>(bytes) / 1e6);
    } else {
        std::snprintf(size, sizeof size, "%llu kB",
                      static_cast<unsigned long long>((bytes + 999) / 1000));
    }
    return std::string("Download all pictures (ZIP, ") + size + ")";
}

std::string WritePictureZip(const std::string& target, const std::vector<std::string>& files) {
    // The temporary file lies beside the target, so the rename is atomic.
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string temporary = folder + "." + FileNameOf(target) + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        return "cannot write " + target + ": " + std::strerror(errno);
    }
    ZipWriter zip(fd);
    std::string error;
    for (const std::string& file : files) {
        if (error = zip.Add(file); !error.empty()) {
            break;
        }
    }
    if (error.empty()) {
        error = zip.Finish();
    }
    // Readable by the web server like the pictures (mkostemp makes it private).
    if (error.empty() && fchmod(fd, 0644) != 0) {
        error = "cannot write " + target + ": " + std::strerror(errno);
    }
    if (close(fd) != 0 && error.empty()) {
        error = "cannot write " + target + ": " + std::strerror(errno);
    }
    if (error.empty() && std::rename(temporary.c_str(), target.c_str()) != 0) {
        error = "cannot write " + target + ": " + std::strerror(errno);
    }
    if (!error.empty()) {
        unlink(temporary.c_str());
    }
    return error;
}

} // namespace pixmill::pagesmith
