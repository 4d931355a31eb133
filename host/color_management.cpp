#include "host/color_management.h"

#include "host/image_metadata.h"
#include "pixmill/cv_image.h"

#include <lcms2.h>

#include <memory>

namespace pixmill {

namespace {

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

struct TransformDeleter {
    void operator()(void* transform) const { cmsDeleteTransform(transform); }
};
using Transform = std::unique_ptr<void, TransformDeleter>;

Profile Open(const std::vector<uint8_t>& icc) {
    if (icc.empty()) {
        return Profile(cmsCreate_sRGBProfile());
    }
    return Profile(cmsOpenProfileFromMem(icc.data(), static_cast<cmsUInt32Number>(icc.size())));
}

// One transform from a profile to another for pixels of the given layout,
// kept for the next picture with the same profiles (a batch or a folder of
// photographs from one camera); one per thread.
class TransformCache {
  public:
    cmsHTRANSFORM Get(const std::vector<uint8_t>& from, const std::vector<uint8_t>& to,
                      cmsUInt32Number layout) {
        if (transform && from == lastFrom && to == lastTo && layout == lastLayout) {
            return transform.get();
        }
        transform.reset();
        lastFrom = from;
        lastTo = to;
        lastLayout = layout;
        const Profile source = Open(from), target = Open(to);
        if (!source || !target) {
            return nullptr;
        }
        const cmsColorSpaceSignature space = cmsGetColorSpace(source.get());
        const bool grey = space == cmsSigGrayData;
        if ((space != cmsSigRgbData && !grey) || cmsGetColorSpace(target.get()) != cmsSigRgbData) {
            return nullptr;
        }
        const cmsUInt32Number in = grey ? TYPE_GRAY_8 : layout;
        transform.reset(cmsCreateTransform(source.get(), in, target.get(), layout,
                                           INTENT_PERCEPTUAL,
                                           cmsFLAGS_BLACKPOINTCOMPENSATION | cmsFLAGS_NOCACHE |
                                               cmsFLAGS_COPY_ALPHA));
        greyInput = grey;
        return transform.get();
    }
    bool GreyInput() const { return greyInput; }

  private:
    Transform transform;
    std::vector<uint8_t> lastFrom, lastTo;
    cmsUInt32Number lastLayout = 0;
    bool greyInput = false;
};

thread_local TransformCache cache;

// The 24- or 32-bit rows, or the palette (blue, green, red, reserved
// entries), through the transform. Alpha is copied by the transform
// (cmsFLAGS_COPY_ALPHA); a grey profile's input is the green samples, and
// alpha is taken back after.
bool Run(CVImage& image, cmsHTRANSFORM transform, bool greyInput) {
    if (image.BitCount() == 24 || image.HasAlphaPlane()) {
        const size_t bytes = image.HasAlphaPlane() ? 4 : 3;
        const int width = image.Width();
        std::vector<uint8_t> grey(greyInput ? static_cast<size_t>(width) : 0);
        std::vector<uint8_t> alpha(greyInput && bytes == 4 ? static_cast<size_t>(width) : 0);
        for (int y = 0; y < image.Height(); ++y) {
            uint8_t* row = image.Row(y);
            if (greyInput) {
                for (size_t x = 0; x < grey.size(); ++x) {
                    grey[x] = row[bytes * x + 1];
                }
                for (size_t x = 0; x < alpha.size(); ++x) {
                    alpha[x] = row[bytes * x + 3];
                }
                cmsDoTransform(transform, grey.data(), row, static_cast<cmsUInt32Number>(width));
                for (size_t x = 0; x < alpha.size(); ++x) {
                    row[bytes * x + 3] = alpha[x];
                }
            } else {
                cmsDoTransform(transform, row, row, static_cast<cmsUInt32Number>(width));
            }
        }
        return true;
    }
    const int count = image.paletteCount > 0 ? image.paletteCount : 1 << image.BitCount();
    uint8_t colours[256 * 4] = {};
    uint8_t grey[256] = {};
    for (int i = 0; i < count; ++i) {
        const RGBQUAD& entry = image.palette[i];
        colours[4 * i] = entry.rgbBlue;
        colours[4 * i + 1] = entry.rgbGreen;
        colours[4 * i + 2] = entry.rgbRed;
        colours[4 * i + 3] = 0;
        grey[i] = entry.rgbGreen;
    }
    cmsDoTransform(transform, greyInput ? grey : colours, colours,
                   static_cast<cmsUInt32Number>(count));
    for (int i = 0; i < count; ++i) {
        RGBQUAD& entry = image.palette[i];
        entry.rgbBlue = colours[4 * i];
        entry.rgbGreen = colours[4 * i + 1];
        entry.rgbRed = colours[4 * i + 2];
    }
    return true;
}

bool Convert(CVImage& image, const std::vector<uint8_t>& from, const std::vector<uint8_t>& to) {
    const int bits = image.BitCount();
    if (image.bits == nullptr ||
        (bits != kAlphaBitCount && bits != 24 && bits != 8 && bits != 4 && bits != 1)) {
        return false;
    }
    // Palette entries are four bytes: blue, green, red and a spare one; a
    // picture with an alpha plane the same with its alpha.
    const cmsUInt32Number layout = bits == 24 ? TYPE_BGR_8 : TYPE_BGRA_8;
    cmsHTRANSFORM transform = cache.Get(from, to, layout);
    return transform != nullptr && Run(image, transform, cache.GreyInput());
}

} // namespace

bool ConvertToSrgb(CVImage& image, const std::vector<uint8_t>& icc) {
    return !icc.empty() && Convert(image, icc, {});
}

void ConvertMetadataToSrgb(CVImage& image, ImageMetadata& metadata) {
    if (ConvertToSrgb(image, metadata.icc)) {
        metadata.icc.clear();
    }
}

bool ConvertBetween(CVImage& image, const std::vector<uint8_t>& from,
                    const std::vector<uint8_t>& to) {
    return Convert(image, from, to);
}

std::string ProfileDescription(const std::vector<uint8_t>& icc) {
    if (icc.empty()) {
        return {};
    }
    const Profile profile = Open(icc);
    if (!profile) {
        return {};
    }
    char text[256] = {};
    cmsGetProfileInfoASCII(profile.get(), cmsInfoDescription, "en", "US", text, sizeof text);
    return text;
}

} // namespace pixmill
