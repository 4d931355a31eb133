#include "pixmill/side_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pixmill {

const char* NonFileKind(unsigned mode) {
    if (S_ISREG(mode)) {
        return nullptr;
    }
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return "not a regular file";
}

CVFileError SideFileError(const std::string& path, const std::string& problem) {
    return CVFileError::Refused(path.c_str(), (path + ": " + problem).c_str());
}

void RefuseNulInPath(const std::string& path) {
    if (path.find('\0') == std::string::npos) {
        return;
    }
    std::string shown;
    for (const char c : path) {
        shown += c == '\0' ? std::string("\\0") : std::string(1, c);
    }
    throw SideFileError(shown, "the name holds a NUL byte (\"%00\" in a web address), which no "
                               "file name can hold; nothing was opened");
}

int OpenRegularFile(const std::string& path, const char* what) {
    RefuseNulInPath(path);
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        throw CVFileError::FromErrno(errno, path.c_str());
    }
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        const int error = errno;
        close(fd);
        throw CVFileError::FromErrno(error, path.c_str());
    }
    if (const char* kind = NonFileKind(info.st_mode)) {
        close(fd);
        throw SideFileError(path, std::string(what) + " must be a regular file, not " + kind);
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string ReadSideFile(const std::string& path, const char* what, size_t limit) {
    const int fd = OpenRegularFile(path, what);
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            close(fd);
            throw CVFileError::FromErrno(error, path.c_str());
        }
        if (n == 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > limit) {
            close(fd);
            throw SideFileError(path, std::string("larger than ") +
                                          std::to_string(limit >> 20) + " MB; " + what +
                                          " is a small text file");
        }
    }
    close(fd);
    // Texts hold tabs, line ends and form feeds; a NUL byte or many other
    // control bytes mean a binary file.
    const size_t controls = static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u < 0x20 && u != '\t' && u != '\n' && u != '\r' && u != '\f';
    }));
    if (text.find('\0') != std::string::npos || controls * 100 > text.size()) {
        throw SideFileError(path, std::string("a binary file, not text; ") + what +
                                      " is a text file");
    }
    return text;
}

} // namespace pixmill
