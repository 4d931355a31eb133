#include "pixmill/ink_colours.h"

#include <lcms2.h>

#include <cstring>

namespace pixmill {

bool IsCmykProfile(const uint8_t* icc, size_t size) {
    // The colour space signature sits at bytes 16..19 of the profile header.
    return icc != nullptr && size >= 128 && icc[16] == 'C' && icc[17] == 'M' && icc[18] == 'Y' &&
           icc[19] == 'K';
}

InkConverter::InkConverter(const uint8_t* profile, size_t profileSize, bool inverted,
                           int bitsPerSample)
    : inverted(inverted), sixteenBit(bitsPerSample == 16) {
    if (!IsCmykProfile(profile, profileSize)) {
        return;
    }
    cmsHPROFILE source =
        cmsOpenProfileFromMem(profile, static_cast<cmsUInt32Number>(profileSize));
    if (source == nullptr) {
        return;
    }
    cmsHPROFILE srgb = cmsCreate_sRGBProfile();
    if (cmsGetColorSpace(source) == cmsSigCmykData && srgb != nullptr) {
        // The _REV layouts read 255 - ink, the inverted storage.
        const cmsUInt32Number layout = sixteenBit ? (inverted ? TYPE_CMYK_16_REV : TYPE_CMYK_16)
                                                  : (inverted ? TYPE_CMYK_8_REV : TYPE_CMYK_8);
        transform = cmsCreateTransform(source, layout, srgb, TYPE_BGR_8, INTENT_PERCEPTUAL,
                                       cmsFLAGS_BLACKPOINTCOMPENSATION);
    }
    if (srgb != nullptr) {
        cmsCloseProfile(srgb);
    }
    cmsCloseProfile(source);
}

InkConverter::~InkConverter() {
    if (transform != nullptr) {
        cmsDeleteTransform(transform);
    }
}

void InkConverter::Row(const uint8_t* cmyk, uint8_t* bgr, int width) const {
    if (transform != nullptr) {
        cmsDoTransform(transform, cmyk, bgr, static_cast<cmsUInt32Number>(width));
        return;
    }
    const int step = sixteenBit ? 8 : 4;
    for (int x = 0; x < width; ++x, cmyk += step, bgr += 3) {
        // 16-bit samples by their high bytes.
        const auto ink = [&](int i) {
            if (!sixteenBit) {
                return int{cmyk[i]};
            }
            uint16_t value;
            std::memcpy(&value, cmyk + 2 * i, sizeof value);
            return value >> 8;
        };
        const int c = inverted ? ink(0) : 255 - ink(0);
        const int m = inverted ? ink(1) : 255 - ink(1);
        const int y = inverted ? ink(2) : 255 - ink(2);
        const int k = inverted ? ink(3) : 255 - ink(3);
        bgr[0] = static_cast<uint8_t>((y * k + 127) / 255);
        bgr[1] = static_cast<uint8_t>((m * k + 127) / 255);
        bgr[2] = static_cast<uint8_t>((c * k + 127) / 255);
    }
}

} // namespace pixmill
