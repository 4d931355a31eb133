// A file written under a temporary name in its target's folder and renamed
// over the target only when complete, so that a failed or interrupted write
// never leaves a half-written file in place of a good one.
#pragma once

#include <string>

namespace pixmill {

// Whether path is a regular file nobody may write: replacing it by a rename
// would go through silently, so callers ask first.
bool IsReadOnlyFile(const std::string& path);

class AtomicFile {
  public:
    // Creates the temporary file; throws CVFileError when the folder does not
    // take it.
    explicit AtomicFile(const std::string& target);
    // Removes the temporary file unless it was committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    const std::string& Temporary() const { return temporary; }
    const std::string& Target() const { return target; }
    // Renames the temporary file over the target (keeping an existing file's
    // permissions); throws CVFileError when that fails. When a file is
    // replaced, the new one is flushed to the disk first, so that a crash
    // leaves the old file or the whole new one; a new name has nothing to
    // lose and is not flushed (batch runs write thousands).
    void Commit();
    // Whether Commit flushed the file to the disk.
    bool Flushed() const { return flushed; }

  private:
    std::string target;
    std::string temporary;
    int registered = -1; // slot in the temporary files' table
    bool flushed = false;
};

} // namespace pixmill
