#include "host/atomic_file.h"

#include "host/temporary_files.h"
#include "pixmill/errors.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace pixmill {

bool IsReadOnlyFile(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && (info.st_mode & 0222) == 0;
}

AtomicFile::AtomicFile(const std::string& target) : target(target) {
    const size_t slash = target.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "" : target.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    // The temporary name must fit in one folder entry (255 bytes) wherever
    // the target's name does: long names give up their tail to the suffix.
    constexpr size_t kNameMax = 255;
    const std::string suffix = ".pixmill-XXXXXX";
    const std::string kept = name.substr(0, std::min(name.size(), kNameMax - 1 - suffix.size()));
    std::string pattern = dir + "." + kept + suffix;
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = mkstemp(buffer.data());
    if (fd < 0) {
        throw CVFileError::FromErrno(errno, target.c_str());
    }
    close(fd);
    temporary = buffer.data();
    registered = temporary_files::Register(temporary);
}

AtomicFile::~AtomicFile() {
    if (!temporary.empty()) {
        std::remove(temporary.c_str());
    }
    temporary_files::Unregister(registered);
}

void AtomicFile::Commit() {
    struct stat info;
    if (stat(target.c_str(), &info) == 0) {
        chmod(temporary.c_str(), info.st_mode & 07777);
        const int fd = open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || (fsync(fd) != 0 && errno != EINVAL)) {
            const int error = errno;
            if (fd >= 0) {
                close(fd);
            }
            throw CVFileError::FromErrno(error, target.c_str());
        }
        close(fd);
        flushed = true;
    } else {
        const mode_t mask = umask(0);
        umask(mask);
        chmod(temporary.c_str(), 0666 & ~mask);
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        throw CVFileError::FromErrno(errno, target.c_str());
    }
    temporary_files::Unregister(registered);
    registered = -1;
    temporary.clear();
}

} // namespace pixmill
