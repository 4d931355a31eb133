// CVStream: the byte stream the host hands to codecs (file or memory).
#pragma once

#include "pixmill/win_types.h"

#include <cstddef>
#include <cstdint>

namespace pixmill {

class PIXMILL_EXPORT CVStream {
  public:
    enum Origin { FromStart = 0, FromCurrent = 1, FromEnd = 2 };

    virtual ~CVStream();                                        // slot 0
    virtual size_t Read(void* buffer, size_t count) = 0;        // slot 1: bytes read
    virtual size_t Write(const void* buffer, size_t count) = 0; // slot 2: bytes written
    virtual int64_t Seek(int64_t offset, int origin) = 0;       // slot 3: new position
};

} // namespace pixmill
