#include "tiff_stream_file.h"

#include "pixmill/stream.h"

#include <cstdarg>
#include <cstdio>

namespace pixmill::birch {

namespace {
// libtiff never needs a single allocation this large for a picture this
// program accepts (65535 x 65535); corrupt tags asking for more are refused.
constexpr tmsize_t kMaxSingleAllocation = tmsize_t{1} << 31;
constexpr toff_t kSeekFailed = static_cast<toff_t>(-1);
} // namespace

TiffStreamFile::~TiffStreamFile() {
    if (tif != nullptr) {
        TIFFCleanup(tif);
    }
}

bool TiffStreamFile::OpenForReading(CVStream* input, bool inMemory) {
    reading = true;
    contents.clear();
    try {
        length = input->Seek(0, CVStream::FromEnd);
        input->Seek(0, CVStream::FromStart); // offsets in the file count from its start
        if (inMemory && length > 0 && length <= kMaxMappedBytes) {
            contents.resize(static_cast<size_t>(length));
            for (size_t got = 0, n; got < contents.size(); got += n) {
                n = input->Read(contents.data() + got, contents.size() - got);
                if (n == 0) {
                    return false;
                }
            }
            input->Seek(0, CVStream::FromStart);
        }
    } catch (...) {
        return false;
    }
    return Open(input, "r");
}

bool TiffStreamFile::OpenForWriting(CVStream* output) {
    reading = false;
    return Open(output, "w");
}

bool TiffStreamFile::Open(CVStream* target, const char* mode) {
    stream = target;
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (options == nullptr) {
        return false;
    }
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kMaxSingleAllocation);
    TIFFOpenOptionsSetErrorHandlerExtR(options, &TiffStreamFile::ErrorProc, this);
    TIFFOpenOptionsSetWarningHandlerExtR(options, &TiffStreamFile::WarningProc, this);
    tif = TIFFClientOpenExt("stream", mode, static_cast<thandle_t>(this), &ReadProc, &WriteProc,
                            &SeekProc, &CloseProc, &SizeProc, &MapProc, &UnmapProc, options);
    TIFFOpenOptionsFree(options);
    return tif != nullptr;
}

bool TiffStreamFile::Close() {
    if (tif == nullptr) {
        return true;
    }
    const bool flushed = reading || TIFFFlush(tif) != 0;
    TIFFCleanup(tif);
    tif = nullptr;
    return flushed;
}

tmsize_t TiffStreamFile::ReadProc(thandle_t handle, void* buffer, tmsize_t size) {
    auto* self = static_cast<TiffStreamFile*>(handle);
    if (size < 0) {
        return -1;
    }
    try {
        return static_cast<tmsize_t>(self->stream->Read(buffer, static_cast<size_t>(size)));
    } catch (...) {
        return -1;
    }
}

tmsize_t TiffStreamFile::WriteProc(thandle_t handle, void* buffer, tmsize_t size) {
    auto* self = static_cast<TiffStreamFile*>(handle);
    if (self->reading || size < 0) {
        return -1;
    }
    try {
        return static_cast<tmsize_t>(self->stream->Write(buffer, static_cast<size_t>(size)));
    } catch (...) {
        if (!self->streamError) {
            self->streamError = std::current_exception();
        }
        return -1;
    }
}

toff_t TiffStreamFile::SeekProc(thandle_t handle, toff_t offset, int whence) {
    auto* self = static_cast<TiffStreamFile*>(handle);
    const auto signedOffset = static_cast<int64_t>(offset);
    try {
        if (self->reading) {
            // Nothing can be read beyond the end; refusing such seeks also
            // keeps a corrupt offset from growing a memory stream.
            int64_t base = 0;
            if (whence == SEEK_CUR) {
                base = self->stream->Seek(0, CVStream::FromCurrent);
            } else if (whence == SEEK_END) {
                base = self->length;
            }
            const int64_t target = base + signedOffset;
            if (target < 0 || target > self->length) {
                return kSeekFailed;
            }
            return static_cast<toff_t>(self->stream->Seek(target, CVStream::FromStart));
        }
        const int origin = whence == SEEK_CUR   ? CVStream::FromCurrent
                           : whence == SEEK_END ? CVStream::FromEnd
                                                : CVStream::FromStart;
        return static_cast<toff_t>(self->stream->Seek(signedOffset, origin));
    } catch (...) {
        return kSeekFailed;
    }
}

int TiffStreamFile::CloseProc(thandle_t) {
    return 0;
}

toff_t TiffStreamFile::SizeProc(thandle_t handle) {
    auto* self = static_cast<TiffStreamFile*>(handle);
    if (self->reading) {
        return static_cast<toff_t>(self->length);
    }
    try {
        const int64_t position = self->stream->Seek(0, CVStream::FromCurrent);
        const int64_t end = self->stream->Seek(0, CVStream::FromEnd);
        self->stream->Seek(position, CVStream::FromStart);
        return static_cast<toff_t>(end);
    } catch (...) {
        return 0;
    }
}

int TiffStreamFile::MapProc(thandle_t handle, void** base, toff_t* size) {
    auto* self = static_cast<TiffStreamFile*>(handle);
    if (self->contents.empty()) {
        return 0;
    }
    *base = self->contents.data();
    *size = static_cast<toff_t>(self->contents.size());
    return 1;
}

void TiffStreamFile::UnmapProc(thandle_t, void*, toff_t) {}

int TiffStreamFile::ErrorProc(TIFF*, void* user, const char* module, const char* format,
                              va_list args) {
    auto* self = static_cast<TiffStreamFile*>(user);
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    self->lastError = std::string(module != nullptr ? module : "") + ": " + text;
    return 1; // handled: nothing else sees it
}

int TiffStreamFile::WarningProc(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

} // namespace pixmill::birch
