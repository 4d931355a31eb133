#include "resample.h"
#include "column_kernels.h"
#include "filter_plan.h"
#include "triplet_lines.h"

#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/inverse_color_map.h"
#include "pixmill/packed_pixels.h"
#include "pixmill/plugin_host.h"
#include "pixmill/scope_guards.h"
#include "pixmill/work_progress.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <optional>

namespace pixmill::firscale {

SIZE FitTargetSize(int sourceWidth, int sourceHeight, int width, int height) {
    if (sourceWidth < 1 || sourceHeight < 1 || width < 1 || height < 1) {
        return SIZE{width, height}; // nothing to fit; creating the destination refuses it
    }
    const int64_t W = sourceWidth, H = sourceHeight, w = width, h = height;
    // Aspect ratios compared as integer part << 16 plus remainder.
    const int64_t sourceKey = (W / H) * 65536 + W % H;
    const int64_t boxKey = (w / h) * 65536 + w % h;
    auto clampInt = [](long long v) {
        return static_cast<int>(std::clamp<long long>(v, 0, INT_MAX));
    };
    auto fittedWidth = [&] {
        return clampInt(std::llroundl(static_cast<long double>(W) /
                                      (static_cast<long double>(H) / static_cast<long double>(h))));
    };
    auto fittedHeight = [&] {
        return clampInt(std::llroundl(static_cast<long double>(H) /
                                      (static_cast<long double>(W) / static_cast<long double>(w))));
    };
    if (sourceKey < boxKey) {
        const int fitted = fittedWidth();
        if (fitted <= width) {
            return SIZE{fitted, height};
        }
        return SIZE{width, fittedHeight()};
    }
    const int fitted = fittedHeight();
    if (fitted > height) {
        return SIZE{fittedWidth(), height};
    }
    return SIZE{width, fitted};
}

namespace {

// The nearest-colour cache: a 256-byte plane table followed by 64 planes of
// 8192 bytes, taken from the scratch arena.
constexpr size_t kCacheBytes = 0x80100;
constexpr size_t kCacheTableBytes = 256;
// Work space up to this size comes from the scratch arena.
constexpr size_t kScratchLimit = 1000000;

// Pixels of a pass: memory row 0 at base, rows stride bytes apart.
struct Plane {
    uint8_t* base;
    size_t stride;
    int width;
    int height;
    uint8_t* Row(int row) const { return base + stride * static_cast<size_t>(row); }
};

// Work space for one resample: from the scratch arena when wanted and it
// has room, else from the host's memory; given back when the resample ends,
// also when the user breaks off or the host raises an error.
class WorkSpace {
  public:
    WorkSpace(CPluginHost* host, size_t bytes, bool scratchFirst) {
        if (scratchFirst) {
            scratch.emplace(host, bytes, ScratchBlock::WhenFull::StayEmpty);
        }
        if (!scratch || scratch->Get() == nullptr) {
            block.emplace(host, bytes);
        }
    }
    uint8_t* Get() const { return block ? block->Get() : scratch->Get(); }

  private:
    std::optional<ScratchBlock> scratch;
    std::optional<HostBlock> block;
};

// Progress over one pass: work positions 0..total on the bar first..last,
// reached in proportion to the lines done.
class PassProgress {
  public:
    PassProgress(CVProgress* progress, int first, int last, int total)
        : work(progress, WorkProgress::Pace::OneStep), total(total) {
        work.Begin(first, last, 0, total);
    }
    void LinesDone(int done, int lines) { work.At(static_cast<int64_t>(done) * total / lines); }

  private:
    WorkProgress work;
    int total;
};

// Turns rows into blue-green-red triplets and back: 24-bit rows as they are,
// paletted rows through the palette and the nearest-colour cache.
class PixelForm {
  public:
    PixelForm(int bitCount, const RGBQUAD* palette, InverseColorMap* map)
        : bitCount(bitCount), palette(palette), map(map) {}

    bool Direct() const { return bitCount == 24; }

    void Unpack(const uint8_t* row, int width, uint8_t* triplets) const {
        if (Direct()) {
            std::memcpy(triplets, row, static_cast<size_t>(width) * 3);
            return;
        }
        ForIndexDepth(bitCount, [&](auto depth) {
            constexpr int Bits = decltype(depth)::value;
            for (int x = 0; x < width; ++x) {
                const RGBQUAD& color = palette[GetPixel<Bits>(row, x)];
                *triplets++ = color.rgbBlue;
                *triplets++ = color.rgbGreen;
                *triplets++ = color.rgbRed;
            }
        });
    }

    void Pack(const uint8_t* triplets, int width, uint8_t* row) const {
        if (Direct()) {
            std::memcpy(row, triplets, static_cast<size_t>(width) * 3);
            return;
        }
        std::memset(row, 0, RowBytes(width));
        ForIndexDepth(bitCount, [&](auto depth) {
            constexpr int Bits = decltype(depth)::value;
            for (int x = 0; x < width; ++x, triplets += 3) {
                OrPixel<Bits>(
                    row, x,
                    static_cast<uint32_t>(map->Nearest(triplets[2], triplets[1], triplets[0])));
            }
        });
    }

    size_t RowBytes(int width) const {
        return (static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 7) / 8;
    }

  private:
    int bitCount;
    const RGBQUAD* palette;
    InverseColorMap* map;
};

// Resamples every row of in (left to right) into the row of out with the
// same number, a few rows at a time. The rows of a group are read whole
// before their results are written, so out may share memory with in when
// its rows are no longer.
void RowPass(const Plane& in, const Plane& out, const PixelForm& form, PassProgress& progress) {
    const LinePlan plan(in.width, out.width);
    if (plan.IsCopy()) {
        std::vector<uint8_t> line(static_cast<size_t>(in.width) * 3);
        for (int row = 0; row < in.height; ++row) {
            form.Unpack(in.Row(row), in.width, line.data());
            form.Pack(line.data(), out.width, out.Row(row));
            progress.LinesDone(row + 1, in.height);
        }
        return;
    }
    constexpr int kLines = TripletLines::kLines;
    TripletLines lines(plan);
    const size_t inBytes = static_cast<size_t>(in.width) * 3;
    const size_t outBytes = static_cast<size_t>(out.width) * 3;
    // Paletted rows go through triplets; 24-bit rows are read and written in place.
    std::vector<uint8_t> tripletsIn(form.Direct() ? 0 : inBytes * kLines);
    std::vector<uint8_t> tripletsOut(form.Direct() ? 0 : outBytes * kLines);
    for (int row = 0; row < in.height; row += kLines) {
        const int count = std::min(kLines, in.height - row);
        const uint8_t* ins[kLines];
        uint8_t* outs[kLines];
        for (int l = 0; l < count; ++l) {
            if (form.Direct()) {
                ins[l] = in.Row(row + l);
                outs[l] = out.Row(row + l);
            } else {
                uint8_t* triplets = tripletsIn.data() + inBytes * l;
                form.Unpack(in.Row(row + l), in.width, triplets);
                ins[l] = triplets;
                outs[l] = tripletsOut.data() + outBytes * l;
            }
        }
        lines.Run(ins, outs, count);
        if (!form.Direct()) {
            for (int l = 0; l < count; ++l) {
                form.Pack(outs[l], out.width, out.Row(row + l));
            }
        }
        progress.LinesDone(row + count, in.height);
    }
}

// Resamples every column of in (from memory row 0 upwards) into the same
// column of out. All columns advance together, row by row, with the same
// arithmetic as one column at a time. out may share memory with in as long
// as no output row lands on an input row that is still to be read: true
// when the pass shrinks in place, and when it spreads rows that sit at the
// end of the buffer over the whole of it.
void ColumnPass(const Plane& in, const Plane& out, const PixelForm& form, PassProgress& progress) {
    const LinePlan plan(in.height, out.height);
    const int width = in.width;
    if (plan.IsCopy()) {
        const size_t bytes = form.RowBytes(width);
        for (int row = 0; row < in.height; ++row) {
            if (in.Row(row) != out.Row(row)) {
                std::memmove(out.Row(row), in.Row(row), bytes);
            }
            progress.LinesDone(row + 1, in.height);
        }
        return;
    }
    const size_t values = static_cast<size_t>(width) * 3;
    std::vector<double> sum(values, 0.5);
    std::vector<uint8_t> outLine(form.Direct() ? 0 : values);

    // Paletted rows are read as triplets; the two rows in use are kept.
    struct Slot {
        int row = -1;
        std::vector<uint8_t> triplets;
    };
    Slot slots[2];
    if (!form.Direct()) {
        slots[0].triplets.resize(values);
        slots[1].triplets.resize(values);
    }
    auto rowTriplets = [&](int row) -> const uint8_t* {
        if (form.Direct()) {
            return in.Row(row);
        }
        for (Slot& slot : slots) {
            if (slot.row == row) {
                return slot.triplets.data();
            }
        }
        Slot& older = slots[0].row < slots[1].row ? slots[0] : slots[1];
        form.Unpack(in.Row(row), width, older.triplets.data());
        older.row = row;
        return older.triplets.data();
    };

    const ColumnKernels kernels = ColumnKernelsFor(HasWideLanes());
    const double scale = plan.Scale();
    int produced = 0;
    for (const LinePlan::Step& step : plan.Steps()) {
        const uint8_t* current = rowTriplets(step.index);
        if (step.last) {
            kernels.addLast(sum.data(), current, step.weight, values);
        } else {
            kernels.addBlend(sum.data(), current, rowTriplets(step.index + 1), step.keep, step.take,
                             step.weight, values);
        }
        if (step.completes) {
            uint8_t* target = form.Direct() ? out.Row(produced) : outLine.data();
            kernels.finish(sum.data(), target, scale, values);
            if (!form.Direct()) {
                form.Pack(outLine.data(), width, out.Row(produced));
            }
            ++produced;
            progress.LinesDone(produced, out.height);
        }
    }
}

// The high-quality filter's two passes, between a plane of pixels and a work
// plane of tightly packed triplets (stride = width x 3). The column pass sums
// whole rows and vectorises well; the row pass works pixel by pixel, so it
// runs over whichever side has fewer rows.
struct TripletPlane {
    uint8_t* base;
    int width;
    int height;
    uint8_t* Row(int row) const {
        return base + static_cast<size_t>(width) * 3 * static_cast<size_t>(row);
    }
};

// Rows of in (pixels when form is given, else triplets) filtered along
// themselves into out (triplets, or pixels when form is given).
template <typename Source, typename Target>
void FilteredRowPass(const Source& in, const Target& out, const PixelForm* unpack,
                     const PixelForm* pack, const FilterColumnKernels& kernels,
                     PassProgress& progress) {
    const FilterPlan plan(in.width, out.width);
    std::vector<uint8_t> inLine(unpack && !unpack->Direct() ? static_cast<size_t>(in.width) * 3 : 0);
    std::vector<uint8_t> outLine(pack && !pack->Direct() ? static_cast<size_t>(out.width) * 3 : 0);
    for (int row = 0; row < in.height; ++row) {
        const uint8_t* line = in.Row(row);
        if (!inLine.empty()) {
            unpack->Unpack(line, in.width, inLine.data());
            line = inLine.data();
        }
        uint8_t* target = outLine.empty() ? out.Row(row) : outLine.data();
        kernels.row(plan, line, target);
        if (!outLine.empty()) {
            pack->Pack(target, out.width, out.Row(row));
        }
        progress.LinesDone(row + 1, in.height);
    }
}

// Columns of in filtered into out, one output row at a time from whole input
// rows; the same conversions as the row pass.
template <typename Source, typename Target>
void FilteredColumnPass(const Source& in, const Target& out, const PixelForm* unpack,
                        const PixelForm* pack, const FilterColumnKernels& kernels,
                        PassProgress& progress) {
    const FilterPlan plan(in.height, out.height);
    const size_t values = static_cast<size_t>(out.width) * 3;
    std::vector<int32_t> sum(values);
    std::vector<uint8_t> outLine(pack && !pack->Direct() ? values : 0);
    // Paletted rows are unpacked once each, kept while the kernel needs them.
    const bool unpacks = unpack && !unpack->Direct();
    std::vector<uint8_t> window(unpacks ? values * static_cast<size_t>(plan.MaxTaps()) : 0);
    std::vector<int> held(unpacks ? static_cast<size_t>(plan.MaxTaps()) : 0, -1);
    auto rowAt = [&](int row) -> const uint8_t* {
        if (!unpacks) {
            return in.Row(row);
        }
        const size_t slot = static_cast<size_t>(row % plan.MaxTaps());
        uint8_t* triplets = window.data() + values * slot;
        if (held[slot] != row) {
            unpack->Unpack(in.Row(row), in.width, triplets);
            held[slot] = row;
        }
        return triplets;
    };
    for (int row = 0; row < out.height; ++row) {
        const int16_t* w = plan.Weights(row);
        for (int t = 0; t < plan.Taps(row); ++t) {
            kernels.add(sum.data(), rowAt(plan.First(row) + t), w[t], values, t == 0);
        }
        uint8_t* target = outLine.empty() ? out.Row(row) : outLine.data();
        kernels.finish(sum.data(), target, values);
        if (!outLine.empty()) {
            pack->Pack(target, out.width, out.Row(row));
        }
        progress.LinesDone(row + 1, out.height);
    }
}

// Source pixels -> work plane -> destination pixels, the row pass on the
// side with fewer rows (columns first when the height shrinks).
void FilteredResample(CPluginHost* host, const Plane& in, const Plane& out, const PixelForm& form,
                      CVProgress* progress) {
    const bool columnsFirst = out.height < in.height;
    const TripletPlane middle{nullptr, columnsFirst ? in.width : out.width,
                              columnsFirst ? out.height : in.height};
    const size_t bytes = static_cast<size_t>(middle.width) * 3 * static_cast<size_t>(middle.height);
    WorkSpace space(host, bytes, bytes <= kScratchLimit);
    const TripletPlane work{space.Get(), middle.width, middle.height};
    const FilterColumnKernels kernels = FilterColumnKernelsFor(HasWideLanes());
    const int firstLines = columnsFirst ? out.height : in.height; // rows each pass makes
    const int secondLines = out.height;
    const int split = static_cast<int>(
        std::lround(100.0 * firstLines / (static_cast<double>(firstLines) + secondLines)));
    {
        PassProgress first(progress, 0, split, firstLines);
        if (columnsFirst) {
            FilteredColumnPass(in, work, &form, nullptr, kernels, first);
        } else {
            FilteredRowPass(in, work, &form, nullptr, kernels, first);
        }
    }
    PassProgress second(progress, split, 100, secondLines);
    if (columnsFirst) {
        FilteredRowPass(work, out, nullptr, &form, kernels, second);
    } else {
        FilteredColumnPass(work, out, nullptr, &form, kernels, second);
    }
}

// A picture with an alpha plane: its colours multiplied by alpha and its
// alpha resampled as two 24-bit pictures, the colours divided by the new
// alpha after. Filtering straight colours would pull the colour of
// invisible pixels into the visible ones at every transparent edge (dark or
// light fringes).
void ResampleWithAlpha(CPluginHost* host, const CVImage* source, CVImage* destination,
                       CVProgress* progress, const ResampleRequest& request) {
    const int W = source->Width(), H = source->Height();
    CVImage colour(host), alpha(host);
    colour.Create(W, H, 24, 0, nullptr);
    alpha.Create(W, H, 24, 0, nullptr);
    for (int y = 0; y < H; ++y) {
        const uint8_t* from = source->Row(y);
        uint8_t* c = colour.Row(y);
        uint8_t* a = alpha.Row(y);
        for (int x = 0; x < W; ++x, from += 4, c += 3, a += 3) {
            const int opacity = from[3];
            for (int k = 0; k < 3; ++k) {
                c[k] = static_cast<uint8_t>((from[k] * opacity + 127) / 255);
            }
            a[0] = a[1] = a[2] = from[3];
        }
    }
    ResampleRequest work = request;
    work.mayOverwriteSource = true; // both are this function's own copies
    CVImage colourOut(host), alphaOut(host);
    Resample(host, &colour, &colourOut, progress, work);
    Resample(host, &alpha, &alphaOut, nullptr, work);
    destination->CreateWithAlpha(colourOut.Width(), colourOut.Height(),
                                 source->header.biXPelsPerMeter, source->header.biYPelsPerMeter);
    for (int y = 0; y < colourOut.Height(); ++y) {
        const uint8_t* c = colourOut.Row(y);
        const uint8_t* a = alphaOut.Row(y);
        uint8_t* to = destination->Row(y);
        for (int x = 0; x < colourOut.Width(); ++x, c += 3, a += 3, to += 4) {
            const int opacity = a[1];
            for (int k = 0; k < 3; ++k) {
                to[k] = opacity == 0 ? 0
                                     : static_cast<uint8_t>(
                                           std::min(255, (c[k] * 255 + opacity / 2) / opacity));
            }
            to[3] = static_cast<uint8_t>(opacity);
        }
    }
}

} // namespace

void Resample(CPluginHost* host, const CVImage* source, CVImage* destination, CVProgress* progress,
              const ResampleRequest& request) {
    if (source->HasAlphaPlane() && source->bits != nullptr) {
        ResampleWithAlpha(host, source, destination, progress, request);
        return;
    }
    const int bitCount = source->BitCount();
    if (source->bits == nullptr) {
        host->RaiseImageError(CVImageError::MismatchedFormat);
    }
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24) {
        host->RaiseImageError(CVImageError::UnsupportedFormat);
    }
    const int W = source->Width(), H = source->Height();
    SIZE target{request.width, request.height};
    if (request.keepAspect) {
        target = FitTargetSize(W, H, request.width, request.height);
    }
    // Creating the destination checks the size before any work space is taken.
    const TransparencyInfo transparency = source->Transparency();
    destination->Create(target.cx, target.cy, bitCount, source->paletteCount, &transparency,
                        source->header.biXPelsPerMeter, source->header.biYPelsPerMeter);
    destination->SetPalette(source->palette);
    const int W2 = target.cx, H2 = target.cy;

    // Scratch blocks go back in the reverse order of taking them.
    std::optional<WorkSpace> cache, middleSpace;
    InverseColorMap* map = nullptr;
    uint16_t* cells = nullptr;
    if (bitCount <= 8) {
        host->ScratchReset();
        cells = reinterpret_cast<uint16_t*>(cache.emplace(host, kCacheBytes, true).Get() +
                                            kCacheTableBytes);
    }
    // Built only for paletted images; lives as long as the passes.
    std::vector<InverseColorMap> mapHolder;
    if (cells != nullptr) {
        mapHolder.emplace_back(cells, destination->palette, destination->paletteCount);
        map = &mapHolder.front();
    }
    const PixelForm form(bitCount, destination->palette, map);

    if (request.filter == ResampleFilter::Lanczos3) {
        FilteredResample(host, Plane{source->bits, source->Stride(), W, H},
                         Plane{destination->bits, destination->Stride(), W2, H2}, form, progress);
        return;
    }

    // The pass that shrinks runs first when one direction grows and the
    // other shrinks.
    const bool columnsFirst = W2 > W && H2 < H;
    const bool growsBothWays = W2 >= W && H2 >= H;
    const size_t sourceStride = source->Stride(), targetStride = destination->Stride();
    const Plane in{source->bits, sourceStride, W, H};
    const Plane out{destination->bits, targetStride, W2, H2};
    Plane middle =
        columnsFirst ? Plane{nullptr, sourceStride, W, H2} : Plane{nullptr, targetStride, W2, H};
    if (growsBothWays) {
        // The first pass fills the destination's last H rows; the second
        // spreads them over the whole buffer.
        middle.base = destination->bits + targetStride * static_cast<size_t>(H2 - H);
    } else if (request.mayOverwriteSource) {
        middle.base = source->bits; // the caller gave the source's pixels up
    } else {
        // Never the source's own pixels here: they belong to the caller.
        const size_t bytes = targetStride * static_cast<size_t>(H);
        middle.base = middleSpace.emplace(host, bytes, bytes <= kScratchLimit).Get();
    }

    const int firstLines = columnsFirst ? W : H;
    const int secondLines = columnsFirst ? H2 : W2;
    const int split = static_cast<int>(
        std::lround(100.0 * firstLines / (static_cast<double>(firstLines) + secondLines)));
    {
        PassProgress first(progress, 0, split, firstLines);
        if (columnsFirst) {
            ColumnPass(in, middle, form, first);
        } else {
            RowPass(in, middle, form, first);
        }
    }
    PassProgress second(progress, split, 100, secondLines);
    if (columnsFirst) {
        RowPass(middle, out, form, second);
    } else {
        ColumnPass(middle, out, form, second);
    }
}

} // namespace pixmill::firscale
