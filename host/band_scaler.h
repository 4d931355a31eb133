// The band scaler: fills an image from bands of decoded source rows of a
// larger size, nearest pixel, with 16.16 fixed-point steps. Format codecs use
// it through the host for reduced previews.
#pragma once

#include "pixmill/win_types.h"

#include <cstddef>
#include <cstdint>

namespace pixmill {

class CVImage;

class BandScaler {
  public:
    void Begin(CVImage* image, SIZE sourceSize, bool bottomUp);
    void Lines(const RECT* band, const uint8_t* rows);

  private:
    CVImage* image = nullptr;
    SIZE source{};
    bool bottomUp = false;
    uint32_t stepX = 0;
    uint32_t stepY = 0;
    size_t sourceStride = 0;
};

} // namespace pixmill
