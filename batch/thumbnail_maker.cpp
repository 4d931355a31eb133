#include "batch/thumbnail_maker.h"

#include "host/plugin_manager.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/plugin_host.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace pixmill {

SmartCutGeometry SmartCut(int width, int height, const ThumbnailSettings& settings, SIZE fitted) {
    SmartCutGeometry cut;
    const int w = std::max(settings.width, 1), h = std::max(settings.height, 1);
    const int fw = std::max(fitted.cx, 1), fh = std::max(fitted.cy, 1);
    int partWidth, partHeight;
    if (fitted.cx != w) {
        cut.vertical = true;
        cut.labels[0] = "Top";
        cut.labels[1] = "Bottom";
        partWidth = width;
        partHeight = static_cast<int>(int64_t{fw} * height / w);
        cut.range = static_cast<int>(int64_t{w} * fh / fw - fh);
    } else {
        cut.labels[0] = "Left";
        cut.labels[1] = "Right";
        partHeight = height;
        partWidth = static_cast<int>(int64_t{fh} * width / h);
        cut.range = static_cast<int>(int64_t{h} * fw / fh - fw);
    }
    // 64-bit products: a 65535-pixel side times a large range stays exact.
    partWidth = std::clamp(partWidth, 1, std::max(width, 1));
    partHeight = std::clamp(partHeight, 1, std::max(height, 1));
    cut.position = static_cast<int>(int64_t{settings.cutPosition} * cut.range / 100);
    const int full = cut.vertical ? height : width;
    const int part = cut.vertical ? partHeight : partWidth;
    const int offset =
        cut.range == 0 ? 0 : static_cast<int>(int64_t{full - part} * cut.position / cut.range);
    cut.part = cut.vertical ? RECT{0, offset, partWidth, offset + partHeight}
                            : RECT{offset, 0, offset + partWidth, partHeight};
    return cut;
}

int CutPositionOf(int sliderPosition, int range) {
    return range == 0 ? 0 : static_cast<int>(int64_t{sliderPosition} * 100 / range);
}

SIZE SmartCutPreviewSize(CPluginHost& host, int width, int height,
                         const ThumbnailSettings& settings) {
    const int w = std::max(settings.width, 1), h = std::max(settings.height, 1);
    if (height > 0 && width * 100 / height > w * 100 / h) {
        return host.FitSize(width, height, 32000, h);
    }
    return host.FitSize(width, height, w, 32000);
}

ThumbnailMaker::ThumbnailMaker(PluginManager& plugins, const ThumbnailSettings& settings)
    : plugins(plugins), settings(settings) {}

bool ThumbnailMaker::Make(const CVImage& image, CVImage& thumbnail, CVProgress* progress) const {
    const int w = settings.width, h = settings.height;
    // The box comes from settings a profile may carry: the thumbnail obeys
    // the pixel limit like every picture read.
    const SIZE size = settings.fitToSize ? SIZE{w, h}
                                         : image.host->FitSize(image.Width(), image.Height(), w, h);
    const uint64_t limit = image.host->MaxImagePixels();
    if (size.cx > 0 && size.cy > 0 && uint64_t(size.cx) * uint64_t(size.cy) > limit) {
        char detail[160];
        std::snprintf(detail, sizeof detail,
                      "a thumbnail of %d x %d pixels is more than the limit of %llu pixels",
                      static_cast<int>(size.cx), static_cast<int>(size.cy),
                      static_cast<unsigned long long>(limit));
        image.host->RaiseImageErrorDetail(CVImageError::DimensionsTooLarge, detail);
    }
    if (!settings.fitToSize) {
        return plugins.CallResampleImage(&image, &thumbnail, progress, w, h, 1, 0) != 0;
    }
    if (!settings.smartCut) {
        return plugins.CallResampleImage(&image, &thumbnail, progress, w, h, 0, 0) != 0;
    }
    const SIZE fitted = image.host->FitSize(image.Width(), image.Height(), w, h);
    const SmartCutGeometry cut = SmartCut(image.Width(), image.Height(), settings, fitted);
    CVImage part(image.host);
    CVImage::CopyImage(&part, &image, &cut.part);
    return plugins.CallResampleImage(&part, &thumbnail, progress, w, h, 0, 0) != 0;
}

} // namespace pixmill
