// The colour-conversion plug-in object: four operations of the "Convert to"
// group, the stored conversion settings, the per-run dither level and
// tolerance, and the palette planes of the fixed palette last chosen.
#pragma once

#include "color_convert.h"
#include "cedarcol_settings.h"

#include "pixmill/image_kind_set.h"
#include "pixmill/processing_plugin.h"

#include <cstdint>

namespace pixmill::cedarcol {

enum Operation : uint16_t {
    OpBlackAndWhite = 0,
    OpGrayscale = 1,
    OpPaletted = 2,
    OpRgb = 3,
    kOperationCount = 4,
};

class CColorPlugin : public CProcessingPlugin {
  public:
    static constexpr size_t kTextSize = 255;

    explicit CColorPlugin(CPluginHost* host);

    uint16_t GetOperationCount() override { return kOperationCount; }
    const char* GetName(bool menuForm) override;
    const char* GetGroupName(bool menuForm) override;
    const char* GetDescription() override;
    bool Apply(const CVImage* source, CVImage* destination, CVProgress* progress) override;
    bool CanApply(const CVImage* image) override;
    ImageKindSet* GetOutputKinds(const ImageKindSet* input) override;
    uint16_t GetFlags() override;
    int GetKind() override;
    CPluginPane* CreateSettingsPane(CPaneSite* site) override;
    void DestroySettingsPane(CPluginPane* pane) override;
    void Help(QWidget* window) override;

    // The help topic of the current operation (0: none).
    int HelpTopic() const;

    // Converts with a caller's settings block in place of the stored one; the
    // object's settings are the same afterwards, also when it fails.
    void ChangeColors(const CVImage* source, CVImage* destination, CVProgress* progress,
                      const QorelColorInfo& block);

    // Loads the fixed palette of a kind into the planes, with its colour
    // count and the fixed-palette flag; the adaptive kind only clears the flag.
    void LoadPalette(int kind);

    QorelColorInfo settings{};
    int ditherLevel = kDefaultDitherLevel;
    int tolerance = kDefaultTolerance;
    RGBQUAD planes[256] = {};

  private:
    void Convert(const CVImage* source, CVImage* destination, CVProgress* progress);

    char names[kOperationCount][kTextSize + 1] = {};
    char menuNames[kOperationCount][kTextSize + 1] = {};
    char descriptions[kOperationCount][kTextSize + 1] = {};
    char groupName[kTextSize + 1] = {};
    char groupMenuName[kTextSize + 1] = {};
    ImageKindSet outputKinds{};
};

} // namespace pixmill::cedarcol
