// The bytes of one HTML file. The whole file is mapped into memory; where no
// mapping can be made (pipes, special files) it is read through a buffer.
// A source can also be laid over bytes in memory that the caller keeps alive.
#pragma once

#include "html/html_error.h"

#include <cstddef>
#include <string>
#include <vector>

namespace pixmill {

class HtmlSource {
  public:
    // Opens an existing file for reading; throws CVFileError (with the
    // system error and the file name) when it cannot be opened.
    explicit HtmlSource(const std::string& fileName);
    // Reads from size bytes at data, which must outlive the source.
    HtmlSource(const std::string& name, const void* data, size_t size);
    HtmlSource(const HtmlSource&) = delete;
    HtmlSource& operator=(const HtmlSource&) = delete;
    virtual ~HtmlSource();

    // The next byte; throws Eof when the file is exhausted.
    virtual int GetChar();
    // Makes the next GetChar return the last byte again (one level only).
    virtual void UngetChar();
    // How many bytes have been read so far (a byte put back not counted):
    // the offset in the file of the next byte GetChar returns.
    size_t Offset() const { return consumed; }
    virtual const std::string& Name() const { return name; }
    // Before the first GetChar: whether the bytes begin with a UTF-16
    // byte-order mark (either byte order).
    bool StartsWithUtf16Mark();

    bool IsMapped() const { return mapping != nullptr; }

  private:
    bool Refill();

    std::string name;
    int fd = -1;
    void* mapping = nullptr;
    size_t mappingSize = 0;
    const unsigned char* data = nullptr; // mapped or caller's bytes
    size_t size = 0;
    size_t position = 0;
    // Buffered reading.
    std::vector<unsigned char> buffer;
    int lastByte = -1;
    bool ungot = false;
    size_t consumed = 0;
};

} // namespace pixmill
