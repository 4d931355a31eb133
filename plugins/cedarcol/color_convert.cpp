#include "color_convert.h"

#include "palette_reduce.h"

#include "pixmill/errors.h"
#include "pixmill/packed_pixels.h"
#include "pixmill/plugin_host.h"
#include "pixmill/progress.h"
#include "pixmill/scope_guards.h"
#include "pixmill/work_progress.h"

#include <cstring>

namespace pixmill::cedarcol {

ConversionTarget TargetOf(int conversionCode, int colorCount) {
    switch (conversionCode) {
    case CodeBilevel:
        return {2, 1, false};
    case CodePaletted16:
        return {16, 4, false};
    case CodeGray:
        return {256, 8, true};
    case CodePaletted256:
        return {256, 8, false};
    case CodeColorCount:
        if (colorCount > 256) {
            return {colorCount, 24, false};
        }
        if (colorCount > 16) {
            return {colorCount, 8, false};
        }
        if (colorCount > 2) {
            return {colorCount, 4, false};
        }
        return {colorCount, 1, false};
    default:
        return {0, 24, false};
    }
}

namespace {

void CreateLike(CVImage& destination, const CVImage& source, int bits, int colors,
                const TransparencyInfo& transparency) {
    destination.Create(source.Width(), source.Height(), bits, colors, &transparency,
                       source.header.biXPelsPerMeter, source.header.biYPelsPerMeter);
}

} // namespace

void ExpandImage(const CVImage& source, CVImage& destination, int bits, int colorCount,
                 const TransparencyInfo& transparency, WorkProgress& band) {
    const int sourceBits = source.BitCount();
    const int width = source.Width();
    if (bits == 8) {
        CreateLike(destination, source, 8, source.paletteCount, transparency);
        std::memcpy(destination.palette, source.palette, sizeof destination.palette);
    } else {
        CreateLike(destination, source, 24, colorCount, transparency);
    }
    const size_t sourceStride = source.Stride();
    const size_t destinationStride = destination.Stride();
    for (int y = 0; y < source.Height(); ++y) {
        const uint8_t* in = source.bits + sourceStride * static_cast<size_t>(y);
        uint8_t* out = destination.bits + destinationStride * static_cast<size_t>(y);
        if (sourceBits == 24) {
            std::memcpy(out, in, 3 * static_cast<size_t>(width));
        } else {
            ForIndexDepth(sourceBits, [&](auto depth) {
                constexpr int Bits = decltype(depth)::value;
                if (bits == 8) {
                    for (int x = 0; x < width; ++x) {
                        out[x] = static_cast<uint8_t>(GetPixel<Bits>(in, x));
                    }
                    return;
                }
                for (int x = 0; x < width; ++x, out += 3) {
                    const RGBQUAD& c = source.palette[GetPixel<Bits>(in, x)];
                    out[0] = c.rgbBlue;
                    out[1] = c.rgbGreen;
                    out[2] = c.rgbRed;
                }
            });
        }
        band.Advance(sourceStride);
    }
}

void ConvertToGrey(const CVImage& source, CVImage& destination,
                   const TransparencyInfo& transparency, WorkProgress& band) {
    static const LuminanceTables tables;
    CreateLike(destination, source, 8, 256, transparency);
    for (int i = 0; i < 256; ++i) {
        destination.palette[i] =
            RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0};
    }
    const int width = source.Width();
    const size_t sourceStride = source.Stride();
    const size_t destinationStride = destination.Stride();
    uint8_t paletteGrey[256];
    for (int i = 0; i < 256; ++i) {
        const RGBQUAD& c = source.palette[i];
        paletteGrey[i] = tables.Grey(c.rgbRed, c.rgbGreen, c.rgbBlue);
    }
    for (int y = 0; y < source.Height(); ++y) {
        const uint8_t* in = source.bits + sourceStride * static_cast<size_t>(y);
        uint8_t* out = destination.bits + destinationStride * static_cast<size_t>(y);
        if (source.BitCount() == 24) {
            for (int x = 0; x < width; ++x, in += 3) {
                out[x] = tables.Grey(in[2], in[1], in[0]);
            }
        } else {
            for (int x = 0; x < width; ++x) {
                out[x] = paletteGrey[in[x]];
            }
        }
        band.Advance(sourceStride);
    }
}

namespace {

// Progress over the bytes a loop walks through, on the bar from..to.
WorkProgress ByteBand(CVProgress* progress, int from, int to, size_t totalBytes) {
    WorkProgress band(progress, WorkProgress::Pace::OneStep);
    band.BeginLarge(from, to, totalBytes);
    return band;
}

void Reduce(CPluginHost* host, uint16_t* cells, const CVImage& source, CVImage& destination,
            const ConversionTarget& target, const ConversionParameters& params,
            const TransparencyInfo& transparency, CVProgress* progress, int from) {
    ReductionOptions options;
    options.colors = target.colors;
    options.bits = target.bits;
    options.ditherLevel = params.ditherLevel;
    options.tolerance = params.tolerance;
    options.highQuality = params.highQuality;
    options.threshold = params.info.threshold;
    options.fixedPalette = params.info.fixedPalette != 0 ? params.fixedPalette : nullptr;
    options.transparency = transparency;
    WorkProgress band = ByteBand(progress, from, 100, source.ImageBytes());
    ReduceColors(host, cells, source, destination, options, band);
}

} // namespace

void ConvertColors(CPluginHost* host, const CVImage& source, CVImage& destination,
                   CVProgress* progress, const ConversionParameters& params) {
    // Ends the progress however the conversion ends.
    OnExit end([progress] {
        if (progress != nullptr) {
            progress->End();
        }
    });
    const int sourceBits = source.BitCount();
    if (source.bits == nullptr) {
        host->RaiseImageError(CVImageError::MismatchedFormat);
    }
    if (sourceBits != 1 && sourceBits != 4 && sourceBits != 8 && sourceBits != 24) {
        host->RaiseImageError(CVImageError::UnsupportedFormat);
    }
    // The size is checked before any pixel is read, not only when the
    // destination is made.
    if (source.Width() < 1 || source.Height() < 1) {
        host->RaiseImageError(CVImageError::MismatchedFormat);
    }
    if (source.Width() > 65535 || source.Height() > 65535) {
        host->RaiseImageError(CVImageError::DimensionsTooLarge);
    }

    host->ScratchReset();
    auto* cells = reinterpret_cast<uint16_t*>(host->ScratchAlloc(kHistogramBytes));
    if (cells == nullptr) {
        host->RaiseImageError(CVImageError::OutOfMemory);
    }

    if (source.hasTransparentColor != 0) {
        destination.hasTransparentColor = source.hasTransparentColor;
        destination.transparentColor = source.transparentColor;
    }
    const TransparencyInfo transparency = destination.Transparency();

    const ConversionTarget target = TargetOf(params.info.conversionCode, params.info.colorCount);
    const int sourceColors = sourceBits == 24 ? 0 : source.paletteCount;
    const size_t sourceBytes = source.ImageBytes();

    if (sourceColors == target.colors) {
        if (target.grey ? sourceBits > 8 : !source.IsGray()) {
            CVImage::CopyImage(&destination, &source, nullptr);
            return;
        }
    }

    if (target.grey) {
        if (sourceBits < 8) {
            CVImage indices(host);
            {
                WorkProgress band = ByteBand(progress, 0, 30, sourceBytes);
                ExpandImage(source, indices, 8, 256, transparency, band);
            }
            WorkProgress band = ByteBand(progress, 30, 100, indices.ImageBytes());
            ConvertToGrey(indices, destination, transparency, band);
        } else {
            WorkProgress band = ByteBand(progress, 0, 100, sourceBytes);
            ConvertToGrey(source, destination, transparency, band);
        }
        return;
    }

    if (sourceBits <= target.bits && target.bits <= 16) {
        CVImage colors(host);
        {
            WorkProgress band = ByteBand(progress, 0, 10, sourceBytes);
            ExpandImage(source, colors, 24, 0, transparency, band);
        }
        Reduce(host, cells, colors, destination, target, params, transparency, progress, 10);
    } else if (sourceBits <= target.bits) {
        WorkProgress band = ByteBand(progress, 0, 100, sourceBytes);
        ExpandImage(source, destination, 24, target.colors, transparency, band);
    } else if (sourceBits == 24) {
        Reduce(host, cells, source, destination, target, params, transparency, progress, 0);
    } else {
        CVImage colors(host);
        {
            WorkProgress band = ByteBand(progress, 0, 20, sourceBytes);
            ExpandImage(source, colors, 24, 0, transparency, band);
        }
        Reduce(host, cells, colors, destination, target, params, transparency, progress, 20);
    }
}

} // namespace pixmill::cedarcol
