// Helpers for the tests of the web-format plug-ins: one image of every kind
// the record holds, codecs driven on memory streams, colours through the
// palette, and the sweep of damaged files every reader must survive.
#pragma once

#include "pixmill/cv_image.h"
#include "pixmill/format_plugin.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pixmill::test {

using ByteVector = std::vector<uint8_t>;
using CodecMaker = std::function<CFormatCodec*()>;

// A picture of each kind (1-bit black and white, 1-bit coloured, 4-bit,
// 8-bit grey ramp, 8-bit coloured palette, 24-bit) with a pattern that uses
// every palette entry; `name` says which.
struct KindSample {
    std::string name;
    int bitCount;
};
const std::vector<KindSample>& EveryKind();
void MakeKindImage(CVImage& image, const KindSample& kind, int width, int height);

// A smooth 24-bit picture, as photographs are, for lossy coding.
void MakeSmooth(CVImage& image, int width, int height);

// Writes image with a fresh codec; checks GetWrittenSize against the stream.
ByteVector WriteWith(const CodecMaker& make, CPluginHost* host, const CVImage& image,
                     CVImage* preview = nullptr);
// Reads file with a fresh codec (and an optional fit box); throws what it throws.
SIZE ReadWith(const CodecMaker& make, CPluginHost* host, const ByteVector& file, CVImage& image,
              const SIZE* box = nullptr);

// The colour of pixel (x, y) as 0xRRGGBB, through the palette when there is one.
uint32_t ColorAt(const CVImage& image, int x, int y);
// Largest difference of one channel between two 0xRRGGBB colours.
int ChannelDistance(uint32_t a, uint32_t b);

// Truncations and bit flips of each valid file, read in full and as a
// preview: each ends in success or an error of the error family. Returns
// the number of failures; `variants` gets the number of files tried.
int ReadDamaged(const CodecMaker& make, CPluginHost* host, const std::vector<ByteVector>& valid,
                int* variants);

// Writes bytes to a temporary file that is removed when the object goes.
class TempFile {
  public:
    TempFile(const ByteVector& bytes, const std::string& extension);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    const std::string& Path() const { return path; }

  private:
    std::string path;
};

// Runs a shell command; returns its standard output ("" when it failed).
std::string RunCommand(const std::string& command);

} // namespace pixmill::test
