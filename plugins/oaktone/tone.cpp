#include "tone.h"

#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/plugin_host.h"
#include "pixmill/progress.h"
#include "pixmill/scope_guards.h"
#include "pixmill/work_progress.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace pixmill::oaktone {

namespace {

int Clamp(int v) {
    return std::clamp(v, 0, 255);
}

// Tables of 256 bytes in the host's scratch arena for the length of one run.
class ScratchTables {
  public:
    ScratchTables(CPluginHost* host, size_t count) : block(host, count * 256) {}
    uint8_t* Table(size_t index) const { return block.Get() + index * 256; }

  private:
    ScratchBlock block;
};

void CheckSource(const CVImage& source, const CVImage& destination) {
    const int bits = source.BitCount();
    if (source.bits == nullptr || source.Width() < 1 || source.Height() < 1 ||
        (bits != 4 && bits != 8 && bits != 24)) {
        source.host->RaiseImageError(CVImageError::UnsupportedFormat);
    }
    if (&source == &destination) {
        source.host->RaiseImageError(CVImageError::MismatchedFormat);
    }
}

// Maps the source through one table per channel (red, green, blue) into a
// new destination: the pixels of a 24-bit image, else the palette entries.
void MapThroughTables(const CVImage& source, CVImage& destination, const uint8_t* red,
                      const uint8_t* green, const uint8_t* blue, CVProgress* progress) {
    destination.CreateLike(source);
    if (source.BitCount() == 24) {
        const int width = source.Width();
        const int height = source.Height();
        const size_t stride = source.Stride();
        const size_t rowBytes = static_cast<size_t>(width) * 3;
        WorkProgress bar(progress);
        bar.Begin(0, 100, 0, height);
        for (int r = 0; r < height; ++r) {
            const uint8_t* from = source.bits + stride * static_cast<size_t>(r);
            uint8_t* to = destination.bits + stride * static_cast<size_t>(r);
            for (int x = 0; x < width; ++x) {
                to[3 * x] = blue[from[3 * x]];
                to[3 * x + 1] = green[from[3 * x + 1]];
                to[3 * x + 2] = red[from[3 * x + 2]];
            }
            std::memset(to + rowBytes, 0, stride - rowBytes);
            bar.At(r + 1);
        }
        bar.End();
    } else {
        std::memcpy(destination.bits, source.bits, source.ImageBytes());
        WorkProgress bar(progress);
        bar.Begin(0, 100, 0, source.paletteCount);
        for (int i = 0; i < source.paletteCount; ++i) {
            RGBQUAD& entry = destination.palette[i];
            entry.rgbRed = red[entry.rgbRed];
            entry.rgbGreen = green[entry.rgbGreen];
            entry.rgbBlue = blue[entry.rgbBlue];
            bar.At(i + 1);
        }
        bar.End();
    }
    if (destination.hasTransparentColor) {
        RGBQUAD& c = destination.transparentColor;
        c.rgbRed = red[c.rgbRed];
        c.rgbGreen = green[c.rgbGreen];
        c.rgbBlue = blue[c.rgbBlue];
    }
}

struct ChannelRange {
    int minimum[3] = {255, 255, 255};
    int maximum[3] = {0, 0, 0};
};

// Each channel's smallest and largest value: over the pixels of a 24-bit
// image, over the palette entries of a paletted one.
ChannelRange RangeOf(const CVImage& image) {
    ChannelRange range;
    auto take = [&range](int channel, int value) {
        range.minimum[channel] = std::min(range.minimum[channel], value);
        range.maximum[channel] = std::max(range.maximum[channel], value);
    };
    if (image.BitCount() == 24) {
        uint8_t low[3] = {255, 255, 255};
        uint8_t high[3] = {0, 0, 0};
        const size_t rowBytes = static_cast<size_t>(image.Width()) * 3;
        for (int r = 0; r < image.Height(); ++r) {
            const uint8_t* row = image.bits + image.Stride() * static_cast<size_t>(r);
            for (size_t i = 0; i < rowBytes; i += 3) {
                for (int k = 0; k < 3; ++k) {
                    low[k] = std::min(low[k], row[i + k]);
                    high[k] = std::max(high[k], row[i + k]);
                }
            }
        }
        // Pixels are stored blue, green, red.
        for (int k = 0; k < 3; ++k) {
            take(2 - k, low[k]);
            take(2 - k, high[k]);
        }
    } else {
        for (int i = 0; i < image.paletteCount; ++i) {
            take(ChannelRed, image.palette[i].rgbRed);
            take(ChannelGreen, image.palette[i].rgbGreen);
            take(ChannelBlue, image.palette[i].rgbBlue);
        }
    }
    return range;
}

} // namespace

long double Lin(long double e, long double a, long double b, long double c, long double d) {
    const long double sign = e > 0 ? 1.0L : e < 0 ? -1.0L : 0.0L;
    return sign * (std::fabs(e) * (d - c) / (b - a + 1) + c);
}

void BrightnessTable(int brightness, uint8_t* table) {
    const float offset = brightness == 0 ? 0.0f : static_cast<float>(brightness * 2.55);
    for (int i = 0; i < 256; ++i) {
        table[i] = static_cast<uint8_t>(
            offset == 0 ? i : Clamp(static_cast<int>(i + static_cast<double>(offset) + 0.5)));
    }
}

void IntensityTable(int intensity, uint8_t* table) {
    const long double k = intensity == 0 ? 0.0L : Lin(intensity, 0, 100, 1, 2);
    for (int i = 0; i < 256; ++i) {
        if (k > 0) {
            table[i] = static_cast<uint8_t>(Clamp(static_cast<int>(i * k + 0.5L)));
        } else if (k < 0) {
            table[i] = static_cast<uint8_t>(Clamp(static_cast<int>(i / -k + 0.5L)));
        } else {
            table[i] = static_cast<uint8_t>(i);
        }
    }
}

void ContrastTable(int contrast, int minimum, int maximum, uint8_t* table) {
    const int v = std::clamp(contrast, kMinTone, kMaxTone);
    // Tones spread from (or draw towards) the middle of the channel's own
    // range, so a lowered contrast keeps every value inside that range and
    // -100 leaves the single level at its middle. The largest gain is a
    // threshold at that middle. The gain is a fraction, and the table is
    // worked out in whole numbers so halves round up the same everywhere.
    const long long sum = minimum + maximum; // twice the middle
    for (int i = 0; i < 256; ++i) {
        const long long twiceOffset = 2LL * i - sum;
        long long numerator, denominator; // the new tone, as a fraction
        if (v >= kMaxTone) {
            numerator = twiceOffset < 0 ? 0 : twiceOffset > 0 ? 255 : sum;
            denominator = twiceOffset == 0 ? 2 : 1;
        } else if (v <= 0) {
            numerator = 100 * sum + twiceOffset * (100 + v);
            denominator = 200;
        } else {
            numerator = sum * (100 - v) + 100 * twiceOffset;
            denominator = 2LL * (100 - v);
        }
        // floor(numerator / denominator + 1/2), the denominator positive.
        const long long top = 2 * numerator + denominator;
        const long long bottom = 2 * denominator;
        const long long rounded = top >= 0 ? top / bottom : -((-top + bottom - 1) / bottom);
        table[i] = static_cast<uint8_t>(std::clamp<long long>(rounded, 0, 255));
    }
}

void GammaTable(double gamma, uint8_t* table) {
    const double exponent = 1.0 / gamma;
    for (int i = 0; i < 256; ++i) {
        const double value = std::pow(i * 0.00392156862745098, exponent) * 255 + 0.5;
        table[i] = static_cast<uint8_t>(Clamp(static_cast<int>(value)));
    }
}

ToneValues ToneOf(const AdjustSettings& settings, Channel channel) {
    const int row = settings.toneUsesAll ? int{RowAll} : int{RowRed} + static_cast<int>(channel);
    auto limit = [](int v) { return std::clamp(v, kMinTone, kMaxTone); };
    return ToneValues{limit(settings.tone[row][ValueBrightness]),
                      limit(settings.tone[row][ValueContrast]),
                      limit(settings.tone[row][ValueIntensity])};
}

double GammaOf(const AdjustSettings& settings, Channel channel) {
    const double gamma =
        settings
            .gamma[settings.gammaUsesAll ? int{RowAll} : int{RowRed} + static_cast<int>(channel)];
    if (std::isnan(gamma)) {
        return 1.0;
    }
    return std::clamp(gamma, kMinGamma, kMaxGamma);
}

bool AcceptsAdjustment(const CVImage& image) {
    return image.BitCount() > 1;
}

void AdjustTone(const CVImage& source, CVImage& destination, const AdjustSettings& settings,
                CVProgress* progress) {
    CheckSource(source, destination);
    ToneValues tone[3];
    bool needRange = false;
    for (int ch = 0; ch < 3; ++ch) {
        tone[ch] = ToneOf(settings, static_cast<Channel>(ch));
        needRange = needRange || tone[ch].contrast != 0;
    }
    const ChannelRange range = needRange ? RangeOf(source) : ChannelRange{};

    // Per channel: brightness, intensity, contrast, and the three composed.
    ScratchTables tables(source.host, 4 * 3);
    for (int ch = 0; ch < 3; ++ch) {
        uint8_t* brightness = tables.Table(4 * ch);
        uint8_t* intensity = tables.Table(4 * ch + 1);
        uint8_t* contrast = tables.Table(4 * ch + 2);
        uint8_t* composed = tables.Table(4 * ch + 3);
        BrightnessTable(tone[ch].brightness, brightness);
        IntensityTable(tone[ch].intensity, intensity);
        ContrastTable(tone[ch].contrast, range.minimum[ch], range.maximum[ch], contrast);
        for (int i = 0; i < 256; ++i) {
            composed[i] = contrast[intensity[brightness[i]]];
        }
    }
    MapThroughTables(source, destination, tables.Table(3), tables.Table(7), tables.Table(11),
                     progress);
}

void AdjustGamma(const CVImage& source, CVImage& destination, const AdjustSettings& settings,
                 CVProgress* progress) {
    CheckSource(source, destination);
    ScratchTables tables(source.host, 3);
    for (int ch = 0; ch < 3; ++ch) {
        GammaTable(GammaOf(settings, static_cast<Channel>(ch)), tables.Table(ch));
    }
    MapThroughTables(source, destination, tables.Table(ChannelRed), tables.Table(ChannelGreen),
                     tables.Table(ChannelBlue), progress);
}

} // namespace pixmill::oaktone
