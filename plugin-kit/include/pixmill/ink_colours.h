// Ink colours: a CMYK picture (a print-ready JPEG or TIFF) becomes the RGB
// the image record holds. Through the file's own CMYK profile when it has a
// usable one, as Little CMS converts it (perceptual intent with black-point
// compensation, to sRGB), so the picture shows the colours its profile means;
// else by the standard formula (each ink takes its share of white away).
// Either way the pixels are sRGB afterwards, so a reader never hands the
// CMYK profile on with them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace pixmill {

// Whether the ICC profile describes CMYK data (its colour space field).
bool IsCmykProfile(const uint8_t* icc, size_t size);

class InkConverter {
  public:
    // inverted: the file stores the inks as 255 - ink (JPEG files with an
    // Adobe marker, as common writers make them). profile may be null; a
    // profile that is not a usable CMYK one is not used. bitsPerSample: 8,
    // or 16 (samples in the machine's byte order).
    InkConverter(const uint8_t* profile, size_t profileSize, bool inverted,
                 int bitsPerSample = 8);
    ~InkConverter();
    InkConverter(const InkConverter&) = delete;
    InkConverter& operator=(const InkConverter&) = delete;

    // Whether the file's profile is used (else the standard formula).
    bool ThroughProfile() const { return transform != nullptr; }

    // width pixels of 4 ink samples each as blue, green, red (8 bits each).
    void Row(const uint8_t* cmyk, uint8_t* bgr, int width) const;

  private:
    void* transform = nullptr;
    bool inverted;
    bool sixteenBit;
};

} // namespace pixmill
