#include "cli/info_command.h"

#include "cli/json_text.h"

#include "host/color_management.h"
#include "host/host_services.h"
#include "host/image_io.h"
#include "host/image_metadata.h"
#include "host/private_metadata.h"
#include "host/streams.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"

#include <cmath>
#include <cstdio>
#include <sys/stat.h>

namespace pixmill::cli {

namespace {

struct ImageInfo {
    std::string file, format, error;
    int width = 0, height = 0, bits = 0, palette = 0;
    bool transparent = false;
    bool alphaChannel = false; // partly transparent pixels: an alpha channel convert keeps
    RGBQUAD transparentColor{};
    int dpiX = 0, dpiY = 0;
    long long fileSize = 0;
    size_t iccBytes = 0, exifBytes = 0; // metadata the header carries
    std::string iccDescription;          // what the profile calls itself
    int orientation = 0;                 // EXIF orientation (0: none)
    bool turned = false;                 // the picture opens turned upright
    bool location = false;               // the EXIF holds a GPS position
};

ImageInfo ReadInfo(HostServices& host, PluginManager& plugins, const std::string& file) {
    ImageInfo info;
    info.file = file;
    try {
        FileStream stream(file, FileStream::ForReading);
        CVImage image(&host);
        ImageMetadata metadata;
        CFormatPlugin* format = nullptr;
        // The size the picture opens at (upright, unless --no-auto-orient).
        const SIZE size = ReadHeaderByContent(plugins, stream, image, nullptr, &format, &metadata);
        info.format = format->GetName(false);
        info.width = size.cx;
        info.height = size.cy;
        info.orientation = ExifOrientation(metadata.exif);
        info.turned = host.AutoOrient() && info.orientation >= 2 && info.orientation <= 8;
        info.iccDescription = ProfileDescription(metadata.icc);
        info.location = ExifHasLocation(metadata.exif);
        info.bits = image.BitCount();
        info.palette = image.paletteCount;
        info.transparent = image.hasTransparentColor != 0;
        info.transparentColor = image.transparentColor;
        info.iccBytes = metadata.icc.size();
        info.exifBytes = metadata.exif.size();
        info.dpiX = static_cast<int>(std::lround(image.header.biXPelsPerMeter / 39.37007874015748));
        info.dpiY = static_cast<int>(std::lround(image.header.biYPelsPerMeter / 39.37007874015748));
        if (info.transparent || (info.bits <= 8 && !image.IsGrayRamp())) {
            // Only the pixels tell partly transparent pixels (an alpha
            // channel) from a transparent colour; a palette may hold partly
            // transparent entries without a fully transparent one.
            stream.Seek(0, CVStream::FromStart);
            CVImage pixels(&host);
            try {
                const KeepAlphaScope keepAlpha(host);
                ReadImageWith(format, stream, pixels, nullptr, nullptr, "");
            } catch (CQorelError&) {
                // The header said what it could; a damaged body is for convert to report.
            }
            info.alphaChannel = pixels.HasAlphaPlane();
        }
        struct stat st {};
        if (stat(file.c_str(), &st) == 0) {
            info.fileSize = st.st_size;
        }
    } catch (CQorelError& error) {
        info.error = error.Report(false);
    }
    return info;
}

std::string ColorText(const RGBQUAD& c) {
    char text[16];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", c.rgbRed, c.rgbGreen, c.rgbBlue);
    return text;
}

std::string TransparencyText(const ImageInfo& info) {
    if (info.alphaChannel) {
        return "alpha channel (partly transparent pixels; " + ColorText(info.transparentColor) +
               " where flattened)";
    }
    return info.transparent ? ColorText(info.transparentColor) : "none";
}

std::string BytesOrNone(size_t bytes) {
    return bytes == 0 ? std::string("none") : std::to_string(bytes) + " bytes";
}

std::string ProfileText(const ImageInfo& info) {
    std::string text = BytesOrNone(info.iccBytes);
    if (!info.iccDescription.empty()) {
        text += " (" + info.iccDescription + ")";
    }
    return text;
}

std::string OrientationText(const ImageInfo& info) {
    if (info.orientation == 0) {
        return "none";
    }
    std::string text = std::to_string(info.orientation);
    if (info.turned) {
        text += " (turned upright on opening)";
    }
    return text;
}

} // namespace

int CommandInfo(HostServices& host, PluginManager& plugins, const Options& options) {
    if (options.arguments.empty()) {
        PrintUsageError("info needs at least one FILE");
        return ExitUsage;
    }
    int status = ExitOk;
    if (options.json) {
        std::printf("[");
    }
    bool first = true;
    for (const std::string& file : options.arguments) {
        const ImageInfo info = ReadInfo(host, plugins, file);
        if (!info.error.empty()) {
            status = ExitFailure;
            std::fprintf(stderr, "pixmill-cli: %s: %s\n", file.c_str(), info.error.c_str());
        }
        if (options.json) {
            std::printf("%s\n  {\"file\": %s", first ? "" : ",", JsonString(file).c_str());
            if (!info.error.empty()) {
                std::printf(", \"error\": %s}", JsonString(info.error).c_str());
            } else {
                std::printf(", \"format\": %s, \"width\": %d, \"height\": %d, \"bits\": %d, "
                            "\"paletteEntries\": %d, \"transparentColor\": %s, "
                            "\"dpiX\": %d, \"dpiY\": %d, \"fileSize\": %lld, "
                            "\"iccProfileBytes\": %zu, \"iccDescription\": %s, \"exifBytes\": %zu, "
                            "\"orientation\": %d, \"turnedUpright\": %s, \"location\": %s, "
                            "\"alphaChannel\": %s}",
                            JsonString(info.format).c_str(), info.width, info.height, info.bits,
                            info.palette,
                            info.transparent ? JsonString(ColorText(info.transparentColor)).c_str()
                                             : "null",
                            info.dpiX, info.dpiY, info.fileSize, info.iccBytes,
                            info.iccDescription.empty() ? "null"
                                                        : JsonString(info.iccDescription).c_str(),
                            info.exifBytes, info.orientation, info.turned ? "true" : "false",
                            info.location ? "true" : "false", info.alphaChannel ? "true" : "false");
            }
            first = false;
        } else if (info.error.empty()) {
            std::printf("%s\n  format:       %s\n  size:         %d x %d\n"
                        "  depth:        %d bit\n  palette:      %d entries\n"
                        "  transparency: %s\n  resolution:   %d x %d dpi\n"
                        "  file size:    %lld bytes\n"
                        "  ICC profile:  %s\n  EXIF:         %s\n"
                        "  orientation:  %s\n  location:     %s\n",
                        file.c_str(), info.format.c_str(), info.width, info.height, info.bits,
                        info.palette,
                        TransparencyText(info).c_str(),
                        info.dpiX, info.dpiY, info.fileSize, ProfileText(info).c_str(),
                        BytesOrNone(info.exifBytes).c_str(), OrientationText(info).c_str(),
                        info.location ? "GPS position present" : "none");
        }
    }
    if (options.json) {
        std::printf("\n]\n");
    }
    return status;
}

} // namespace pixmill::cli
