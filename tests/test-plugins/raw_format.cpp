// A simple raw format for the document tests: "RW", width, height, bit count,
// palette count, palette, transparency, then the pixel block. Built twice:
// as "trw" (stores every kind) and as "tjp" (stores only 24-bit and grey
// ramps, like a photographic format). Reading stops with image error 1 on a
// truncated file; writing reports what it wrote.
#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/plugin_host.h"
#include "pixmill/progress.h"
#include "pixmill/stream.h"

#include <cstring>

using namespace pixmill;

namespace {

#ifdef RAW_PHOTO
constexpr const char* kName = "Test Photo";
constexpr const char* kExtensions = "*.tjp;*.tjpeg";
constexpr uint16_t kSaveModes = 0x14;
#elif defined(RAW_NAME)
constexpr const char* kName = RAW_NAME; // a format named like an operation
constexpr const char* kExtensions = "*.trw";
constexpr uint16_t kSaveModes = 0x3F;
#else
constexpr const char* kName = "Test Raw";
constexpr const char* kExtensions = "*.trw";
constexpr uint16_t kSaveModes = 0x3F;
#endif

CPluginHost* g_host = nullptr;

#pragma pack(push, 1)
struct Header {
    char magic[2];
    int32_t width, height, bitCount, paletteCount;
};
#pragma pack(pop)

class RawCodec : public CFormatCodec {
  public:
    SIZE BeginWrite(const CVImage* source, const int*) override {
        image = const_cast<CVImage*>(source);
        return SIZE{source->Width(), source->Height()};
    }
    SIZE ReadHeader(CVImage* target, CVStream* input, const SIZE*) override {
        image = target;
        stream = input;
        Header header{};
        if (stream->Read(&header, sizeof header) != sizeof header ||
            std::memcmp(header.magic, kMagic, 2) != 0) {
            g_host->RaiseImageError(CVImageError::ReadError);
        }
        RGBQUAD palette[256];
        TransparencyInfo transparency{};
        if (header.paletteCount < 0 || header.paletteCount > 256 ||
            stream->Read(palette, 4 * static_cast<size_t>(header.paletteCount)) !=
                4 * static_cast<size_t>(header.paletteCount) ||
            stream->Read(&transparency, sizeof transparency) != sizeof transparency) {
            g_host->RaiseImageError(CVImageError::ReadError);
        }
        image->Create(header.width, header.height, header.bitCount, header.paletteCount,
                      &transparency);
        std::memcpy(image->palette, palette, 4 * static_cast<size_t>(header.paletteCount));
        return SIZE{header.width, header.height};
    }
    bool ReadPixels(CVProgress* progress) override {
        if (progress != nullptr) {
            progress->Begin(0, 100, 0, 1);
        }
        if (stream->Read(image->bits, image->ImageBytes()) != image->ImageBytes()) {
            g_host->RaiseImageError(CVImageError::ReadError);
        }
        return true;
    }
    bool Write(CVStream* output, CVProgress* progress, CVImage*) override {
        if (progress != nullptr) {
            progress->Begin(0, 100, 0, 1);
        }
        Header header{{kMagic[0], kMagic[1]},
                      image->Width(),
                      image->Height(),
                      image->BitCount(),
                      image->paletteCount};
        const TransparencyInfo transparency = image->Transparency();
        written = output->Write(&header, sizeof header);
        if (image->Width() == 13) {
            // A "full disk" half-way through the file.
            g_host->RaiseImageError(CVImageError::WriteError);
        }
        written += output->Write(image->palette, 4 * static_cast<size_t>(image->paletteCount));
        written += output->Write(&transparency, sizeof transparency);
        written += output->Write(image->bits, image->ImageBytes());
        return true;
    }
    int GetWrittenSize() override { return static_cast<int>(written); }
    void FreeWorkBuffer() override {}
    void Release() override { delete this; }

    static constexpr char kMagic[2] = {'R', 'W'};
    CVImage* image = nullptr;
    CVStream* stream = nullptr;
    size_t written = 0;
};

class RawFormat : public CFormatPlugin {
  public:
    const char* GetName(bool) override { return kName; }
    const char* GetExtensions() override { return kExtensions; }
    uint16_t GetSignatureSize() override { return 2; }
    bool Recognize(const uint8_t* bytes) override { return bytes[0] == 'R' && bytes[1] == 'W'; }
    int GetId() override { return 0; }
    CFormatCodec* CreateCodec() override { return new RawCodec; }
    uint16_t GetCapabilities() override { return 0x20; }
    uint16_t GetSaveModes() override { return kSaveModes; }
    bool CanSave(const CVImage* image) override {
#ifdef RAW_PHOTO
        return image->BitCount() == 24 || (image->BitCount() == 8 && image->IsGrayRamp());
#else
        (void)image;
        return true;
#endif
    }
    bool AcceptsKinds(const ImageKindSet* kinds) override {
        return kinds->special == 0 && (kinds->kinds & kSaveModes) != 0;
    }
    CPluginPane* CreateOptionsPane(CPaneSite*) override {
        return nullptr;
    }
    void DestroyOptionsPane(CPluginPane*) override {}
    void Help(QWidget*) override {}
};

RawFormat g_format;

} // namespace

PIXMILL_ENTRY int GetFormat(CPluginHost* host, CFormatPlugin** out) {
    g_host = host;
    *out = &g_format;
    return 1;
}
