// Files a run reads beside its pictures — batch and gallery profiles, page
// templates, header and footer files — and the guard every file opened for
// reading passes. Only regular files are read: a FIFO would wait for a writer
// for ever, a device such as /dev/zero never ends, a folder has no bytes. Side
// files are small texts, so they also have a size limit and may hold no NUL
// byte. Every refusal is a CVFileError whose message names the file and says
// what is wrong with it.
#pragma once

#include "pixmill/errors.h"

#include <cstddef>
#include <string>

namespace pixmill {

// Large enough for any profile or page a person writes.
inline constexpr size_t kSideFileLimit = 16u << 20;

// What a path is when it is not a regular file: "a folder", "a FIFO", "a
// socket", "a device"; nullptr for a regular file.
const char* NonFileKind(unsigned mode);

// Throws a CVFileError when path holds a NUL byte (a page's "%00", a
// profile's binary junk): the system would open the name cut at that byte,
// a different file from the one named.
void RefuseNulInPath(const std::string& path);

// Opens path for reading without waiting on a FIFO and returns the
// descriptor (blocking reads, close on exec). Throws CVFileError when it
// cannot be opened or is not a regular file; what names the file's role in
// the message ("the batch profile").
int OpenRegularFile(const std::string& path, const char* what);

// The whole text of a side file, refused when it is not a regular file, is
// larger than limit or holds a NUL byte (a binary file).
std::string ReadSideFile(const std::string& path, const char* what,
                         size_t limit = kSideFileLimit);

// A file refused for what it is rather than for a system error.
CVFileError SideFileError(const std::string& path, const std::string& problem);

} // namespace pixmill
