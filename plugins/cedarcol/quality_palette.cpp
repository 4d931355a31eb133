#include "quality_palette.h"

#include "pixmill/parallel_rows.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace pixmill::cedarcol {

namespace {

// A colour of the picture (blue, green, red) and how many pixels it stands for.
struct Point {
    float c[3];
    float weight;
};

// Weighted sums over a set of points; its squared error about its mean
// follows from them.
struct Moments {
    double weight = 0;
    double sum[3] = {0, 0, 0};
    double squares = 0;
    size_t points = 0;

    void Add(const Point& p) {
        const double w = p.weight;
        weight += w;
        for (int c = 0; c < 3; ++c) {
            sum[c] += w * p.c[c];
            squares += w * p.c[c] * p.c[c];
        }
        ++points;
    }
    void Add(const Moments& m) {
        weight += m.weight;
        for (int c = 0; c < 3; ++c) {
            sum[c] += m.sum[c];
        }
        squares += m.squares;
        points += m.points;
    }
    Moments Minus(const Moments& m) const {
        Moments rest = *this;
        rest.weight -= m.weight;
        for (int c = 0; c < 3; ++c) {
            rest.sum[c] -= m.sum[c];
        }
        rest.squares -= m.squares;
        rest.points -= m.points;
        return rest;
    }
    double Error() const {
        if (weight <= 0) {
            return 0;
        }
        const double centred =
            squares - (sum[0] * sum[0] + sum[1] * sum[1] + sum[2] * sum[2]) / weight;
        return std::max(0.0, centred);
    }
};

// ------------------------------------------------------------- gathering

constexpr int kFineSide = 128; // cells of 2 x 2 x 2 levels
constexpr size_t kFineCells = size_t{kFineSide} * kFineSide * kFineSide;
// Above this many occupied cells (noise, synthetic pictures) neighbouring
// cells are merged in eights, which bounds the work of the later steps.
constexpr size_t kMostPoints = size_t{1} << 18;

// Pixels of a cell and how many of them have each component odd: with the
// cell's position that gives the exact sum of its colours.
struct FineCell {
    uint32_t count;
    uint32_t odd[3];
};

// Zeroed memory from calloc: large blocks come as untouched zero pages, so a
// small picture pays only for the cells it reaches.
struct Free {
    void operator()(void* block) const { std::free(block); }
};
template <class T> std::unique_ptr<T[], Free> Zeroed(size_t count) {
    void* block = std::calloc(count, sizeof(T));
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    return std::unique_ptr<T[], Free>(static_cast<T*>(block));
}

struct Gathered {
    std::vector<Point> points;
    std::vector<RGBQUAD> distinct; // filled when there are no more than wanted
};

// The cells of a band of rows, and the distinct colours it holds while there
// are no more than wanted (one more once there are).
struct Band {
    std::unique_ptr<FineCell[], Free> cells;
    std::unique_ptr<uint64_t[], Free> occupied; // a bit per cell reached
    std::vector<uint32_t> colours;              // in the order first reached
};

Band GatherBand(const CVImage& source, const RGBQUAD* skip, int wanted, int first, int last,
                int rowStep, bool touchFirst) {
    Band band;
    band.cells = Zeroed<FineCell>(kFineCells);
    FineCell* const cells = band.cells.get();
    if (touchFirst) {
        // Pages of fresh memory come much faster in order than in the random
        // order of colours, above all when several threads fault at once.
        volatile auto* const bytes = reinterpret_cast<volatile uint8_t*>(cells);
        for (size_t at = 0; at < kFineCells * sizeof(FineCell); at += 4096) {
            bytes[at] = 0;
        }
    }
    band.occupied = Zeroed<uint64_t>(kFineCells / 64);
    uint64_t* const occupied = band.occupied.get();
    // Distinct colours are told apart in a bit per colour until there are
    // more than wanted.
    constexpr size_t kSeenWords = size_t{1} << 18;
    const auto seen = Zeroed<uint64_t>(kSeenWords);
    bool tracking = true;
    for (int y = (first + rowStep - 1) / rowStep * rowStep; y < last; y += rowStep) {
        const uint8_t* p = source.Row(y);
        for (int x = 0; x < source.Width(); ++x, p += 3) {
            if (skip != nullptr && p[0] == skip->rgbBlue && p[1] == skip->rgbGreen &&
                p[2] == skip->rgbRed) {
                continue;
            }
            if (tracking) {
                const uint32_t colour = p[0] | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16;
                uint64_t& word = seen[colour >> 6];
                const uint64_t bit = uint64_t{1} << (colour & 63);
                if ((word & bit) == 0) {
                    word |= bit;
                    band.colours.push_back(colour);
                    tracking = band.colours.size() <= static_cast<size_t>(wanted);
                }
            }
            const uint32_t at =
                uint32_t{p[0]} >> 1 << 14 | uint32_t{p[1]} >> 1 << 7 | uint32_t{p[2]} >> 1;
            FineCell& cell = cells[at];
            if (cell.count++ == 0) {
                occupied[at >> 6] |= uint64_t{1} << (at & 63);
            }
            cell.odd[0] += p[0] & 1u;
            cell.odd[1] += p[1] & 1u;
            cell.odd[2] += p[2] & 1u;
        }
    }
    return band;
}

// Pixels per band of rows gathered on a thread of its own, and the most
// bands. Every band has a table of its own (32 MB, all of it touched when
// there are several), so smaller pictures, whose gathering costs less than
// touching a table, keep to one.
constexpr uint64_t kBandPixels = uint64_t{1} << 22;
constexpr int kMostBands = 4;

int BandsFor(uint64_t pixels) {
    const uint64_t byPixels = std::max<uint64_t>(1, pixels / kBandPixels);
    return static_cast<int>(std::min<uint64_t>(
        byPixels, static_cast<uint64_t>(std::min(PixelLoopThreads(), kMostBands))));
}

// The colour at the mean of a cell's pixels; i is the cell's place in the
// table.
Point PointOf(size_t i, const FineCell& cell) {
    const size_t at[3] = {i >> 14, (i >> 7) & 127, i & 127};
    Point point{};
    point.weight = static_cast<float>(cell.count);
    for (int c = 0; c < 3; ++c) {
        point.c[c] = static_cast<float>(2.0 * static_cast<double>(at[c]) +
                                        static_cast<double>(cell.odd[c]) / cell.count);
    }
    return point;
}

RGBQUAD QuadOf(uint32_t colour) {
    return RGBQUAD{static_cast<uint8_t>(colour), static_cast<uint8_t>(colour >> 8),
                   static_cast<uint8_t>(colour >> 16), 0};
}

// Up to this many pixels the cells are found by sorting the colours, which
// costs less than reaching the pages of a table of every cell.
constexpr uint64_t kSortedPixels = uint64_t{1} << 16;

Gathered GatherSorted(const CVImage& source, const RGBQUAD* skip, int wanted) {
    // Per pixel its cell's place, then the low bit of each component.
    std::vector<uint32_t> keys;
    keys.reserve(static_cast<size_t>(source.Width()) * static_cast<size_t>(source.Height()));
    for (int y = 0; y < source.Height(); ++y) {
        const uint8_t* p = source.Row(y);
        for (int x = 0; x < source.Width(); ++x, p += 3) {
            if (skip != nullptr && p[0] == skip->rgbBlue && p[1] == skip->rgbGreen &&
                p[2] == skip->rgbRed) {
                continue;
            }
            keys.push_back(
                (uint32_t{p[0]} >> 1 << 14 | uint32_t{p[1]} >> 1 << 7 | uint32_t{p[2]} >> 1) << 3 |
                (p[0] & 1u) << 2 | (p[1] & 1u) << 1 | (p[2] & 1u));
        }
    }
    std::sort(keys.begin(), keys.end());
    Gathered gathered;
    size_t distinct = 0;
    for (size_t k = 0; k < keys.size() && distinct <= static_cast<size_t>(wanted); ++k) {
        distinct += k == 0 || keys[k] != keys[k - 1] ? 1 : 0;
    }
    if (distinct <= static_cast<size_t>(wanted)) {
        // The colours themselves, in the order of their packed values.
        std::vector<uint32_t> colours;
        for (size_t k = 0; k < keys.size(); ++k) {
            if (k == 0 || keys[k] != keys[k - 1]) {
                const uint32_t at = keys[k] >> 3;
                colours.push_back(((at >> 14) << 1 | (keys[k] >> 2 & 1)) |
                                  (((at >> 7) & 127) << 1 | (keys[k] >> 1 & 1)) << 8 |
                                  ((at & 127) << 1 | (keys[k] & 1)) << 16);
            }
        }
        std::sort(colours.begin(), colours.end());
        for (const uint32_t colour : colours) {
            gathered.distinct.push_back(QuadOf(colour));
        }
        return gathered;
    }
    for (size_t k = 0; k < keys.size();) {
        const uint32_t at = keys[k] >> 3;
        FineCell cell{};
        for (; k < keys.size() && keys[k] >> 3 == at; ++k) {
            ++cell.count;
            cell.odd[0] += keys[k] >> 2 & 1;
            cell.odd[1] += keys[k] >> 1 & 1;
            cell.odd[2] += keys[k] & 1;
        }
        gathered.points.push_back(PointOf(at, cell));
    }
    return gathered;
}

Gathered Gather(const CVImage& source, const RGBQUAD* skip, int wanted) {
    // Counts stay within 32 bits: only a picture of 2^32 pixels (the largest
    // size allowed) takes every other row.
    const uint64_t pixels = uint64_t(source.Width()) * uint64_t(source.Height());
    if (pixels <= kSortedPixels) {
        return GatherSorted(source, skip, wanted);
    }
    const int rowStep = pixels > UINT32_MAX ? 2 : 1;
    const int bandCount = std::clamp(BandsFor(pixels), 1, std::max(1, source.Height()));
    // Bands are rows split evenly; each is gathered into its own table and
    // the tables are then added into the first, so the cells hold the same
    // counts whatever the number of bands.
    std::vector<Band> bands(static_cast<size_t>(bandCount));
    const auto height = static_cast<int64_t>(source.Height());
    ParallelRows(
        bandCount, 1, bandCount,
        [&](int first, int last) {
            for (int b = first; b < last; ++b) {
                bands[static_cast<size_t>(b)] = GatherBand(
                    source, skip, wanted, static_cast<int>(height * b / bandCount),
                    static_cast<int>(height * (b + 1) / bandCount), rowStep, bandCount > 1);
            }
        },
        [](int) {});
    FineCell* const cells = bands[0].cells.get();
    uint64_t* const marks = bands[0].occupied.get();
    std::vector<uint32_t> colours = std::move(bands[0].colours);
    for (size_t b = 1; b < bands.size(); ++b) {
        const FineCell* const from = bands[b].cells.get();
        const uint64_t* const fromMarks = bands[b].occupied.get();
        for (size_t w = 0; w < kFineCells / 64; ++w) {
            marks[w] |= fromMarks[w];
            for (uint64_t word = fromMarks[w]; word != 0; word &= word - 1) {
                const size_t at = 64 * w + static_cast<size_t>(std::countr_zero(word));
                FineCell& cell = cells[at];
                cell.count += from[at].count;
                for (int c = 0; c < 3; ++c) {
                    cell.odd[c] += from[at].odd[c];
                }
            }
        }
        colours.insert(colours.end(), bands[b].colours.begin(), bands[b].colours.end());
        bands[b] = Band{};
    }
    std::sort(colours.begin(), colours.end());
    colours.erase(std::unique(colours.begin(), colours.end()), colours.end());

    Gathered gathered;
    if (colours.size() <= static_cast<size_t>(wanted)) {
        for (const uint32_t colour : colours) {
            gathered.distinct.push_back(QuadOf(colour));
        }
        return gathered;
    }

    // The cells reached, in colour order.
    std::vector<uint32_t> occupied;
    for (size_t w = 0; w < kFineCells / 64; ++w) {
        for (uint64_t word = marks[w]; word != 0; word &= word - 1) {
            occupied.push_back(static_cast<uint32_t>(64 * w) +
                               static_cast<uint32_t>(std::countr_zero(word)));
        }
    }
    if (occupied.size() <= kMostPoints) {
        gathered.points.reserve(occupied.size());
        for (const size_t i : occupied) {
            gathered.points.push_back(PointOf(i, cells[i]));
        }
        return gathered;
    }
    // Merged in eights: cells of 4 x 4 x 4 levels.
    constexpr size_t kCoarseSide = kFineSide / 2;
    struct CoarseCell {
        uint64_t count;
        uint64_t sum[3];
    };
    std::vector<CoarseCell> coarse(kCoarseSide * kCoarseSide * kCoarseSide);
    for (const size_t i : occupied) {
        const FineCell& cell = cells[i];
        const size_t at[3] = {i >> 14, (i >> 7) & 127, i & 127};
        CoarseCell& into = coarse[(at[0] >> 1) << 12 | (at[1] >> 1) << 6 | at[2] >> 1];
        into.count += cell.count;
        for (int c = 0; c < 3; ++c) {
            into.sum[c] += 2 * at[c] * cell.count + cell.odd[c];
        }
    }
    for (const CoarseCell& cell : coarse) {
        if (cell.count == 0) {
            continue;
        }
        Point point{};
        point.weight = static_cast<float>(cell.count);
        for (int c = 0; c < 3; ++c) {
            point.c[c] = static_cast<float>(static_cast<double>(cell.sum[c]) /
                                            static_cast<double>(cell.count));
        }
        gathered.points.push_back(point);
    }
    return gathered;
}

// ------------------------------------------------------------- splitting

// A run of points [begin, end) and the split of it that lowers the squared
// error most: points whose level on axis is at most cut go first.
struct Box {
    size_t begin, end;
    Moments moments;
    double gain = 0;
    int axis = -1;
    int cut = 0;
};

int Level(float value) {
    return std::clamp(static_cast<int>(value), 0, 255);
}

void PlanSplit(const std::vector<Point>& points, Box& box) {
    box.axis = -1;
    box.gain = 0;
    if (box.end - box.begin < 2) {
        return;
    }
    const double whole = box.moments.Error();
    // The points' moments by level on each axis, in one pass over them.
    std::vector<Moments> levels(3 * 256);
    for (size_t i = box.begin; i < box.end; ++i) {
        for (int axis = 0; axis < 3; ++axis) {
            levels[static_cast<size_t>(256 * axis + Level(points[i].c[axis]))].Add(points[i]);
        }
    }
    for (int axis = 0; axis < 3; ++axis) {
        Moments first;
        for (int cut = 0; cut < 255; ++cut) {
            first.Add(levels[static_cast<size_t>(256 * axis + cut)]);
            if (first.points == 0) {
                continue;
            }
            if (first.points == box.moments.points) {
                break;
            }
            const double gain = whole - first.Error() - box.moments.Minus(first).Error();
            if (box.axis < 0 || gain > box.gain) {
                box.gain = gain;
                box.axis = axis;
                box.cut = cut;
            }
        }
    }
}

Moments MomentsOf(const std::vector<Point>& points, size_t begin, size_t end) {
    Moments moments;
    for (size_t i = begin; i < end; ++i) {
        moments.Add(points[i]);
    }
    return moments;
}

// Splits the points greedily into at most wanted boxes, reordering them.
std::vector<Box> SplitBoxes(std::vector<Point>& points, int wanted) {
    std::vector<Box> boxes;
    boxes.push_back(Box{0, points.size(), MomentsOf(points, 0, points.size())});
    PlanSplit(points, boxes.back());
    while (boxes.size() < static_cast<size_t>(wanted)) {
        Box* picked = nullptr;
        for (Box& box : boxes) {
            if (box.axis >= 0 && (picked == nullptr || box.gain > picked->gain)) {
                picked = &box;
            }
        }
        if (picked == nullptr) {
            break;
        }
        const int axis = picked->axis, cut = picked->cut;
        const auto middle =
            std::partition(points.begin() + static_cast<std::ptrdiff_t>(picked->begin),
                           points.begin() + static_cast<std::ptrdiff_t>(picked->end),
                           [&](const Point& p) { return Level(p.c[axis]) <= cut; });
        const auto split = static_cast<size_t>(middle - points.begin());
        Box second{split, picked->end, MomentsOf(points, split, picked->end)};
        picked->end = split;
        picked->moments = MomentsOf(points, picked->begin, split);
        PlanSplit(points, *picked);
        PlanSplit(points, second);
        boxes.push_back(second);
    }
    return boxes;
}

// ------------------------------------------------------------- Lloyd steps

struct Centre {
    float c[3];
};

float SquaredDistance(const float* a, const float* b) {
    const float d0 = a[0] - b[0], d1 = a[1] - b[1], d2 = a[2] - b[2];
    return d0 * d0 + d1 * d1 + d2 * d2;
}

// The nearest centre of a point. Each centre keeps its nearest others
// sorted by distance; a point starts at its previous centre c and walks that
// list until a centre lies so far from c that, by the triangle inequality, it
// cannot be nearer to the point than the best found. A point that walks off
// the end of the list is compared with every centre.
class CentreSearch {
  public:
    CentreSearch(const std::vector<Centre>& centres, int threads)
        : centres(centres), kept(std::min<size_t>(kKept, centres.size() - 1)),
          neighbours(centres.size() * kept), groups((centres.size() + kLanes - 1) / kLanes * 3) {
        const size_t count = centres.size();
        for (size_t i = 0; i < groups.size() / 3 * kLanes; ++i) {
            for (int c = 0; c < 3; ++c) {
                // Past the last centre: far enough that no point is nearer.
                groups[i / kLanes * 3 + static_cast<size_t>(c)][i % kLanes] =
                    i < count ? centres[i].c[c] : 1e18f;
            }
        }
        std::vector<float> distances(count * count);
        for (size_t a = 0; a < count; ++a) {
            for (size_t b = a + 1; b < count; ++b) {
                const float d = std::sqrt(SquaredDistance(centres[a].c, centres[b].c));
                distances[a * count + b] = distances[b * count + a] = d;
            }
        }
        // Each centre's list on its own: shared out between threads.
        ParallelRows(
            static_cast<int>(count), 32, threads,
            [&](int first, int last) {
                std::vector<Neighbour> others(count - 1);
                for (auto a = static_cast<size_t>(first); a < static_cast<size_t>(last); ++a) {
                    for (size_t b = 0, k = 0; b < count; ++b) {
                        if (b != a) {
                            others[k++] = {distances[a * count + b], static_cast<int>(b)};
                        }
                    }
                    std::partial_sort(others.begin(),
                                      others.begin() + static_cast<std::ptrdiff_t>(kept),
                                      others.end(), [](const Neighbour& x, const Neighbour& y) {
                                          return x.distance < y.distance ||
                                                 (x.distance == y.distance && x.index < y.index);
                                      });
                    std::copy(others.begin(), others.begin() + static_cast<std::ptrdiff_t>(kept),
                              neighbours.begin() + static_cast<std::ptrdiff_t>(a * kept));
                }
            },
            [](int) {});
    }

    // The nearest centre, starting from previous; distance receives the
    // squared distance to it.
    int Find(const Point& point, int previous, float& distance) const {
        int best = previous;
        float bestSquared = SquaredDistance(point.c, centres[static_cast<size_t>(previous)].c);
        const float own = std::sqrt(bestSquared);
        float reach = 2 * own; // own + distance to the best so far
        const Neighbour* list = &neighbours[static_cast<size_t>(previous) * kept];
        size_t k = 0;
        for (; k < kept && list[k].distance < reach; ++k) {
            const float d = SquaredDistance(point.c, centres[static_cast<size_t>(list[k].index)].c);
            if (d < bestSquared) {
                bestSquared = d;
                best = list[k].index;
                reach = own + std::sqrt(d);
            }
        }
        if (k == kept && kept + 1 < centres.size()) {
            // Every centre, a group at a time; the first of the nearest wins.
            alignas(16) float squared[kMostCentres];
            const Lanes x = Lanes{} + point.c[0], y = Lanes{} + point.c[1],
                        z = Lanes{} + point.c[2];
            Lanes least = Lanes{} + bestSquared;
            for (size_t g = 0; g < groups.size() / 3; ++g) {
                const Lanes d0 = x - groups[3 * g], d1 = y - groups[3 * g + 1],
                            d2 = z - groups[3 * g + 2];
                const Lanes d = d0 * d0 + d1 * d1 + d2 * d2;
                std::memcpy(&squared[g * kLanes], &d, sizeof d);
                least = d < least ? d : least;
            }
            float nearest = least[0];
            for (size_t lane = 1; lane < kLanes; ++lane) {
                nearest = std::min(nearest, least[lane]);
            }
            if (nearest < bestSquared) {
                bestSquared = nearest;
                best = static_cast<int>(std::find(squared, squared + centres.size(), nearest) -
                                        squared);
            }
        }
        distance = bestSquared;
        return best;
    }

  private:
    static constexpr size_t kKept = 24;
    static constexpr size_t kLanes = 4;
    static constexpr size_t kMostCentres = 256;
    using Lanes = float __attribute__((vector_size(sizeof(float) * kLanes)));
    struct Neighbour {
        float distance;
        int index;
    };
    const std::vector<Centre>& centres;
    size_t kept;
    std::vector<Neighbour> neighbours; // per centre, its nearest others, nearest first
    std::vector<Lanes> groups;         // centres kLanes at a time: their x, y and z
};

uint8_t Rounded(float value) {
    return static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
}

uint32_t PackedOf(const Centre& centre) {
    return Rounded(centre.c[0]) | uint32_t{Rounded(centre.c[1])} << 8 |
           uint32_t{Rounded(centre.c[2])} << 16;
}

// Moves the wasted centres onto the colours with the largest share of the
// error (pixels times squared distance from their centre in before), one
// colour each; colours already exact stay unclaimed.
void MoveToWorst(const std::vector<Point>& points, const std::vector<Centre>& before,
                 const std::vector<int>& nearest, const std::vector<size_t>& wasted,
                 std::vector<Centre>& centres) {
    std::vector<float> errors(points.size());
    std::vector<size_t> worst(points.size());
    for (size_t i = 0; i < points.size(); ++i) {
        errors[i] = points[i].weight *
                    SquaredDistance(points[i].c, before[static_cast<size_t>(nearest[i])].c);
        worst[i] = i;
    }
    const size_t claimed = std::min(wasted.size(), worst.size());
    std::partial_sort(worst.begin(), worst.begin() + static_cast<std::ptrdiff_t>(claimed),
                      worst.end(), [&](size_t a, size_t b) {
                          return errors[a] > errors[b] || (errors[a] == errors[b] && a < b);
                      });
    for (size_t k = 0; k < claimed && errors[worst[k]] > 0; ++k) {
        const Point& point = points[worst[k]];
        for (int c = 0; c < 3; ++c) {
            centres[wasted[k]].c[c] = point.c[c];
        }
    }
}

// More steps go on lowering the error of photographs, by under 1 % for the
// next twelve, at a fifth of the conversion's time.
constexpr int kMostSteps = 12;
// Steps stop once they lower the error by less than this share.
constexpr double kSettled = 1e-4;
// Points per share of a step's work.
constexpr size_t kChunkPoints = 2048;

// Lloyd steps: every point goes to its nearest centre, every centre to the
// mean of its points.
void Refine(const std::vector<Point>& points, std::vector<Centre>& centres,
            std::vector<int>& nearest) {
    const size_t count = centres.size();
    if (count < 2) {
        return; // the box mean is the answer already
    }
    // Each chunk of points has partial sums of its own (per centre the
    // weighted components and the weight, then the chunk's error); they are
    // added in chunk order, so the palette does not depend on the threads.
    const size_t stride = 4 * count + 1;
    const size_t chunks = (points.size() + kChunkPoints - 1) / kChunkPoints;
    std::vector<double> partial(chunks * stride);
    std::vector<double> sums(4 * count);
    std::vector<Centre> before(count);
    std::vector<uint32_t> packed(count);
    const int threads = PixelLoopThreads();
    double previousError = std::numeric_limits<double>::max();
    for (int step = 0; step < kMostSteps; ++step) {
        const CentreSearch search(centres, threads);
        ParallelRows(
            static_cast<int>(chunks), 1, threads,
            [&](int first, int last) {
                for (auto chunk = static_cast<size_t>(first); chunk < static_cast<size_t>(last);
                     ++chunk) {
                    double* chunkSums = &partial[chunk * stride];
                    std::fill(chunkSums, chunkSums + stride, 0.0);
                    double error = 0;
                    const size_t end = std::min(points.size(), (chunk + 1) * kChunkPoints);
                    for (size_t i = chunk * kChunkPoints; i < end; ++i) {
                        const Point& point = points[i];
                        float distance = 0;
                        const int best = search.Find(point, nearest[i], distance);
                        nearest[i] = best;
                        error += double{point.weight} * distance;
                        double* sum = &chunkSums[4 * static_cast<size_t>(best)];
                        sum[0] += double{point.weight} * point.c[0];
                        sum[1] += double{point.weight} * point.c[1];
                        sum[2] += double{point.weight} * point.c[2];
                        sum[3] += point.weight;
                    }
                    chunkSums[4 * count] = error;
                }
            },
            [](int) {});
        std::fill(sums.begin(), sums.end(), 0.0);
        double error = 0;
        for (size_t chunk = 0; chunk < chunks; ++chunk) {
            const double* chunkSums = &partial[chunk * stride];
            for (size_t k = 0; k < 4 * count; ++k) {
                sums[k] += chunkSums[k];
            }
            error += chunkSums[4 * count];
        }
        before = centres;
        // Entries that hold no colour, or that would round onto another
        // entry, are wasted: they move to the worst represented colours.
        std::vector<size_t> wasted;
        std::vector<size_t> held;
        for (size_t k = 0; k < count; ++k) {
            const double* sum = &sums[4 * k];
            if (sum[3] > 0) {
                for (int c = 0; c < 3; ++c) {
                    centres[k].c[c] = static_cast<float>(sum[c] / sum[3]);
                }
                packed[k] = PackedOf(centres[k]);
                held.push_back(k);
            } else {
                wasted.push_back(k);
            }
        }
        std::stable_sort(held.begin(), held.end(),
                         [&](size_t a, size_t b) { return packed[a] < packed[b]; });
        for (size_t k = 1; k < held.size(); ++k) {
            if (packed[held[k]] == packed[held[k - 1]]) {
                wasted.push_back(held[k]);
            }
        }
        if (!wasted.empty()) {
            MoveToWorst(points, before, nearest, wasted, centres);
        } else if (previousError - error < kSettled * error) {
            break;
        }
        previousError = error;
    }
}

} // namespace

int BuildQualityPalette(const CVImage& source, const RGBQUAD* skip, int wanted, RGBQUAD* palette) {
    wanted = std::clamp(wanted, 1, 256);
    Gathered gathered = Gather(source, skip, wanted);
    if (gathered.points.empty()) {
        if (gathered.distinct.empty()) {
            palette[0] = RGBQUAD{0, 0, 0, 0};
            return 1;
        }
        std::copy(gathered.distinct.begin(), gathered.distinct.end(), palette);
        return static_cast<int>(gathered.distinct.size());
    }
    std::vector<Point>& points = gathered.points;
    const std::vector<Box> boxes = SplitBoxes(points, wanted);
    std::vector<Centre> centres(boxes.size());
    std::vector<int> nearest(points.size());
    for (size_t k = 0; k < boxes.size(); ++k) {
        const Moments& m = boxes[k].moments;
        for (int c = 0; c < 3; ++c) {
            centres[k].c[c] = static_cast<float>(m.sum[c] / m.weight);
        }
        for (size_t i = boxes[k].begin; i < boxes[k].end; ++i) {
            nearest[i] = static_cast<int>(k);
        }
    }
    Refine(points, centres, nearest);
    // An entry that a last move put onto another is left out.
    std::vector<uint32_t> taken;
    int count = 0;
    for (const Centre& centre : centres) {
        const uint32_t packed = PackedOf(centre);
        if (std::find(taken.begin(), taken.end(), packed) == taken.end()) {
            taken.push_back(packed);
            palette[count++] =
                RGBQUAD{Rounded(centre.c[0]), Rounded(centre.c[1]), Rounded(centre.c[2]), 0};
        }
    }
    return count;
}

} // namespace pixmill::cedarcol
