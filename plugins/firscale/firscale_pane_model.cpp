#include "firscale_pane_model.h"

#include "resample.h"

#include <algorithm>
#include <cmath>

namespace pixmill::firscale {

namespace {

constexpr NumberRange kPercentRange = {1, 9999};
// The box the followed side is fitted into: unlimited within the pixel range.
constexpr int kUnlimited = 32767;

NumberRange PixelRange() {
    return RangeOf(*FindField(kResampleSchema, "width"));
}

int PercentOf(int pixels, int dimension) {
    return static_cast<int>(
        std::clamp<long long>(std::llround(pixels * 100.0 / dimension), 0, kPercentRange.maximum));
}

} // namespace

ResamplePaneModel::ResamplePaneModel(const ResampleSettings& settings)
    // Only the low 16 bits of the stored sizes are used.
    : width(PixelRange().ClampInt(static_cast<uint16_t>(settings.width))),
      height(PixelRange().ClampInt(static_cast<uint16_t>(settings.height))),
      keepAspect(settings.keepAspect != 0), highQuality(settings.filter != 0) {}

void ResamplePaneModel::SetImageSize(int newWidth, int newHeight) {
    imageWidth = std::max(newWidth, 0);
    imageHeight = std::max(newHeight, 0);
}

bool ResamplePaneModel::SetKeepAspect(bool keep) {
    const bool changed = keep != keepAspect;
    keepAspect = keep;
    return changed;
}

bool ResamplePaneModel::SetHighQuality(bool on) {
    const bool changed = on != highQuality;
    highQuality = on;
    return changed;
}

double ResamplePaneModel::Value(int field) const {
    switch (field) {
    case Width:
        return width;
    case Height:
        return height;
    case WidthPercent:
        return HasImage() ? PercentOf(width, imageWidth) : 0;
    case HeightPercent:
        return HasImage() ? PercentOf(height, imageHeight) : 0;
    }
    return 0;
}

NumberRange ResamplePaneModel::Range(int field) const {
    return field == Width || field == Height ? PixelRange() : kPercentRange;
}

bool ResamplePaneModel::Enabled(int field) const {
    return field == Width || field == Height || HasImage();
}

bool ResamplePaneModel::Set(int field, double value) {
    const bool isWidth = field == Width || field == WidthPercent;
    const bool percent = field == WidthPercent || field == HeightPercent;
    if (percent && !HasImage()) {
        return false;
    }
    const int before[2] = {width, height};
    int pixels = PixelRange().ClampInt(value);
    if (percent) {
        const int dimension = isWidth ? imageWidth : imageHeight;
        pixels = PixelRange().ClampInt(
            std::llround(dimension * static_cast<double>(kPercentRange.ClampInt(value)) * 0.01));
    }
    (isWidth ? width : height) = pixels;
    if (keepAspect && HasImage()) {
        if (isWidth) {
            height =
                PixelRange().ClampInt(FitTargetSize(imageWidth, imageHeight, width, kUnlimited).cy);
        } else {
            width = PixelRange().ClampInt(
                FitTargetSize(imageWidth, imageHeight, kUnlimited, height).cx);
        }
    }
    return width != before[0] || height != before[1];
}

void ResamplePaneModel::Store(ResampleSettings& settings) const {
    settings.width = width;
    settings.height = height;
    settings.keepAspect = keepAspect ? 1 : 0;
    settings.filter = highQuality ? 1 : 0;
}

} // namespace pixmill::firscale
