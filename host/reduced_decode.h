// Reduced-size decoding: when the first operation of a chain shrinks a JPEG
// picture to a size of its own choosing (a resample to a box), the picture
// is decoded at 1/2, 1/4 or 1/8 of its size by the JPEG library's scaled
// inverse DCT and the operation resamples from there. The command line's
// convert and batch use it unless told to decode exactly. Qt-free.
//
// The operation's result size is found by running it on two small grey
// pictures of the stored picture's shape (1/8 and 1/16 of its size): when
// both agree (within what the probes' rounding explains), the result does
// not depend on the input's size and the decoded size is chosen from the
// target alone: the smallest reduction that still covers it. The operation
// sees the picture upright (EXIF orientation), so the probes and the scale
// are found in upright axes; the size handed to the reader is in the
// picture's stored axes, as the reader reduces before it turns.
#pragma once

#include "pixmill/win_types.h"

namespace pixmill {

class CFormatPlugin;
class CPluginHost;
class CProcessingPlugin;
class CVStream;

// The size a JPEG stream's frame header states, or 0 x 0 when the stream
// holds no JPEG frame; the stream is rewound.
SIZE JpegFrameSize(CVStream& stream);

// The largest of 8, 4 and 2 whose reduced picture (each side divided and
// rounded up, as the decoder does) still covers the target on both sides
// and whose rounding stretches the picture by at most a tenth of a target
// pixel; 1 when none does (decode exactly).
int ChooseDecodeScale(SIZE stored, SIZE target);

// The operation's result size when it does not depend on the input's size
// (the larger of the two probes' results, side by side), found on two small
// grey probes of the stored shape; 0 x 0 when it does, or the operation
// refuses the probes.
SIZE SizeIndependentResult(CPluginHost* host, CProcessingPlugin* operation, SIZE stored);

// The size to hand the reader as its largest (ImageReader::ReadHeader's
// maxSize) when the stream is a JPEG picture that first becomes the
// operation's result and whose half still covers that result on both
// sides; 0 x 0 to decode exactly. The stream is rewound.
SIZE ReducedDecodeSize(CPluginHost* host, CFormatPlugin* format, CVStream& stream,
                       CProcessingPlugin* firstOperation);

} // namespace pixmill
