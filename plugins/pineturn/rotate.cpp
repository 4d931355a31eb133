#include "rotate.h"

#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/inverse_color_map.h"
#include "pixmill/packed_pixels.h"
#include "pixmill/parallel_rows.h"
#include "pixmill/plugin_host.h"
#include "pixmill/scope_guards.h"
#include "pixmill/work_progress.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

namespace pixmill::pineturn {

namespace {

constexpr double kRadiansPerDegree = 0.017453292519943295;
// Histogram and inverse colour map: a 256-byte plane table followed by 64
// planes of 64 x 64 16-bit cells, from the scratch arena.
constexpr size_t kCellBlockBytes = 0x80100;
constexpr size_t kCellTableBytes = 256;

// Progress of one phase: work positions 0..total on the bar first..last.
WorkProgress Phase(CVProgress* progress, int first, int last, int total) {
    WorkProgress phase(progress, WorkProgress::Pace::OneStep);
    phase.Begin(first, last, 0, total);
    return phase;
}

void CheckDepth(const CVImage* image) {
    const int bits = image->BitCount();
    if (image->bits == nullptr) {
        image->host->RaiseImageError(CVImageError::MismatchedFormat);
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) {
        image->host->RaiseImageError(CVImageError::UnsupportedFormat);
    }
}

// A record like source (depth, palette, transparency) of the given size,
// with cleared pixels.
void CreateLike(const CVImage* source, CVImage* destination, int width, int height, int xRes,
                int yRes) {
    const TransparencyInfo transparency = source->Transparency();
    destination->Create(width, height, source->BitCount(), source->paletteCount, &transparency,
                        xRes, yRes);
    destination->SetPalette(source->palette);
    std::memset(destination->bits, 0, destination->ImageBytes());
}

void ExpandTo24(const CVImage* source, CVImage* destination, WorkProgress& phase) {
    destination->Create(source->Width(), source->Height(), 24, 0, nullptr,
                        source->header.biXPelsPerMeter, source->header.biYPelsPerMeter);
    const size_t inStride = source->Stride(), outStride = destination->Stride();
    ForDepth(source->BitCount(), [&](auto bits) {
        constexpr int Bits = decltype(bits)::value;
        for (int row = 0; row < source->Height(); ++row) {
            const uint8_t* in = source->bits + inStride * static_cast<size_t>(row);
            uint8_t* out = destination->bits + outStride * static_cast<size_t>(row);
            for (int x = 0; x < source->Width(); ++x) {
                const RGBQUAD& color = source->palette[GetPixel<Bits>(in, x) & 0xFF];
                *out++ = color.rgbBlue;
                *out++ = color.rgbGreen;
                *out++ = color.rgbRed;
            }
            phase.At(row + 1);
        }
    });
}

} // namespace

double NormalizeAngle(double degrees) {
    if (!std::isfinite(degrees)) {
        return 0.0;
    }
    double a = std::fmod(degrees, 360.0);
    if (a < 0) {
        a += 360.0;
    }
    return a >= 360.0 ? 0.0 : a; // -1e-20 + 360 rounds to 360
}

void Flip(const CVImage* source, CVImage* destination, bool horizontal, CVProgress* progress,
          int barFirst, int barLast) {
    CheckDepth(source);
    const int W = source->Width(), H = source->Height();
    const bool inPlace = source == destination;
    if (!inPlace) {
        CreateLike(source, destination, W, H, source->header.biXPelsPerMeter,
                   source->header.biYPelsPerMeter);
    }
    const size_t stride = source->Stride();
    WorkProgress phase = Phase(progress, barFirst, barLast, H);
    if (!horizontal) {
        std::vector<uint8_t> line(stride);
        for (int row = 0; row < H; ++row) {
            const int mirror = H - 1 - row;
            uint8_t* out = destination->bits + stride * static_cast<size_t>(mirror);
            const uint8_t* in = source->bits + stride * static_cast<size_t>(row);
            if (!inPlace) {
                std::memcpy(out, in, stride);
            } else if (row < mirror) {
                std::memcpy(line.data(), out, stride);
                std::memcpy(out, in, stride);
                std::memcpy(destination->bits + stride * static_cast<size_t>(row), line.data(),
                            stride);
            }
            phase.At(row + 1);
        }
        return;
    }
    std::vector<uint8_t> line(stride);
    ForDepth(source->BitCount(), [&](auto bits) {
        constexpr int Bits = decltype(bits)::value;
        for (int row = 0; row < H; ++row) {
            std::memcpy(line.data(), source->bits + stride * static_cast<size_t>(row), stride);
            uint8_t* out = destination->bits + stride * static_cast<size_t>(row);
            if (Bits < 8) {
                std::memset(out, 0, stride);
            }
            for (int x = 0; x < W; ++x) {
                OrPixel<Bits>(out, W - 1 - x, GetPixel<Bits>(line.data(), x));
            }
            phase.At(row + 1);
        }
    });
}

void QuarterTurn(const CVImage* source, CVImage* destination, bool clockwise,
                 CVProgress* progress) {
    CheckDepth(source);
    const int W = source->Width(), H = source->Height();
    // The picture turns, and so do its horizontal and vertical resolutions.
    CreateLike(source, destination, H, W, source->header.biYPelsPerMeter,
               source->header.biXPelsPerMeter);
    const size_t inStride = source->Stride(), outStride = destination->Stride();
    WorkProgress phase = Phase(progress, 0, 100, H);
    ForDepth(source->BitCount(), [&](auto bits) {
        constexpr int Bits = decltype(bits)::value;
        for (int y = 0; y < H; ++y) {
            const uint8_t* in = source->bits + inStride * static_cast<size_t>(y);
            for (int x = 0; x < W; ++x) {
                // Storage coordinates (rows bottom-up): clockwise (x, y) goes to
                // (y, W - 1 - x), counter-clockwise to (H - 1 - y, x).
                const int outRow = clockwise ? W - 1 - x : x;
                const int outX = clockwise ? y : H - 1 - y;
                OrPixel<Bits>(destination->bits + outStride * static_cast<size_t>(outRow), outX,
                              GetPixel<Bits>(in, x));
            }
            phase.At(y + 1);
        }
    });
}

ShearSizes ShearSizesFor(int width, int height, double degrees) {
    const double theta = degrees * kRadiansPerDegree;
    const double s = std::sin(theta), c = std::cos(theta), t = std::tan(theta / 2);
    ShearSizes sizes{};
    sizes.width = static_cast<int>(height * s + width * c + 0.5) + 1;
    sizes.height = static_cast<int>(width * s + height * c + 0.5) + 1;
    sizes.middleWidth = std::max(sizes.width, static_cast<int>(height * t) + width + 1);
    return sizes;
}

void ShiftRow(const uint8_t* in, int n, uint8_t* out, int outCount, double shift, Bgr background) {
    const int k = static_cast<int>(shift); // toward zero
    const double phi = std::fabs(shift - k);
    int position = 0;
    auto putBackground = [&] {
        if (position < outCount) {
            uint8_t* p = out + 3 * static_cast<size_t>(position);
            p[0] = background.blue;
            p[1] = background.green;
            p[2] = background.red;
        }
        ++position;
    };
    int count = n;
    if (k >= 0) {
        while (position < std::min(k, outCount)) {
            putBackground();
        }
        position = k;
    } else {
        // A shift to the left starts -k pixels into the row.
        count = n + k;
        if (count > 0) {
            in += 3 * static_cast<size_t>(-k);
        }
    }
    if (count > 0 && position < outCount) {
        if (phi == 0.0) {
            const int copied = std::min(count, outCount - position);
            std::memcpy(out + 3 * static_cast<size_t>(position), in,
                        3 * static_cast<size_t>(copied));
            position += copied;
        } else {
            // Weights of the next and the current source pixel.
            double nextWeight = phi, currentWeight = 1.0 - phi;
            if (shift > 0) {
                nextWeight = 1.0 - phi;
                currentWeight = phi;
                putBackground(); // the first covered place keeps the background
            }
            const int pairs = std::min(count - 1, outCount - position);
            uint8_t* o = out + 3 * static_cast<size_t>(std::min(position, outCount));
            // The weighted values of every byte value, once per row: the same
            // products as multiplying pixel by pixel.
            double nextPart[256], currentPart[256];
            for (int v = 0; v < 256; ++v) {
                nextPart[v] = nextWeight * v;
                currentPart[v] = currentWeight * v;
            }
            const size_t bytes = 3 * static_cast<size_t>(std::max(pairs, 0));
            for (size_t b = 0; b < bytes; ++b) {
                o[b] = static_cast<uint8_t>(nextPart[in[b + 3]] + currentPart[in[b]] + 0.5);
            }
            position += std::max(pairs, 0);
        }
    }
    while (position < outCount) {
        putBackground();
    }
}

Bgr SmartBackground(const CVImage& image, uint16_t* cells) {
    std::memset(cells, 0, InverseColorMap::kCellBytes);
    const int W = image.Width(), H = image.Height();
    const size_t stride = image.Stride();
    auto pixel = [&](int x, int row) {
        return image.bits + stride * static_cast<size_t>(row) + 3 * static_cast<size_t>(x);
    };
    auto cellOf = [](const uint8_t* p) {
        return InverseColorMap::CellIndex(p[0] >> 2, p[1] >> 2, p[2] >> 2);
    };
    // Every border pixel: the first and last rows, the first and last columns.
    auto forBorder = [&](auto&& visit) {
        for (int row : {0, H - 1}) {
            for (int x = 0; x < W; ++x) {
                visit(pixel(x, row));
            }
        }
        for (int x : {0, W - 1}) {
            for (int row = 0; row < H; ++row) {
                visit(pixel(x, row));
            }
        }
    };
    forBorder([&](const uint8_t* p) {
        uint16_t& cell = cells[cellOf(p)];
        if (cell < 65535) {
            ++cell;
        }
    });
    size_t winner = 0;
    for (size_t i = 1; i < InverseColorMap::kCellCount; ++i) {
        if (cells[i] > cells[winner]) {
            winner = i; // the first in scan order wins ties
        }
    }
    // The winning cell's border pixels, averaged: a plain border keeps its
    // exact colour instead of the cell's corner.
    uint64_t sums[3] = {0, 0, 0};
    uint64_t count = 0;
    forBorder([&](const uint8_t* p) {
        if (cellOf(p) == winner) {
            sums[0] += p[0];
            sums[1] += p[1];
            sums[2] += p[2];
            ++count;
        }
    });
    if (count == 0) {
        return Bgr{static_cast<uint8_t>((winner >> 12) * 4),
                   static_cast<uint8_t>(((winner >> 6) & 63) * 4),
                   static_cast<uint8_t>((winner & 63) * 4)};
    }
    return Bgr{static_cast<uint8_t>((sums[0] + count / 2) / count),
               static_cast<uint8_t>((sums[1] + count / 2) / count),
               static_cast<uint8_t>((sums[2] + count / 2) / count)};
}

namespace {

// What the three shears share. The intermediate images are N pixels wide
// and max(H, H2) rows high, 24 bits per pixel.
struct Shear {
    int W, H, W2, H2, N;
    double s, t; // sin(theta), tan(theta / 2)
    size_t middleStride;
    Bgr background;
};

// Lines handed to a thread at a time.
constexpr int kRowChunk = 32;

// Rows first..last-1 to the right by i * tan(theta / 2), row i into rows[i];
// report(done) is told the rows finished so far.
template <class Report>
void ShearRows(const Shear& g, const CVImage& pixels, uint8_t* const* rows, int first, int last,
               Report&& report) {
    const size_t inStride = pixels.Stride();
    ParallelRows(
        last - first, kRowChunk, PixelLoopThreads(),
        [&](int begin, int end) {
            for (int i = first + begin; i < first + end; ++i) {
                ShiftRow(pixels.bits + inStride * static_cast<size_t>(i), g.W, rows[i], g.N,
                         i * g.t, g.background);
            }
        },
        report);
}

} // namespace

ColumnShift::ColumnShift(double shift, int inCount) {
    const int k = static_cast<int>(shift); // toward zero
    const double phi = std::fabs(shift - k);
    blend = phi != 0.0;
    // A shift to the right leaves the first covered place to the background;
    // the blend weights go to the next and the current source sample.
    offset = k + (blend && shift > 0 ? 1 : 0);
    last = blend ? inCount - 1 : inCount;
    nextWeight = shift > 0 ? 1.0 - phi : phi;
    currentWeight = shift > 0 ? phi : 1.0 - phi;
}

void ShearColumnsRow(const uint8_t* const* rows, const ColumnShift* columns, int count, int j,
                     uint8_t* out, Bgr background) {
    for (int x = 0; x < count; ++x, out += 3) {
        const ColumnShift& c = columns[x];
        const int m = j - c.offset;
        if (m < 0 || m >= c.last) {
            out[0] = background.blue;
            out[1] = background.green;
            out[2] = background.red;
            continue;
        }
        const uint8_t* p = rows[m] + 3 * static_cast<size_t>(x);
        if (!c.blend) {
            std::memcpy(out, p, 3);
            continue;
        }
        const uint8_t* q = rows[m + 1] + 3 * static_cast<size_t>(x);
        for (int b = 0; b < 3; ++b) {
            // Summed in the order ShiftRow sums its weighted values.
            out[b] = static_cast<uint8_t>(c.nextWeight * q[b] + c.currentWeight * p[b] + 0.5);
        }
    }
}

namespace {

// Rows by tan(theta / 2) * i into the first shear, then columns by
// sin(theta) * (W - 1 - x), then rows by tan(theta / 2) * (j - sin(theta) *
// (W - 1)) into the 24-bit target, one result row at a time: each thread
// shears the columns into a row of its own and at once shifts that row into
// place.
//
// Result row j reads the first shear's rows j - offset and j - offset + 1 of
// the columns' offsets, so a block of result rows reads a band of the block's
// height plus the spread of the offsets. The first shear lives in a ring of
// that many rows: before each block the rows it reads that are not there yet
// are sheared into the slots of rows no later block reads. Work positions:
// the first shear's rows made plus the result rows made.
void ShearInBands(CPluginHost* host, const Shear& g, const CVImage& pixels, CVImage& target,
                  WorkProgress& phase) {
    const double top = g.s * (g.W - 1);
    std::vector<ColumnShift> columns;
    columns.reserve(static_cast<size_t>(g.N));
    int lowOffset = INT_MAX, highOffset = INT_MIN;
    for (int x = 0; x < g.N; ++x) {
        columns.emplace_back(top - g.s * x, g.H);
        lowOffset = std::min(lowOffset, columns.back().offset);
        highOffset = std::max(highOffset, columns.back().offset);
    }
    // Two chunks a thread per block keeps every thread busy within a block.
    const int threads = PixelLoopThreads();
    const int blockRows = kRowChunk * 2 * std::min(threads, 64);
    const int64_t bandRows = int64_t{blockRows} + highOffset - lowOffset + 1;
    const int ringRows = static_cast<int>(std::min<int64_t>(g.H, bandRows));
    HostBlock ring(host, g.middleStride * static_cast<size_t>(ringRows));
    std::vector<uint8_t*> rows(static_cast<size_t>(g.H));
    for (int m = 0; m < g.H; ++m) {
        rows[static_cast<size_t>(m)] =
            ring.Get() + g.middleStride * static_cast<size_t>(m % ringRows);
    }

    const size_t outStride = target.Stride();
    int sheared = 0; // rows 0..sheared-1 of the first shear made so far
    for (int block = 0; block < g.H2; block += blockRows) {
        const int end = std::min(block + blockRows, g.H2);
        // The last row this block reads is (end - 1) - lowOffset + 1.
        const int needed =
            static_cast<int>(std::clamp<int64_t>(int64_t{end} - lowOffset + 1, 0, g.H));
        if (needed > sheared) {
            ShearRows(g, pixels, rows.data(), sheared, needed,
                      [&](int done) { phase.At(sheared + done + block); });
            sheared = needed;
        }
        ParallelRows(
            end - block, kRowChunk, threads,
            [&](int begin, int last) {
                std::vector<uint8_t> line(g.middleStride);
                for (int j = block + begin; j < block + last; ++j) {
                    ShearColumnsRow(rows.data(), columns.data(), g.N, j, line.data(), g.background);
                    uint8_t* out = target.bits + outStride * static_cast<size_t>(j);
                    ShiftRow(line.data(), g.N, out, g.W2, g.t * (j - top), g.background);
                    std::memset(out + 3 * static_cast<size_t>(g.W2), 0,
                                outStride - 3 * static_cast<size_t>(g.W2));
                }
            },
            [&](int done) { phase.At(sheared + block + done); });
    }
}

// The rotated colours back to the destination's own palette.
void MapToPalette(const CVImage& colours, CVImage* destination, uint16_t* cells,
                  WorkProgress& phase) {
    InverseColorMap map(cells, destination->palette, destination->paletteCount);
    std::memset(destination->bits, 0, destination->ImageBytes());
    const int W2 = destination->Width(), H2 = destination->Height();
    const size_t inStride = colours.Stride(), outStride = destination->Stride();
    ForDepth(destination->BitCount(), [&](auto bits) {
        constexpr int Bits = decltype(bits)::value;
        for (int j = 0; j < H2; ++j) {
            const uint8_t* in = colours.bits + inStride * static_cast<size_t>(j);
            uint8_t* out = destination->bits + outStride * static_cast<size_t>(j);
            for (int x = 0; x < W2; ++x, in += 3) {
                OrPixel<Bits>(out, x, static_cast<uint32_t>(map.Nearest(in[2], in[1], in[0])));
            }
            phase.At(j + 1);
        }
    });
}

} // namespace

void ShearRotate(CPluginHost* host, const CVImage* source, CVImage* destination, double degrees,
                 const RotateRequest& request, CVProgress* progress) {
    CheckDepth(source);
    const bool paletted = source->BitCount() <= 8;
    const int W = source->Width(), H = source->Height();
    const ShearSizes sizes = ShearSizesFor(W, H, degrees);

    // The result's record first: an oversized result is refused before any
    // work space is taken.
    const TransparencyInfo transparency = source->Transparency();
    destination->Create(sizes.width, sizes.height, paletted ? source->BitCount() : 24,
                        source->paletteCount, &transparency, source->header.biXPelsPerMeter,
                        source->header.biYPelsPerMeter);
    destination->SetPalette(source->palette);

    CVImage expanded(host);
    const CVImage* pixels = source;
    if (paletted) {
        WorkProgress phase = Phase(progress, 0, 15, H);
        ExpandTo24(source, &expanded, phase);
        pixels = &expanded;
    }

    // Histogram and inverse colour map: cells behind a table of planes.
    host->ScratchReset();
    ScratchBlock cellBlock(host, kCellBlockBytes);
    auto* cells = reinterpret_cast<uint16_t*>(cellBlock.Get() + kCellTableBytes);
    Bgr background = request.customBackground;
    if (source->hasTransparentColor) {
        background = Bgr{source->transparentColor.rgbBlue, source->transparentColor.rgbGreen,
                         source->transparentColor.rgbRed};
    } else if (request.smartBackground) {
        background = SmartBackground(*pixels, cells);
    }

    const double theta = degrees * kRadiansPerDegree;
    const Shear g{W,
                  H,
                  sizes.width,
                  sizes.height,
                  sizes.middleWidth,
                  std::sin(theta),
                  std::tan(theta / 2),
                  3 * static_cast<size_t>(sizes.middleWidth),
                  background};
    CVImage colours(host);
    CVImage* target = destination;
    if (paletted) {
        colours.Create(g.W2, g.H2, 24, 0, nullptr);
        target = &colours;
    }
    {
        WorkProgress phase = Phase(progress, paletted ? 15 : 0, paletted ? 90 : 100, H + g.H2);
        ShearInBands(host, g, *pixels, *target, phase);
    }
    if (paletted) {
        WorkProgress phase = Phase(progress, 90, 100, g.H2);
        MapToPalette(colours, destination, cells, phase);
    }
}

void Rotate(CPluginHost* host, const CVImage* source, CVImage* destination, CVProgress* progress,
            const RotateRequest& request) {
    CheckDepth(source);
    if (request.flip == kFlipHorizontal || request.flip == kFlipVertical) {
        Flip(source, destination, request.flip == kFlipHorizontal, progress, 0, 100);
    } else {
        const double a = NormalizeAngle(request.angle);
        if (a == 0.0) {
            CVImage::CopyImage(destination, source, nullptr);
        } else if (a == 180.0) {
            Flip(source, destination, true, progress, 0, 50);
            Flip(destination, destination, false, progress, 50, 100);
        } else if (a == 90.0 || a == 270.0) {
            QuarterTurn(source, destination, a == 90.0, progress);
        } else {
            const double base = a > 270.0 ? 270.0 : a > 180.0 ? 180.0 : a > 90.0 ? 90.0 : 0.0;
            if (base == 0.0) {
                ShearRotate(host, source, destination, a, request, progress);
            } else {
                CVImage turned(host);
                if (base == 180.0) {
                    Flip(source, &turned, true, nullptr, 0, 0);
                    Flip(&turned, &turned, false, nullptr, 0, 0);
                } else {
                    QuarterTurn(source, &turned, base == 90.0, nullptr);
                }
                ShearRotate(host, &turned, destination, a - base, request, progress);
            }
        }
    }
    if (progress != nullptr) {
        progress->End();
    }
}

} // namespace pixmill::pineturn
