// The error family shared by the program and every plug-in. Errors are thrown
// by value and caught as CQorelError&; they cross library boundaries, so the
// classes have default visibility in every library that carries them.
#pragma once

#include "pixmill/win_types.h"

#include <cstddef>
#include <string>

namespace pixmill {

class PIXMILL_EXPORT CQorelError {
  public:
    static constexpr size_t kMessageSize = 1024;

    CQorelError();
    explicit CQorelError(const char* message);
    virtual ~CQorelError();

    // Returns the message; with show = true a derived class first shows it
    // through the user-interface service under its caption.
    virtual const char* Report(bool show);

    const char* Message() const { return message; }
    virtual const char* Caption() const { return ""; }

  protected:
    void SetMessage(const char* text);
    const char* ShowAndReturn(bool show);

    char message[kMessageSize];
};

class PIXMILL_EXPORT CVImageError : public CQorelError {
  public:
    enum Code {
        WriteError = 0,
        ReadError = 1,
        MismatchedFormat = 2,
        UnsupportedFormat = 3,
        OutOfMemory = 4,
        OpenError = 5,
        DimensionsTooLarge = 6,
        UserBreak = 7,
    };
    explicit CVImageError(int code);
    // The code's message followed by ": " and detail (what exactly is wrong).
    CVImageError(int code, const char* detail);
    ~CVImageError() override;
    const char* Report(bool show) override;
    const char* Caption() const override { return "Image error"; }
    int Code() const { return code; }
    // The message of an image error code (codes outside 0..7 give "").
    static const char* MessageOf(int code);

  private:
    int code;
};

class PIXMILL_EXPORT CVMemoryError : public CQorelError {
  public:
    static CVMemoryError Allocation(size_t size);
    static CVMemoryError Reallocation(const void* block, size_t size);
    static CVMemoryError CantShare(const void* block);
    ~CVMemoryError() override;
    const char* Report(bool show) override;
    const char* Caption() const override { return "Memory Error"; }

  private:
    CVMemoryError() = default;
};

class PIXMILL_EXPORT CVFileError : public CQorelError {
  public:
    // code is a Windows error code of the message table (183, 2, 3, 4, 5, 15,
    // 19, 25, 29, 30, 32, 33, 38, 39, 206); FromErrno maps a POSIX errno onto it.
    CVFileError(int code, const char* fileName);
    ~CVFileError() override;
    static CVFileError FromErrno(int err, const char* fileName);
    // A file refused for what it is (code 0): message says why, in full.
    static CVFileError Refused(const char* fileName, const char* message);
    static int WindowsCodeOf(int err);
    const char* Report(bool show) override;
    const char* Caption() const override { return "File error"; }
    int Code() const { return code; }
    const std::string& FileName() const { return fileName; }

  private:
    int code;
    std::string fileName;
};

} // namespace pixmill
