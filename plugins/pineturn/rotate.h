// Rotation by any angle and flips. Quarter turns and flips move pixels
// (bit field by bit field for packed depths); other angles use three shears
// with linear interpolation over 24-bit pixels, filling uncovered areas with
// a background colour. Paletted images are rotated in 24-bit form and mapped
// back to their own palette.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pixmill {
class CPluginHost;
class CVImage;
class CVProgress;
} // namespace pixmill

namespace pixmill::pineturn {

enum FlipMode : int32_t { kFlipNone = 0, kFlipHorizontal = 1, kFlipVertical = 2 };

struct Bgr {
    uint8_t blue;
    uint8_t green;
    uint8_t red;
    bool operator==(const Bgr&) const = default;
};

struct RotateRequest {
    int32_t flip = kFlipNone;
    double angle = 0.0;     // degrees, clockwise as displayed
    Bgr customBackground{}; // used when smart selection is off
    bool smartBackground = true;
};

// The angle brought into 0 <= a < 360 (a negative angle turns as far as the
// equivalent positive one); not finite: 0.
double NormalizeAngle(double degrees);

// Mirror images: a horizontal flip mirrors every row, a vertical flip the
// order of the rows. destination may be the source itself.
void Flip(const CVImage* source, CVImage* destination, bool horizontal, CVProgress* progress,
          int barFirst, int barLast);

// 90 degrees clockwise as displayed, or counter-clockwise.
void QuarterTurn(const CVImage* source, CVImage* destination, bool clockwise, CVProgress* progress);

struct ShearSizes {
    int width;       // of the result
    int height;      // of the result
    int middleWidth; // of the intermediate images
};
ShearSizes ShearSizesFor(int width, int height, double degrees);

// Shifts a row of n 3-byte pixels by shift pixels (right when positive) into
// a row of outCount pixels, interpolating fractional shifts and filling the
// uncovered places with the background.
void ShiftRow(const uint8_t* in, int n, uint8_t* out, int outCount, double shift, Bgr background);

// ShiftRow applied to a column of inCount samples, seen from one output
// place: output place j takes source sample j - offset (blended with the one
// after it when blend is set), or the background when that sample (and its
// successor) is not below last.
struct ColumnShift {
    ColumnShift(double shift, int inCount);
    int offset;
    int last;
    bool blend;
    double nextWeight;
    double currentWeight;
};

// Row j of the column shear: column x of count 3-byte columns (row m of
// them starting at rows[m]) shifted as columns[x] says, written to out. Gives
// the same bytes as ShiftRow run down every column. Only the rows the shifts
// reach for j are read: j - offset, and the one after it when blending.
void ShearColumnsRow(const uint8_t* const* rows, const ColumnShift* columns, int count, int j,
                     uint8_t* out, Bgr background);

// The colour that is most frequent along the border of a 24-bit image, at
// 6 bits per component; cells holds 64 x 64 x 64 counters of work space.
Bgr SmartBackground(const CVImage& image, uint16_t* cells);

// Rotates by 0 < degrees < 90 with three shears.
void ShearRotate(CPluginHost* host, const CVImage* source, CVImage* destination, double degrees,
                 const RotateRequest& request, CVProgress* progress);

// The whole operation: copy, flip, quarter turns, or shears after a turn by
// the quarter turns the angle holds.
void Rotate(CPluginHost* host, const CVImage* source, CVImage* destination, CVProgress* progress,
            const RotateRequest& request);

} // namespace pixmill::pineturn
