#include "filters.h"

#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/plugin_host.h"
#include "pixmill/progress.h"
#include "pixmill/work_progress.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace pixmill::elmpass {

namespace {

// ------------------------------------------------------------------ clamping

// Identity over 0..255 with 768 entries of 0 below and 768 entries of 255
// above, so that sums of a few values need no comparisons.
constexpr int kClampPad = 768;

struct ClampTable {
    uint8_t entries[kClampPad + 256 + kClampPad];
    constexpr ClampTable() : entries() {
        for (int i = 0; i < kClampPad + 256 + kClampPad; ++i) {
            const int v = i - kClampPad;
            entries[i] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
        }
    }
};
constexpr ClampTable kClamp{};

// Sharpen at high strengths reaches beyond the table's padding
// (255 + 100 * 255 / 15); such values take the table's end entries.
inline uint8_t Clamp(int v) {
    return kClamp.entries[std::clamp(v, -kClampPad, 255 + kClampPad) + kClampPad];
}

// ------------------------------------------------------------------ planes

// Values in storage order: row r starts at bits + r * stride; a value's
// neighbours in the same channel lie step bytes away.
struct Plane {
    uint8_t* bits;
    size_t stride;
    int width;
    int height;
    int step; // bytes per pixel: 1 (grey) or 3

    uint8_t* Row(int r) const { return bits + stride * static_cast<size_t>(r); }
    int RowBytes() const { return width * step; }
};

void CopyPlane(const Plane& in, const Plane& out) {
    std::memcpy(out.bits, in.bits, in.stride * static_cast<size_t>(in.height));
}

void ClearPadding(const Plane& out, uint8_t* row) {
    std::memset(row + out.RowBytes(), 0, out.stride - static_cast<size_t>(out.RowBytes()));
}

void CheckSource(const CVImage& source) {
    const int bits = source.BitCount();
    if (source.bits == nullptr || source.Width() < 1 || source.Height() < 1 ||
        (bits != 1 && bits != 4 && bits != 8 && bits != 24)) {
        source.host->RaiseImageError(CVImageError::UnsupportedFormat);
    }
}

Plane PlaneOf(const CVImage& image) {
    return Plane{image.bits, image.Stride(), image.Width(), image.Height(),
                 image.BitCount() == 24 ? 3 : 1};
}

// Runs a plane filter from source into a new destination. An 8-bit grey
// image whose palette is the 256-entry ramp is filtered on its indices. Any
// other grey palette is filtered on the grey levels its entries stand for,
// and each result goes back to the palette entry of the nearest level, so
// that no pixel points past the palette.
template <class PlaneFilter>
void RunFilter(const CVImage& source, CVImage& destination, PlaneFilter filter) {
    CheckSource(source);
    if (!AcceptsNeighbourhoodFilter(source)) {
        source.host->RaiseImageError(CVImageError::UnsupportedFormat);
    }
    if (&source == &destination) {
        source.host->RaiseImageError(CVImageError::MismatchedFormat);
    }
    destination.CreateLike(source);
    if (source.BitCount() == 24 || source.IsGrayRamp()) {
        filter(PlaneOf(source), PlaneOf(destination));
        return;
    }

    CVImage levelsIn(source.host);
    CVImage levelsOut(source.host);
    levelsIn.Create(source.Width(), source.Height(), 8, 256, nullptr);
    levelsOut.Create(source.Width(), source.Height(), 8, 256, nullptr);
    const Plane in = PlaneOf(levelsIn);
    const Plane out = PlaneOf(levelsOut);
    const Plane original = PlaneOf(source);
    for (int r = 0; r < in.height; ++r) {
        const uint8_t* from = original.Row(r);
        uint8_t* to = in.Row(r);
        for (int x = 0; x < in.width; ++x) {
            to[x] = source.palette[from[x]].rgbRed;
        }
        ClearPadding(in, to);
    }
    filter(in, out);

    uint8_t nearest[256];
    for (int level = 0; level < 256; ++level) {
        int best = 0;
        int bestDistance = 256;
        for (int i = 0; i < source.paletteCount; ++i) {
            const int distance = std::abs(source.palette[i].rgbRed - level);
            if (distance < bestDistance) {
                best = i;
                bestDistance = distance;
            }
        }
        nearest[level] = static_cast<uint8_t>(best);
    }
    const Plane result = PlaneOf(destination);
    for (int r = 0; r < out.height; ++r) {
        const uint8_t* from = out.Row(r);
        uint8_t* to = result.Row(r);
        for (int x = 0; x < out.width; ++x) {
            to[x] = nearest[from[x]];
        }
        ClearPadding(result, to);
    }
}

// ------------------------------------------------------------ Smooth, Sharpen

// Both filters see a value c with the sum N of its eight neighbours. On the
// first and last stored rows and columns the neighbours outside the image
// are mirrored across the pixel; the two corners of the first stored row
// have rules of their own.
template <class Rule>
void NeighbourSumFilter(const Plane& in, const Plane& out, const Rule& rule, CVProgress* progress) {
    if (in.width < 2 || in.height < 2) {
        CopyPlane(in, out); // no neighbours on one side: nothing to mirror
        return;
    }
    WorkProgress bar(progress);
    bar.Begin(0, 100, 0, in.height);
    const int s = in.step;
    const int bytes = in.RowBytes();
    const int last = in.height - 1;
    for (int r = 0; r < in.height; ++r) {
        const uint8_t* cur = in.Row(r);
        uint8_t* o = out.Row(r);
        if (r == 0) {
            const uint8_t* dn = in.Row(1);
            for (int i = 0; i < s; ++i) {
                o[i] = rule.FirstCorner(cur[i], cur[i + s]);
            }
            for (int i = s; i < bytes - s; ++i) {
                const int n = cur[i - s] + cur[i + s] + 2 * (dn[i - s] + dn[i] + dn[i + s]);
                o[i] = rule.Value(cur[i], n);
            }
            for (int i = bytes - s; i < bytes; ++i) {
                o[i] = rule.LastCorner(cur[i], cur[i - s]);
            }
        } else if (r == last) {
            const uint8_t* up = in.Row(r - 1);
            for (int i = 0; i < s; ++i) {
                o[i] = rule.Value(cur[i], 2 * (up[i] + 2 * up[i + s] + cur[i + s]));
            }
            for (int i = s; i < bytes - s; ++i) {
                const int n = cur[i - s] + cur[i + s] + 2 * (up[i - s] + up[i] + up[i + s]);
                o[i] = rule.Value(cur[i], n);
            }
            for (int i = bytes - s; i < bytes; ++i) {
                o[i] = rule.Value(cur[i], 2 * (up[i] + 2 * up[i - s] + cur[i - s]));
            }
        } else {
            const uint8_t* up = in.Row(r - 1);
            const uint8_t* dn = in.Row(r + 1);
            for (int i = 0; i < s; ++i) {
                const int n = up[i] + dn[i] + 2 * (up[i + s] + cur[i + s] + dn[i + s]);
                o[i] = rule.Value(cur[i], n);
            }
            for (int i = s; i < bytes - s; ++i) {
                const int n = up[i - s] + up[i] + up[i + s] + cur[i - s] + cur[i + s] + dn[i - s] +
                              dn[i] + dn[i + s];
                o[i] = rule.Value(cur[i], n);
            }
            for (int i = bytes - s; i < bytes; ++i) {
                const int n = up[i] + dn[i] + 2 * (up[i - s] + cur[i - s] + dn[i - s]);
                o[i] = rule.Value(cur[i], n);
            }
        }
        ClearPadding(out, o);
        bar.At(r + 1);
    }
    bar.End();
}

// result = w * N + (1 - 8w) * c rounded to nearest, with w and 1 - 8w held as
// floats. The two weights sum to just under 1, so truncating would darken a
// flat area by a level per pass. For strengths 0..100 both products and
// their sum are exact in double precision (every term is a multiple of 2^-33
// below 2^12), so double arithmetic gives the same result as extended
// precision; the products are tabulated.
class SmoothRule {
  public:
    explicit SmoothRule(int strength) {
        const float w = static_cast<float>(strength * 0.00125);
        const float centre = static_cast<float>(1.0 - 8.0 * static_cast<double>(w));
        for (int n = 0; n <= 8 * 255; ++n) {
            weighted[n] = static_cast<double>(w) * n;
        }
        for (int c = 0; c < 256; ++c) {
            centred[c] = static_cast<double>(centre) * c;
        }
    }
    uint8_t Value(int c, int n) const {
        return Clamp(static_cast<int>(weighted[n] + centred[c] + 0.5));
    }
    static uint8_t FirstCorner(int c, int beside) {
        return static_cast<uint8_t>((c + beside + 1) >> 1);
    }
    static uint8_t LastCorner(int c, int beside) {
        return static_cast<uint8_t>((c + beside + 1) >> 1);
    }

  private:
    double weighted[8 * 255 + 1];
    double centred[256];
};

class SharpenRule {
  public:
    explicit SharpenRule(int strength) : strength(strength) {}
    uint8_t Value(int c, int n) const { return Clamp(c + (strength * (c - (n >> 3))) / 15); }
    static uint8_t FirstCorner(int c, int right) { return Clamp(2 * c - right); }
    static uint8_t LastCorner(int c, int left) { return static_cast<uint8_t>((left + c + 1) >> 1); }

  private:
    int strength;
};

int LimitStrength(int strength) {
    return std::clamp(strength, 0, 100);
}

// ------------------------------------------------------------------ Median

inline void Order(uint8_t& a, uint8_t& b) {
    const uint8_t low = std::min(a, b);
    b = std::max(a, b);
    a = low;
}

// The fifth smallest of nine values by a fixed exchange network.
inline uint8_t MedianOfNine(uint8_t p0, uint8_t p1, uint8_t p2, uint8_t p3, uint8_t p4, uint8_t p5,
                            uint8_t p6, uint8_t p7, uint8_t p8) {
    Order(p1, p2);
    Order(p4, p5);
    Order(p7, p8);
    Order(p0, p1);
    Order(p3, p4);
    Order(p6, p7);
    Order(p1, p2);
    Order(p4, p5);
    Order(p7, p8);
    // p0 <= p1 <= p2, p3 <= p4 <= p5, p6 <= p7 <= p8: the median is the
    // median of (largest of the minima, median of the medians, smallest of
    // the maxima).
    const uint8_t lowMax = std::max(std::max(p0, p3), p6);
    const uint8_t highMin = std::min(std::min(p2, p5), p8);
    uint8_t a = p1, b = p4, c = p7;
    Order(a, b);
    Order(b, c);
    Order(a, b);
    uint8_t x = lowMax, y = b, z = highMin;
    Order(x, y);
    Order(y, z);
    Order(x, y);
    return y;
}

// Copies the plane, then gives every value inside its first and last rows
// and columns the result of value(below, current, above, i, step): the rows
// before and after the value's row in storage order and the value's offset.
template <class ValueOf>
void InteriorFilter(const Plane& in, const Plane& out, CVProgress* progress, ValueOf value) {
    CopyPlane(in, out);
    if (in.width < 3 || in.height < 3) {
        return;
    }
    WorkProgress bar(progress);
    bar.Begin(0, 100, 0, in.height);
    const int s = in.step;
    const int bytes = in.RowBytes();
    for (int r = 1; r < in.height - 1; ++r) {
        const uint8_t* below = in.Row(r - 1);
        const uint8_t* cur = in.Row(r);
        const uint8_t* above = in.Row(r + 1);
        uint8_t* o = out.Row(r);
        for (int i = s; i < bytes - s; ++i) {
            o[i] = value(below, cur, above, i, s);
        }
        bar.At(r + 1);
    }
    bar.End();
}

void MedianPlane(const Plane& in, const Plane& out, CVProgress* progress) {
    InteriorFilter(in, out, progress,
                   [](const uint8_t* up, const uint8_t* cur, const uint8_t* dn, int i, int s) {
                       return MedianOfNine(up[i - s], up[i], up[i + s], cur[i - s], cur[i],
                                           cur[i + s], dn[i - s], dn[i], dn[i + s]);
                   });
}

// ------------------------------------------------------------------ Emboss

// Rows are stored bottom-up: the picture's row above is the next stored row.
void EmbossPlane(const Plane& in, const Plane& out, CVProgress* progress) {
    InteriorFilter(
        in, out, progress,
        [](const uint8_t* below, const uint8_t* cur, const uint8_t* above, int i, int s) {
            const int lit = below[i] + below[i + s] + cur[i + s];
            const int shaded = above[i - s] + above[i] + cur[i - s];
            return Clamp(128 + lit - shaded);
        });
}

// ------------------------------------------------------------------ Despeckle

// The neighbourhood of a value during a despeckle sweep. "upper" is the row
// before in storage order, "lower" the row after.
struct Neighbours {
    int upperLeft, upper, upperRight, left, right, lowerLeft, lower, lowerRight;
};

// One sweep over the interior, in place: rows in storage order, each row from
// left to right. The row before already carries this sweep's values, the row
// after does not yet; in the current row the left neighbour already carries
// its new value and the right one its old value.
template <class Rule> void DespeckleSweep(const Plane& plane, const Rule& rule, WorkProgress& bar) {
    const int s = plane.step;
    const int bytes = plane.RowBytes();
    for (int r = 1; r < plane.height - 1; ++r) {
        const uint8_t* up = plane.Row(r - 1);
        uint8_t* cur = plane.Row(r);
        const uint8_t* dn = plane.Row(r + 1);
        for (int i = s; i < bytes - s; ++i) {
            const Neighbours n{up[i - s],  up[i],     up[i + s], cur[i - s],
                               cur[i + s], dn[i - s], dn[i],     dn[i + s]};
            cur[i] = rule(cur[i], n);
        }
        bar.At(r);
    }
}

inline int CountAbove(const Neighbours& n, int t) {
    return (n.upperLeft > t) + (n.upper > t) + (n.upperRight > t) + (n.left > t) + (n.right > t) +
           (n.lowerLeft > t) + (n.lower > t) + (n.lowerRight > t);
}

inline int CountBelow(const Neighbours& n, int t) {
    return (n.upperLeft < t) + (n.upper < t) + (n.upperRight < t) + (n.left < t) + (n.right < t) +
           (n.lowerLeft < t) + (n.lower < t) + (n.lowerRight < t);
}

// Pairs of opposite neighbours (a, b) with a above l1 and b above l2.
inline int PairsAbove(const Neighbours& n, int l1, int l2) {
    return (n.upperLeft > l1 && n.lowerRight > l2) + (n.upper > l1 && n.lower > l2) +
           (n.upperRight > l1 && n.lowerLeft > l2) + (n.left > l1 && n.right > l2);
}

inline int PairsBelow(const Neighbours& n, int l1, int l2) {
    return (n.upperLeft < l1 && n.lowerRight < l2) + (n.upper < l1 && n.lower < l2) +
           (n.upperRight < l1 && n.lowerLeft < l2) + (n.left < l1 && n.right < l2);
}

void DespeckleGrey(const Plane& plane, int t, WorkProgress& bar) {
    const int first = 1;
    const int last = plane.height - 2; // the last interior row
    bar.Begin(0, 25, first, last);
    DespeckleSweep(
        plane, [t](int c, const Neighbours& n) { return Clamp(c + CountAbove(n, Clamp(c + t))); },
        bar);
    bar.Begin(25, 50, first, last);
    DespeckleSweep(
        plane,
        [t](int c, const Neighbours& n) {
            return Clamp(c + 2 * PairsAbove(n, Clamp(c - t - 1), Clamp(c - t)));
        },
        bar);
    bar.Begin(50, 75, first, last);
    DespeckleSweep(
        plane,
        [t](int c, const Neighbours& n) {
            return Clamp(c - CountBelow(n, Clamp(Clamp(c - 1) + t)));
        },
        bar);
    bar.Begin(75, 100, first, last);
    DespeckleSweep(
        plane,
        [t](int c, const Neighbours& n) {
            return Clamp(c - 2 * PairsBelow(n, Clamp(c - t - 1), Clamp(c - t)));
        },
        bar);
}

// +1 when a is above l1 and b above l2, -1 when a is below l1 and b below l2.
inline int PairVote(int a, int b, int l1, int l2) {
    return (a > l1 && b > l2) - (a < l1 && b < l2);
}

void DespeckleColour(const Plane& plane, int t, WorkProgress& bar) {
    const int first = 1;
    const int last = plane.height - 2; // the last interior row
    bar.Begin(0, 40, first, last);
    DespeckleSweep(
        plane,
        [t](int v, const Neighbours& n) {
            const int level = Clamp(v + t);
            return Clamp(v + CountAbove(n, level) - CountBelow(n, level));
        },
        bar);
    bar.Begin(40, 100, first, last);
    DespeckleSweep(
        plane,
        [t](int v, const Neighbours& n) {
            const int l1 = Clamp(v - t - 1);
            const int l2 = Clamp(v - t);
            const int sum =
                PairVote(n.upperLeft, n.lowerRight, l1, l2) +
                PairVote(n.lowerRight, n.upperLeft, l1, l2) + PairVote(n.upper, n.lower, l1, l2) +
                PairVote(n.lower, n.upper, l1, l2) + PairVote(n.upperRight, n.lowerLeft, l1, l2) +
                PairVote(n.lowerLeft, n.upperRight, l1, l2) + PairVote(n.left, n.right, l1, l2) +
                PairVote(n.right, n.left, l1, l2);
            return Clamp(v + sum);
        },
        bar);
}

} // namespace

uint8_t ClampValue(int v) {
    return Clamp(v);
}

bool AcceptsNeighbourhoodFilter(const CVImage& image) {
    return image.BitCount() == 24 || (image.BitCount() == 8 && image.IsGray());
}

int DespeckleThreshold(int strength) {
    return std::max(((50 - strength) * 2) / 7, 0);
}

void Negative(const CVImage& source, CVImage& destination, CVProgress* progress) {
    CheckSource(source);
    if (&source == &destination) {
        source.host->RaiseImageError(CVImageError::MismatchedFormat);
    }
    destination.CreateLike(source);
    const Plane in = PlaneOf(source);
    const Plane out = PlaneOf(destination);
    if (source.BitCount() == 24) {
        WorkProgress bar(progress);
        bar.Begin(0, 100, 0, in.height);
        const int bytes = in.RowBytes();
        for (int r = 0; r < in.height; ++r) {
            const uint8_t* from = in.Row(r);
            uint8_t* to = out.Row(r);
            for (int i = 0; i < bytes; ++i) {
                to[i] = static_cast<uint8_t>(255 - from[i]);
            }
            ClearPadding(out, to);
            bar.At(r + 1);
        }
        bar.End();
    } else {
        // Every paletted image, a one-entry palette included, keeps its
        // pixels and gets the complemented palette.
        CopyPlane(in, out);
        for (int i = 0; i < 256; ++i) {
            const RGBQUAD& c = source.palette[i];
            destination.palette[i] = RGBQUAD{static_cast<uint8_t>(255 - c.rgbBlue),
                                             static_cast<uint8_t>(255 - c.rgbGreen),
                                             static_cast<uint8_t>(255 - c.rgbRed), 0};
        }
    }
    if (source.hasTransparentColor) {
        RGBQUAD& c = destination.transparentColor;
        c.rgbBlue = static_cast<uint8_t>(255 - c.rgbBlue);
        c.rgbGreen = static_cast<uint8_t>(255 - c.rgbGreen);
        c.rgbRed = static_cast<uint8_t>(255 - c.rgbRed);
    }
}

void Smooth(const CVImage& source, CVImage& destination, int strength, CVProgress* progress) {
    const SmoothRule rule(LimitStrength(strength));
    RunFilter(source, destination, [&](const Plane& in, const Plane& out) {
        NeighbourSumFilter(in, out, rule, progress);
    });
}

void Sharpen(const CVImage& source, CVImage& destination, int strength, CVProgress* progress) {
    const SharpenRule rule(LimitStrength(strength));
    RunFilter(source, destination, [&](const Plane& in, const Plane& out) {
        NeighbourSumFilter(in, out, rule, progress);
    });
}

void Median(const CVImage& source, CVImage& destination, CVProgress* progress) {
    RunFilter(source, destination,
              [&](const Plane& in, const Plane& out) { MedianPlane(in, out, progress); });
}

void Despeckle(const CVImage& source, CVImage& destination, int strength, CVProgress* progress) {
    const int t = DespeckleThreshold(LimitStrength(strength));
    RunFilter(source, destination, [&](const Plane& in, const Plane& out) {
        CopyPlane(in, out);
        if (in.width < 3 || in.height < 3) {
            return;
        }
        WorkProgress bar(progress);
        if (in.step == 1) {
            DespeckleGrey(out, t, bar);
        } else {
            DespeckleColour(out, t, bar);
        }
        bar.End();
    });
}

void Emboss(const CVImage& source, CVImage& destination, CVProgress* progress) {
    RunFilter(source, destination,
              [&](const Plane& in, const Plane& out) { EmbossPlane(in, out, progress); });
}

} // namespace pixmill::elmpass
