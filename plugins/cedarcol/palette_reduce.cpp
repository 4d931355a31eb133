#include "palette_reduce.h"
#include "nearest_entry.h"
#include "quality_palette.h"

#include "cedarcol_settings.h"

#include "pixmill/errors.h"
#include "pixmill/inverse_color_map.h"
#include "pixmill/packed_pixels.h"
#include "pixmill/parallel_rows.h"
#include "pixmill/plugin_host.h"
#include "pixmill/work_progress.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

namespace pixmill::cedarcol {

namespace {

// A palette entry from its three planes: blue, green, red.
RGBQUAD Planes(int first, int second, int third) {
    return RGBQUAD{static_cast<uint8_t>(first), static_cast<uint8_t>(second),
                   static_cast<uint8_t>(third), 0};
}

// A palette entry listed red first, as the system palettes define theirs.
RGBQUAD Rgb(int red, int green, int blue) {
    return Planes(blue, green, red);
}

void LoadWindowsPalette(RGBQUAD* planes) {
    static const uint8_t kFirst[10][3] = {
        {0, 0, 0},     {128, 0, 0},   {0, 128, 0},     {128, 128, 0},   {0, 0, 128},
        {128, 0, 128}, {0, 128, 128}, {192, 192, 192}, {192, 220, 192}, {166, 202, 240}};
    static const uint8_t kGreys[18] = {6,   19,  31,  44,  57,  70,  83,  95,  108,
                                       121, 137, 153, 169, 185, 205, 221, 237, 253};
    static const uint8_t kLast[12][3] = {{253, 0, 0},     {253, 0, 0},     {255, 251, 240},
                                         {160, 160, 164}, {128, 128, 128}, {255, 0, 0},
                                         {0, 255, 0},     {255, 255, 0},   {0, 0, 255},
                                         {255, 0, 255},   {0, 255, 255},   {255, 255, 255}};
    for (int n = 0; n < 10; ++n) {
        planes[n] = Rgb(kFirst[n][0], kFirst[n][1], kFirst[n][2]);
    }
    for (int i = 0; i < 6; ++i) {
        for (int j = 0; j < 6; ++j) {
            for (int k = 0; k < 6; ++k) {
                planes[10 + 36 * i + 6 * j + k] = Rgb(51 * i, 51 * j, 51 * k);
            }
        }
    }
    for (int n = 0; n < 18; ++n) {
        planes[226 + n] = Rgb(kGreys[n], kGreys[n], kGreys[n]);
    }
    for (int n = 0; n < 12; ++n) {
        planes[244 + n] = Rgb(kLast[n][0], kLast[n][1], kLast[n][2]);
    }
}

// The colour cube from white down, 36i + 6j + k = 255 - 51 (i, j, k).
// The first index runs through the first plane (blue) unless redFirst.
void LoadCubeFromWhite(RGBQUAD* planes, int entries, bool redFirst) {
    for (int n = 0; n < entries; ++n) {
        const int i = 255 - 51 * (n / 36), j = 255 - 51 * ((n / 6) % 6), k = 255 - 51 * (n % 6);
        planes[n] = redFirst ? Rgb(i, j, k) : Planes(i, j, k);
    }
}

void LoadMacintoshPalette(RGBQUAD* planes) {
    static const uint8_t kRamp[10] = {238, 221, 187, 170, 136, 119, 85, 68, 34, 17};
    LoadCubeFromWhite(planes, 215, true); // all but black
    for (int n = 0; n < 10; ++n) {
        const int r = kRamp[n];
        planes[215 + n] = Rgb(r, 0, 0);
        planes[225 + n] = Rgb(0, r, 0);
        planes[235 + n] = Rgb(0, 0, r);
        planes[245 + n] = Rgb(r, r, r);
    }
    planes[255] = Rgb(0, 0, 0);
}

void LoadExplorerPalette(RGBQUAD* planes) {
    for (int k = 0; k < 6; ++k) {
        for (int j = 0; j < 6; ++j) {
            for (int i = 0; i < 6; ++i) {
                planes[i + 6 * j + 36 * k] = Planes(51 * i, 51 * j, 51 * k);
            }
        }
    }
}

// --------------------------------------------------------------- median cut

struct Box {
    int lo[3]; // blue, green, red cell bounds
    int hi[3];
    int volume;
    int cellCount;
};

class Histogram {
  public:
    explicit Histogram(const uint16_t* cells) : cells(cells) {}
    uint16_t At(int b, int g, int r) const { return cells[(b << 12) | (g << 6) | r]; }
    uint16_t At(const int* c) const { return At(c[0], c[1], c[2]); }

    // Whether the plane axis = value of the box holds a non-zero cell.
    bool PlaneHasColor(const Box& box, int axis, int value) const {
        const int a = axis == 0 ? 1 : 0;
        const int b = axis == 2 ? 1 : 2;
        int c[3];
        c[axis] = value;
        for (c[a] = box.lo[a]; c[a] <= box.hi[a]; ++c[a]) {
            for (c[b] = box.lo[b]; c[b] <= box.hi[b]; ++c[b]) {
                if (At(c) != 0) {
                    return true;
                }
            }
        }
        return false;
    }

    // Moves every bound inward to the first plane holding a colour, then
    // measures the box.
    void Shrink(Box& box) const {
        for (int axis = 0; axis < 3; ++axis) {
            for (int v = box.lo[axis]; v <= box.hi[axis]; ++v) {
                if (PlaneHasColor(box, axis, v)) {
                    box.lo[axis] = v;
                    break;
                }
            }
            for (int v = box.hi[axis]; v >= box.lo[axis]; --v) {
                if (PlaneHasColor(box, axis, v)) {
                    box.hi[axis] = v;
                    break;
                }
            }
        }
        box.volume = 0;
        for (int axis = 0; axis < 3; ++axis) {
            const int extent = 4 * (box.hi[axis] - box.lo[axis]);
            box.volume += extent * extent;
        }
        box.cellCount = 0;
        for (int b = box.lo[0]; b <= box.hi[0]; ++b) {
            for (int g = box.lo[1]; g <= box.hi[1]; ++g) {
                for (int r = box.lo[2]; r <= box.hi[2]; ++r) {
                    box.cellCount += At(b, g, r) != 0 ? 1 : 0;
                }
            }
        }
        if (box.cellCount == 0) {
            box.volume = 0; // an empty box (empty histogram) is never split
        }
    }

    // The count-weighted mean of the cell centres; black for a box without
    // pixels.
    RGBQUAD ColorOf(const Box& box) const {
        long long sum[3] = {0, 0, 0};
        long long total = 0;
        for (int b = box.lo[0]; b <= box.hi[0]; ++b) {
            for (int g = box.lo[1]; g <= box.hi[1]; ++g) {
                for (int r = box.lo[2]; r <= box.hi[2]; ++r) {
                    const long long count = At(b, g, r);
                    if (count != 0) {
                        total += count;
                        sum[0] += count * (4 * b + 2);
                        sum[1] += count * (4 * g + 2);
                        sum[2] += count * (4 * r + 2);
                    }
                }
            }
        }
        if (total == 0) {
            return RGBQUAD{0, 0, 0, 0};
        }
        return Planes(static_cast<int>((sum[0] + total / 2) / total),
                      static_cast<int>((sum[1] + total / 2) / total),
                      static_cast<int>((sum[2] + total / 2) / total));
    }

  private:
    const uint16_t* cells;
};

} // namespace

int LoadFixedPalette(int kind, RGBQUAD* planes) {
    switch (kind) {
    case PaletteWindows:
        LoadWindowsPalette(planes);
        return 256;
    case PaletteMacintosh:
        LoadMacintoshPalette(planes);
        return 256;
    case PaletteNetscape:
        LoadCubeFromWhite(planes, 216, false);
        return 216;
    case PaletteExplorer:
        LoadExplorerPalette(planes);
        return 216;
    default:
        return 0;
    }
}

void CountColors(const CVImage& source, uint16_t* cells, const RGBQUAD* skip) {
    const int width = source.Width();
    const size_t stride = source.Stride();
    for (int y = 0; y < source.Height(); ++y) {
        const uint8_t* p = source.bits + stride * static_cast<size_t>(y);
        for (int x = 0; x < width; ++x, p += 3) {
            if (skip != nullptr && p[0] == skip->rgbBlue && p[1] == skip->rgbGreen &&
                p[2] == skip->rgbRed) {
                continue;
            }
            uint16_t& cell = cells[((p[0] >> 2) << 12) | ((p[1] >> 2) << 6) | (p[2] >> 2)];
            if (cell != 0xFFFF) {
                ++cell;
            }
        }
    }
}

int MedianCut(const uint16_t* cells, int wanted, RGBQUAD* palette) {
    const Histogram histogram(cells);
    Box boxes[256];
    int count = 1;
    boxes[0] = Box{{0, 0, 0}, {63, 63, 63}, 0, 0};
    histogram.Shrink(boxes[0]);
    wanted = std::clamp(wanted, 1, 256);

    while (count < wanted) {
        int picked = -1;
        if (wanted < 2 * count) {
            // Late splits go to the widest box.
            int best = 0;
            for (int i = 0; i < count; ++i) {
                if (boxes[i].volume > best) {
                    best = boxes[i].volume;
                    picked = i;
                }
            }
        } else {
            // Early splits go to the box with the most distinct colours.
            int best = 0;
            for (int i = 0; i < count; ++i) {
                if (boxes[i].volume > 0 && boxes[i].cellCount > best) {
                    best = boxes[i].cellCount;
                    picked = i;
                }
            }
        }
        if (picked < 0) {
            break;
        }
        Box& box = boxes[picked];
        const int eB = 4 * (box.hi[0] - box.lo[0]);
        const int eG = 4 * (box.hi[1] - box.lo[1]);
        const int eR = 4 * (box.hi[2] - box.lo[2]);
        int axis;
        if (eB > std::max(eG, eR)) {
            axis = 0;
        } else if (eG < eR) {
            axis = 2;
        } else {
            axis = 1;
        }
        const int middle = (box.lo[axis] + box.hi[axis]) / 2;
        Box& added = boxes[count++];
        added = box;
        box.hi[axis] = middle;
        added.lo[axis] = middle + 1;
        histogram.Shrink(box);
        histogram.Shrink(added);
    }

    for (int i = 0; i < count; ++i) {
        palette[i] = histogram.ColorOf(boxes[i]);
    }
    return count;
}

uint8_t SnapToWebLevel(int value, int tolerance) {
    static const int kLevels[5] = {255, 204, 153, 102, 51};
    for (int level : kLevels) {
        if (tolerance >= std::abs(value - level)) {
            return static_cast<uint8_t>(level);
        }
    }
    return static_cast<uint8_t>(value <= tolerance ? 0 : value);
}

void BuildErrorLimit(int level, bool oneBit, int* limit) {
    static const int kSteps[10] = {256, 128, 80, 64, 48, 32, 24, 16, 12, 8};
    static const int kEnds[10] = {3, 8, 14, 20, 32, 40, 48, 56, 72, 0};
    static const int kEndsBilevel[10] = {14, 20, 32, 40, 48, 56, 72, 80, 100, 128};
    if (level > 10 || level < 1) {
        level = 8;
    }
    const int k = 256 / kSteps[level - 1];
    const int end = oneBit ? kEndsBilevel[level - 1] : kEnds[level - 1];
    int* zero = limit + 255;
    int e = 0;
    for (; e < k; ++e) {
        zero[e] = e;
    }
    int v = k;
    for (; e < end; ++e) {
        zero[e] = v;
        if (e & 1) {
            ++v;
        }
    }
    for (; e <= 255; ++e) {
        zero[e] = v;
    }
    for (e = 1; e <= 255; ++e) {
        zero[-e] = -zero[e];
    }
}

namespace {

// Exact nearest-entry searches for several threads. A search remembers the
// answers it worked out, so it is not shared: each thread takes one while it
// works and gives it back. Every search gives the same answers.
class NearestEntryPool {
  public:
    NearestEntryPool(const RGBQUAD* palette, int count) : palette(palette), count(count) {}

    NearestEntry* Take() {
        const std::lock_guard hold(lock);
        if (spare.empty()) {
            owned.push_back(std::make_unique<NearestEntry>(palette, count));
            return owned.back().get();
        }
        NearestEntry* search = spare.back();
        spare.pop_back();
        return search;
    }
    void Give(NearestEntry* search) {
        const std::lock_guard hold(lock);
        spare.push_back(search);
    }

  private:
    const RGBQUAD* palette;
    int count;
    std::mutex lock;
    std::vector<std::unique_ptr<NearestEntry>> owned;
    std::vector<NearestEntry*> spare;
};

struct MappingContext {
    const CVImage& source;
    CVImage& destination;
    InverseColorMap& map;
    const RGBQUAD* palette;
    int bits;
    bool hasTransparent;
    RGBQUAD transparent;
    int transparentIndex;
    WorkProgress& band;
    // High quality: exact nearest entries (a search per thread), and
    // diffusion that backs off where a pixel is already near an entry.
    // Null: the cell map alone.
    NearestEntryPool* exact = nullptr;

    // The entry for a colour: exact through the thread's search in high
    // quality (search not null), else through its cell.
    int Nearest(NearestEntry* search, int blue, int green, int red) const {
        const auto b = static_cast<uint8_t>(blue), g = static_cast<uint8_t>(green),
                   r = static_cast<uint8_t>(red);
        return search != nullptr ? search->Find(b, g, r) : map.Nearest(r, g, b);
    }

    bool IsTransparent(const uint8_t* p) const {
        return hasTransparent && p[0] == transparent.rgbBlue && p[1] == transparent.rgbGreen &&
               p[2] == transparent.rgbRed;
    }
};

// High quality without diffusion: rows are independent, so they are spread
// over the cores, each thread with a search of its own.
void MapExactlyInParallel(MappingContext& m) {
    const int width = m.source.Width();
    const size_t sourceStride = m.source.Stride();
    const size_t destinationStride = m.destination.Stride();
    int reported = 0;
    ParallelRows(
        m.source.Height(), 16, PixelLoopThreads(),
        [&](int first, int last) {
            NearestEntry* search = m.exact->Take();
            for (int y = first; y < last; ++y) {
                const uint8_t* p = m.source.bits + sourceStride * static_cast<size_t>(y);
                uint8_t* out = m.destination.bits + destinationStride * static_cast<size_t>(y);
                std::memset(out, 0, destinationStride);
                for (int x = 0; x < width; ++x, p += 3) {
                    const int index =
                        m.IsTransparent(p) ? m.transparentIndex : search->Find(p[0], p[1], p[2]);
                    OrIndex(out, x, m.bits, index);
                }
            }
            m.exact->Give(search);
        },
        [&](int done) {
            m.band.Advance(sourceStride * static_cast<uint64_t>(done - reported));
            reported = done;
        });
}

void MapDirectly(MappingContext& m, int threshold) {
    if (m.exact != nullptr && m.bits != 1) {
        MapExactlyInParallel(m);
        return;
    }
    static const LuminanceTables luminance;
    const int width = m.source.Width();
    const size_t sourceStride = m.source.Stride();
    const size_t destinationStride = m.destination.Stride();
    for (int y = 0; y < m.source.Height(); ++y) {
        const uint8_t* p = m.source.bits + sourceStride * static_cast<size_t>(y);
        uint8_t* out = m.destination.bits + destinationStride * static_cast<size_t>(y);
        std::memset(out, 0, destinationStride);
        for (int x = 0; x < width; ++x, p += 3) {
            int index;
            if (m.bits == 1) {
                index = luminance.Grey(p[2], p[1], p[0]) >= threshold ? 1 : 0;
            } else if (m.IsTransparent(p)) {
                index = m.transparentIndex;
            } else {
                index = m.Nearest(nullptr, p[0], p[1], p[2]);
            }
            OrIndex(out, x, m.bits, index);
        }
        m.band.Advance(sourceStride);
    }
}

// Diffusion strength in sixteenths, and the squared distance from the
// nearest entry at which the high-quality mapping diffuses at full strength.
// With palettes that fit photographs closely most pixels lie within a few
// levels of an entry; from 16 on, gradients between entries still get enough
// diffusion not to show bands.
constexpr int kFullStrength = 16;
constexpr int kBackOffDistance = 16;

// In high quality, the entry nearest to each pixel's own colour and the
// share of the diffused error the pixel takes, for one row.
class OwnEntries {
  public:
    explicit OwnEntries(size_t width) : entry(width), strength(width) {}

    void Find(const MappingContext& m, NearestEntry& search, int y) {
        const uint8_t* p = m.source.bits + m.source.Stride() * static_cast<size_t>(y);
        for (size_t x = 0; x < entry.size(); ++x, p += 3) {
            if (m.IsTransparent(p)) {
                continue; // never diffused
            }
            const int own = search.Find(p[0], p[1], p[2]);
            const int distance = search.Distance(p[0], p[1], p[2], own);
            entry[x] = static_cast<uint8_t>(own);
            strength[x] = static_cast<uint8_t>(
                std::min(kFullStrength, distance * kFullStrength / kBackOffDistance));
        }
    }

    std::vector<uint8_t> entry, strength;
};

// Floyd-Steinberg diffusion of row y into out, serpentine: even rows run
// left to right. errors holds, one column shifted so that the columns just
// outside the row exist, the error the row above left for each column; on
// return it holds this row's for the next. own is null for full diffusion
// through the cell map, else the row's own entries, with search for the
// exact entries of diffused colours.
void DiffuseRow(const MappingContext& m, NearestEntry* search, const OwnEntries* own,
                int16_t* errors, const int* limit, int y, uint8_t* out) {
    const int width = m.source.Width();
    const int direction = y % 2 == 0 ? 1 : -1;
    const uint8_t* row = m.source.bits + m.source.Stride() * static_cast<size_t>(y);
    std::memset(out, 0, m.destination.Stride());
    int carried[3] = {0, 0, 0};     // 7/16 share for the next pixel
    int belowBehind[3] = {0, 0, 0}; // running sum for the column behind
    int below[3] = {0, 0, 0};       // 1/16 share waiting for the column ahead
    int x = direction > 0 ? 0 : width - 1;
    for (int n = 0; n < width; ++n, x += direction) {
        const uint8_t* p = row + 3 * static_cast<size_t>(x);
        int16_t* here = errors + 3 * static_cast<size_t>(x + 1);
        int16_t* behind = here - 3 * direction;
        int index;
        int err[3];
        if (m.IsTransparent(p)) {
            index = m.transparentIndex;
            err[0] = err[1] = err[2] = 0;
        } else {
            // Full diffusion, or in high quality a share that grows with the
            // pixel's own distance from its nearest entry: where the palette
            // already holds the colour, no grain is added.
            const int strength =
                own != nullptr ? own->strength[static_cast<size_t>(x)] : kFullStrength;
            int value[3];
            for (int c = 0; c < 3; ++c) {
                const int total = here[c] + carried[c];
                value[c] =
                    std::clamp(p[c] + limit[(total + 8) >> 4] * strength / kFullStrength, 0, 255);
            }
            if (own != nullptr && value[0] == p[0] && value[1] == p[1] && value[2] == p[2]) {
                index = own->entry[static_cast<size_t>(x)]; // nothing diffused into this pixel
            } else {
                index = m.Nearest(search, value[0], value[1], value[2]);
            }
            const RGBQUAD& chosen = m.palette[index];
            err[0] = value[0] - chosen.rgbBlue;
            err[1] = value[1] - chosen.rgbGreen;
            err[2] = value[2] - chosen.rgbRed;
        }
        for (int c = 0; c < 3; ++c) {
            behind[c] = static_cast<int16_t>(belowBehind[c] + 3 * err[c]);
            belowBehind[c] = below[c] + 5 * err[c];
            below[c] = err[c];
            carried[c] = 7 * err[c];
        }
        OrIndex(out, x, m.bits, index);
    }
    // The last pixel's column gets what is left for it.
    int16_t* last = errors + 3 * static_cast<size_t>(x - direction + 1);
    for (int c = 0; c < 3; ++c) {
        last[c] = static_cast<int16_t>(belowBehind[c]);
    }
}

void MapWithDiffusion(MappingContext& m, int16_t* errors, const int* limitTable) {
    for (int y = 0; y < m.source.Height(); ++y) {
        DiffuseRow(m, nullptr, nullptr, errors, limitTable + 255, y,
                   m.destination.bits + m.destination.Stride() * static_cast<size_t>(y));
        m.band.Advance(m.source.Stride());
    }
}

// High quality with diffusion: the picture is diffused in bands of rows of
// a fixed height, spread over the cores. Each band starts a few rows above
// its first one, from no error, so that the error it brings into its first
// row is of the same kind as everywhere else (no seam shows); those rows
// are diffused again but not written. The bands do not depend on the number
// of threads, so neither do the bytes.
constexpr int kBandRows = 128;
constexpr int kLeadInRows = 8;

void MapWithDiffusionInBands(MappingContext& m, const int* limitTable) {
    const size_t width = static_cast<size_t>(m.source.Width());
    int reported = 0;
    ParallelRows(
        m.source.Height(), kBandRows, PixelLoopThreads(),
        [&](int first, int last) {
            NearestEntry* search = m.exact->Take();
            std::vector<int16_t> errors((width + 2) * 3);
            std::vector<uint8_t> leadIn(m.destination.Stride());
            OwnEntries own(width);
            for (int y = std::max(0, first - kLeadInRows); y < last; ++y) {
                own.Find(m, *search, y);
                uint8_t* out = y < first ? leadIn.data()
                                         : m.destination.bits +
                                               m.destination.Stride() * static_cast<size_t>(y);
                DiffuseRow(m, search, &own, errors.data(), limitTable + 255, y, out);
            }
            m.exact->Give(search);
        },
        [&](int done) {
            m.band.Advance(m.source.Stride() * static_cast<uint64_t>(done - reported));
            reported = done;
        });
}

} // namespace

void ReduceColors(CPluginHost* host, uint16_t* cells, const CVImage& source, CVImage& destination,
                  const ReductionOptions& options, WorkProgress& band) {
    // A depth cannot hold more colours than its indices reach.
    const int requested = std::clamp(options.colors, 2, 1 << std::clamp(options.bits, 1, 8));
    int n = requested;
    const bool hasTransparent = options.transparency.hasColor != 0 && n > 2;
    if (hasTransparent) {
        --n; // one entry stays for the transparent colour
    }
    const bool dither = options.ditherLevel > 0;
    // High quality maps through exact nearest entries (its diffusion keeps
    // an error row per band of its own); fixed palettes and black and white
    // through the cell map.
    const bool exactSearch = options.highQuality && options.fixedPalette == nullptr && n > 2;
    int16_t* errors = nullptr;
    int limit[511];
    if (dither) {
        BuildErrorLimit(options.ditherLevel, options.bits == 1, limit);
    }
    if (dither && !exactSearch) {
        const size_t bytes = (static_cast<size_t>(source.Width()) + 2) * 3 * sizeof(int16_t);
        errors = reinterpret_cast<int16_t*>(host->ScratchAlloc(bytes));
        if (errors == nullptr) {
            host->RaiseImageError(CVImageError::OutOfMemory);
        }
        std::memset(errors, 0, bytes);
    }

    RGBQUAD palette[256] = {};
    int paletteSize = 0;
    int searched = 0; // entries the nearest-colour search may choose
    int transparentIndex = -1;
    const RGBQUAD transparent = options.transparency.color;
    if (n == 2) {
        palette[0] = RGBQUAD{0, 0, 0, 0};
        palette[1] = RGBQUAD{255, 255, 255, 0};
        paletteSize = searched = 2;
    } else if (options.fixedPalette != nullptr) {
        std::memcpy(palette, options.fixedPalette, static_cast<size_t>(n) * sizeof(RGBQUAD));
        paletteSize = searched = n;
    } else {
        const RGBQUAD* skip = hasTransparent ? &transparent : nullptr;
        if (options.highQuality) {
            try {
                paletteSize = searched = BuildQualityPalette(source, skip, n, palette);
            } catch (const std::bad_alloc&) {
                host->RaiseImageError(CVImageError::OutOfMemory);
            }
        } else {
            std::memset(cells, 0, kHistogramBytes);
            CountColors(source, cells, skip);
            paletteSize = searched = MedianCut(cells, n, palette);
        }
        for (int i = 0; i < paletteSize; ++i) {
            palette[i].rgbBlue = SnapToWebLevel(palette[i].rgbBlue, options.tolerance);
            palette[i].rgbGreen = SnapToWebLevel(palette[i].rgbGreen, options.tolerance);
            palette[i].rgbRed = SnapToWebLevel(palette[i].rgbRed, options.tolerance);
        }
    }
    if (hasTransparent) {
        // The transparent colour keeps its exact value at the last entry and
        // is only ever given to pixels of exactly that colour.
        palette[n] = RGBQUAD{transparent.rgbBlue, transparent.rgbGreen, transparent.rgbRed, 0};
        transparentIndex = n;
        paletteSize = n + 1;
    }

    std::memset(cells, 0, kHistogramBytes);
    InverseColorMap map(cells, palette, searched, false);

    destination.Create(source.Width(), source.Height(), options.bits, requested,
                       &options.transparency, source.header.biXPelsPerMeter,
                       source.header.biYPelsPerMeter);

    std::optional<NearestEntryPool> exact;
    if (exactSearch) {
        exact.emplace(palette, searched);
    }
    MappingContext context{source,       destination,
                           map,          palette,
                           options.bits, hasTransparent,
                           transparent,  transparentIndex,
                           band,         exact ? &*exact : nullptr};
    try {
        if (dither && exact) {
            MapWithDiffusionInBands(context, limit);
        } else if (dither) {
            MapWithDiffusion(context, errors, limit);
        } else {
            MapDirectly(context, options.threshold);
        }
    } catch (const std::bad_alloc&) {
        host->RaiseImageError(CVImageError::OutOfMemory); // a search or a band's rows
    }

    std::memset(destination.palette, 0, sizeof destination.palette);
    std::memcpy(destination.palette, palette, static_cast<size_t>(paletteSize) * sizeof(RGBQUAD));
}

} // namespace pixmill::cedarcol
