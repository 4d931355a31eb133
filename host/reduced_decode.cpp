#include "host/reduced_decode.h"

#include "host/image_io.h"
#include "host/orientation.h"

#include "pixmill/cv_image.h"
#include "pixmill/format_plugin.h"
#include "pixmill/processing_plugin.h"
#include "pixmill/stream.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace pixmill {

SIZE JpegFrameSize(CVStream& stream) {
    SIZE size{0, 0};
    uint8_t marker[4];
    stream.Seek(0, CVStream::FromStart);
    if (stream.Read(marker, 2) == 2 && marker[0] == 0xFF && marker[1] == 0xD8) {
        while (stream.Read(marker, 4) == 4 && marker[0] == 0xFF) {
            const uint8_t type = marker[1];
            const int length = marker[2] << 8 | marker[3];
            const bool frame =
                type >= 0xC0 && type <= 0xCF && type != 0xC4 && type != 0xC8 && type != 0xCC;
            if (frame) {
                uint8_t header[5];
                if (stream.Read(header, 5) == 5) {
                    size = SIZE{header[3] << 8 | header[4], header[1] << 8 | header[2]};
                }
                break;
            }
            if (length < 2) {
                break;
            }
            stream.Seek(length - 2, CVStream::FromCurrent);
        }
    }
    stream.Seek(0, CVStream::FromStart);
    return size;
}

namespace {

SIZE Reduced(SIZE stored, int scale) {
    return SIZE{(stored.cx + scale - 1) / scale, (stored.cy + scale - 1) / scale};
}

} // namespace

int ChooseDecodeScale(SIZE stored, SIZE target) {
    if (target.cx <= 0 || target.cy <= 0) {
        return 1;
    }
    // A side the scale does not divide ends in a partial pixel that the
    // decoder stretches to a whole one: the picture then lies stretched by
    // that fraction, which the result keeps. It may shift the far edge by
    // at most a tenth of a result pixel (a half pixel costs fine textures
    // 10 dB against the exact path).
    constexpr double kLimit = 0.1;
    const auto stray = [](int side, int scale, int targetSide) {
        const int reduced = (side + scale - 1) / scale;
        return static_cast<double>(reduced * scale - side) * targetSide / side;
    };
    for (int scale = 8; scale >= 2; scale /= 2) {
        const SIZE reduced = Reduced(stored, scale);
        if (reduced.cx >= target.cx && reduced.cy >= target.cy &&
            stray(stored.cx, scale, target.cx) <= kLimit &&
            stray(stored.cy, scale, target.cy) <= kLimit) {
            return scale;
        }
    }
    return 1;
}

SIZE SizeIndependentResult(CPluginHost* host, CProcessingPlugin* operation, SIZE stored) {
    SIZE probes[2], results[2];
    const int divisors[2] = {8, 16};
    for (int i = 0; i < 2; ++i) {
        probes[i] = Reduced(stored, divisors[i]);
        CVImage probe(host), result(host);
        probe.Create(probes[i].cx, probes[i].cy, 24, 0, nullptr);
        std::memset(probe.bits, 128, probe.ImageBytes());
        if (!operation->CanApply(&probe) || !operation->Apply(&probe, &result, nullptr)) {
            return {0, 0};
        }
        results[i] = SIZE{result.Width(), result.Height()};
    }
    // The probes' sides are rounded to whole pixels, so their shapes, and
    // with them a kept aspect ratio's other side, may stray by a pixel of
    // the smaller probe spread over the result; an operation whose result
    // follows the input's size gives twice the size on the larger probe
    // instead. A side that moved followed the probe's shape: the stored
    // shape gives it scaled by the shapes' ratio.
    const auto agree = [](int large, int small, int probeSide) {
        return std::abs(large - small) <= 1 + large / probeSide;
    };
    if (!agree(results[0].cx, results[1].cx, probes[1].cx) ||
        !agree(results[0].cy, results[1].cy, probes[1].cy)) {
        return {0, 0};
    }
    const double storedShape = static_cast<double>(stored.cy) / stored.cx;
    const double probeShape = static_cast<double>(probes[0].cy) / probes[0].cx;
    SIZE target = results[0];
    if (results[0].cy != results[1].cy) {
        target.cy = static_cast<int>(std::lround(results[0].cy * storedShape / probeShape));
    }
    if (results[0].cx != results[1].cx) {
        target.cx = static_cast<int>(std::lround(results[0].cx * probeShape / storedShape));
    }
    return target;
}

SIZE ReducedDecodeSize(CPluginHost* host, CFormatPlugin* format, CVStream& stream,
                       CProcessingPlugin* firstOperation) {
    // Only JPEG decodes at 1/2, 1/4 and 1/8 of its size on its own.
    if (format == nullptr || firstOperation == nullptr ||
        std::strstr(format->GetExtensions(), "*.jpg") == nullptr) {
        return {0, 0};
    }
    const SIZE stored = JpegFrameSize(stream);
    if (stored.cx < 32 || stored.cy < 32) {
        return {0, 0}; // too small to gain anything, and the probes would be slivers
    }
    // The operation sees the picture upright; the reader reduces it as
    // stored, so a quarter-turned picture's sides trade places on the way.
    const bool turned =
        host != nullptr && OrientationSwapsSides(OrientationToTurn(format, stream, *host));
    const SIZE upright = turned ? SIZE{stored.cy, stored.cx} : stored;
    const SIZE target = SizeIndependentResult(host, firstOperation, upright);
    const int scale = ChooseDecodeScale(upright, target);
    return scale > 1 ? Reduced(stored, scale) : SIZE{0, 0};
}

} // namespace pixmill
