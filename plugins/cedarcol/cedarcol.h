// The colour-conversion plug-in object: four operations of the "Convert to"
// group, the stored conversion settings, the stored dither level and
// tolerance, and the palette planes of the fixed palette last chosen.
#pragma once

#include "cedarcol_settings.h"
#include "color_convert.h"

#include "pixmill/operation_table.h"
#include "pixmill/settings_binding.h"

#include <cstdint>

namespace pixmill::cedarcol {

enum Operation : uint16_t {
    OpBlackAndWhite = 0,
    OpGrayscale = 1,
    OpPaletted = 2,
    OpRgb = 3,
};

class ColorPlugin : public CTableProcessingPlugin {
  public:
    explicit ColorPlugin(CPluginHost* host);

    // Converts with a caller's settings block in place of the stored one; the
    // object's settings are the same afterwards, also when it fails.
    void ChangeColors(const CVImage* source, CVImage* destination, CVProgress* progress,
                      const QorelColorInfo& block);

    // Loads the fixed palette of a kind into the planes, with its colour
    // count and the fixed-palette flag; the adaptive kind only clears the flag.
    void LoadPalette(int kind);

    QorelColorInfo settings{};
    ColorMapping mapping{};
    RGBQUAD planes[256] = {};

  private:
    bool Run(const CVImage* source, CVImage* destination, CVProgress* progress) override;
    bool Accepts(const CVImage& image) override;
    ImageKindSet OutputKinds(const ImageKindSet& input) override;
    CPluginPane* CreatePane(CPaneSite* site) override;

    void Convert(const CVImage* source, CVImage* destination, CVProgress* progress);

    CSettingsBinding mappingBinding; // after the block: saves it before it goes
};

} // namespace pixmill::cedarcol
