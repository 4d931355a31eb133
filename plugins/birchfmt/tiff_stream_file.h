// libtiff opened on a host stream through client procedures. libtiff's
// warnings and errors are caught per handle and never printed; the last
// error text is kept for diagnostics only. Exceptions of the stream never
// travel through libtiff's C frames: the procedures turn them into failures.
#pragma once

#include <tiffio.h>

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

namespace pixmill {
class CVStream;
}

namespace pixmill::birch {

class TiffStreamFile {
  public:
    TiffStreamFile() = default;
    TiffStreamFile(const TiffStreamFile&) = delete;
    TiffStreamFile& operator=(const TiffStreamFile&) = delete;
    // Frees the handle without writing anything more.
    ~TiffStreamFile();

    // Reads the header and the first directory; false when libtiff refuses.
    // inMemory: the whole file is read into memory first and handed to
    // libtiff as mapped contents (files up to kMaxMappedBytes), which tiled
    // files need: libtiff reads small uncompressed tiles only from mapped
    // contents.
    bool OpenForReading(CVStream* stream, bool inMemory = false);
    // Creates a new file on the stream; false when libtiff refuses.
    bool OpenForWriting(CVStream* stream);
    // Writes what is pending (the directory, when writing) and closes;
    // false when that failed.
    bool Close();

    TIFF* get() const { return tif; }
    const std::string& LastError() const { return lastError; }
    // The first error the stream threw while libtiff used it (a full disk,
    // say); libtiff itself only learns that the call failed.
    std::exception_ptr StreamError() const { return streamError; }

  private:
    bool Open(CVStream* stream, const char* mode);

    static tmsize_t ReadProc(thandle_t handle, void* buffer, tmsize_t size);
    static tmsize_t WriteProc(thandle_t handle, void* buffer, tmsize_t size);
    static toff_t SeekProc(thandle_t handle, toff_t offset, int whence);
    static int CloseProc(thandle_t handle);
    static toff_t SizeProc(thandle_t handle);
    static int MapProc(thandle_t handle, void** base, toff_t* size);
    static void UnmapProc(thandle_t handle, void* base, toff_t size);
    static int ErrorProc(TIFF* tif, void* user, const char* module, const char* format,
                         va_list args);
    static int WarningProc(TIFF* tif, void* user, const char* module, const char* format,
                           va_list args);

    CVStream* stream = nullptr;
    TIFF* tif = nullptr;
    bool reading = false;
    int64_t length = 0; // reading: the stream's length, seeks beyond it fail
    std::string lastError;
    std::exception_ptr streamError;
    std::vector<uint8_t> contents; // the whole file, when read into memory
};

inline constexpr int64_t kMaxMappedBytes = int64_t{1} << 30;

} // namespace pixmill::birch
