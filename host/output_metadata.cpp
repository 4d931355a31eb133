#include "host/output_metadata.h"

#include "host/color_management.h"
#include "pixmill/cv_image.h"
#include "pixmill/format_plugin.h"

#include <cstring>

namespace pixmill {

bool FormatHoldsProfile(CFormatPlugin* format) {
    if (format == nullptr) {
        return false;
    }
    const char* extensions = format->GetExtensions();
    for (const char* holder : {"*.jpg", "*.png", "*.tif", "*.webp", "*.avif"}) {
        if (extensions != nullptr && std::strstr(extensions, holder) != nullptr) {
            return true;
        }
    }
    return false;
}

ImageMetadata MetadataForOutput(CVImage& picture, const ImageMetadata& metadata,
                                CFormatPlugin* format, const OutputMetadataPolicy& policy) {
    ImageMetadata written = metadata;
    if (!metadata.icc.empty() &&
        (policy.strip || policy.toSrgb || !FormatHoldsProfile(format))) {
        CVImage copy(picture.host);
        const RECT whole{0, 0, picture.Width(), picture.Height()};
        CVImage::CopyImage(&copy, &picture, &whole);
        if (ConvertToSrgb(copy, metadata.icc)) {
            CVImage::CopyImage(&picture, &copy, nullptr);
            // Untagged pixels are taken for sRGB everywhere, so the sRGB
            // profile itself is left out rather than written.
            written.icc.clear();
        }
    }
    if (policy.strip) {
        written.Clear();
    }
    RemovePrivateMetadata(written, policy.privacy);
    return written;
}

} // namespace pixmill
