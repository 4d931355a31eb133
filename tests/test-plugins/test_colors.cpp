// A stand-in colour plug-in for the document tests: one ungrouped operation,
// "Negate", and ChangeColors for the conversions the document asks for when
// saving (4: grey ramp, 16: 24-bit, 8: a 3-3-2 palette). A second operation,
// "Slow", steps its progress for about twenty seconds, so that a break can be
// tested; when PIXMILL_TEST_SLOW_MARKER names a file, it creates that file as
// it starts, so that a test knows when to interrupt it.
#include "pixmill/cv_image.h"
#include "pixmill/entry_points.h"
#include "pixmill/packed_pixels.h"
#include "pixmill/plugin_host.h"
#include "pixmill/processing_plugin.h"

#include "pixmill/progress.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

using namespace pixmill;

namespace {

uint32_t ColorAt(const CVImage& image, int x, int y) {
    const uint8_t* row = image.Row(y);
    if (image.BitCount() == 24) {
        return GetPixel<24>(row, x);
    }
    const int index = GetIndex(row, x, image.BitCount());
    const RGBQUAD& c = image.palette[index];
    return c.rgbBlue | c.rgbGreen << 8 | c.rgbRed << 16;
}

class NegatePlugin : public CProcessingPlugin {
  public:
    explicit NegatePlugin(CPluginHost* host) : CProcessingPlugin(host) {}
    uint16_t GetOperationCount() override { return 2; }
    const char* GetName(bool menuForm) override {
        if (currentOperation == 1) {
            return menuForm ? "&Slow" : "Slow";
        }
        return menuForm ? "&Negate" : "Negate";
    }
    const char* GetGroupName(bool) override { return nullptr; }
    const char* GetDescription() override { return "Negate the image"; }
    bool Apply(const CVImage* source, CVImage* destination, CVProgress* progress) override {
        if (currentOperation == 1) {
            if (const char* marker = std::getenv("PIXMILL_TEST_SLOW_MARKER")) {
                if (std::FILE* file = std::fopen(marker, "w")) {
                    std::fclose(file);
                }
            }
            int due = progress != nullptr ? progress->Begin(0, 100, 0, 2000) : 2000;
            for (int i = 0; i < 2000; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                if (progress != nullptr && i >= due) {
                    due = progress->Step(nullptr);
                }
            }
        }
        const TransparencyInfo transparency = source->Transparency();
        destination->Create(source->Width(), source->Height(), source->BitCount(),
                            source->paletteCount, &transparency);
        std::memcpy(destination->palette, source->palette, sizeof destination->palette);
        for (size_t i = 0; i < source->ImageBytes(); ++i) {
            destination->bits[i] = static_cast<uint8_t>(~source->bits[i]);
        }
        return true;
    }
    bool CanApply(const CVImage* image) override {
        return image != nullptr && image->bits != nullptr;
    }
    ImageKindSet* GetOutputKinds(const ImageKindSet* input) override {
        kinds = *input;
        return input->special ? nullptr : &kinds;
    }
    uint16_t GetFlags() override { return 0; }
    int GetKind() override { return 1; }
    ImageKindSet kinds{};

    bool Convert(const CVImage* source, CVImage* destination, int code) {
        const int w = source->Width(), h = source->Height();
        if (code == 16) {
            destination->Create(w, h, 24, 0, nullptr);
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const uint32_t c = ColorAt(*source, x, y);
                    std::memcpy(destination->Row(y) + 3 * x, &c, 3);
                }
            }
            return true;
        }
        if (code == 4 || code == 8) {
            destination->Create(w, h, 8, 256, nullptr);
            for (int i = 0; i < 256; ++i) {
                destination->palette[i] =
                    code == 4 ? RGBQUAD{static_cast<uint8_t>(i), static_cast<uint8_t>(i),
                                        static_cast<uint8_t>(i), 0}
                              : RGBQUAD{static_cast<uint8_t>((i & 3) * 85),
                                        static_cast<uint8_t>(((i >> 2) & 7) * 36),
                                        static_cast<uint8_t>((i >> 5) * 36), 0};
            }
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const uint32_t c = ColorAt(*source, x, y);
                    const int b = c & 0xFF, g = (c >> 8) & 0xFF, r = (c >> 16) & 0xFF;
                    destination->Row(y)[x] =
                        code == 4 ? static_cast<uint8_t>((r * 30 + g * 59 + b * 11) / 100)
                                  : static_cast<uint8_t>((r >> 5) << 5 | (g >> 5) << 2 | b >> 6);
                }
            }
            return true;
        }
        return false;
    }
};

CPluginInstance<NegatePlugin> g_plugin;

} // namespace

PIXMILL_ENTRY int GetProcessing(CPluginHost* host, CProcessingPlugin** out) {
    *out = g_plugin.Get(host);
    return 1;
}

PIXMILL_ENTRY uint8_t ChangeColors(const CVImage* source, CVImage* destination, CVProgress*,
                                   const void* conversion20) {
    NegatePlugin* plugin = g_plugin.Existing();
    if (plugin == nullptr) {
        return 0;
    }
    int32_t code;
    std::memcpy(&code, conversion20, 4);
    return plugin->Convert(source, destination, code) ? 1 : 0;
}
