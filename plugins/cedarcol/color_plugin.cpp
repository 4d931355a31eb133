#include "color_plugin.h"

#include "cedarcol_pane.h"
#include "cedarcol_strings.h"
#include "palette_reduce.h"

#include "pixmill/cv_image.h"
#include "pixmill/help.h"
#include "pixmill/pane_base.h"
#include "pixmill/scope_guards.h"

namespace pixmill::cedarcol {

namespace {

// The conversion code each operation selects.
constexpr int32_t kOperationCodes[kOperationCount] = {CodeBilevel, CodeGray, CodeColorCount,
                                                      CodeRgb};
constexpr uint16_t kOperationKinds[kOperationCount] = {KindBilevel, KindGray8,
                                                       KindPaletted4 | KindPaletted8, KindRgb24};

} // namespace

CColorPlugin::CColorPlugin(CPluginHost* host) : CProcessingPlugin(host) {
    for (int i = 0; i < kOperationCount; ++i) {
        LoadString(kStrings, IdsNameFirst + i, names[i], sizeof names[i]);
        LoadString(kStrings, IdsMenuNameFirst + i, menuNames[i], sizeof menuNames[i]);
        LoadString(kStrings, IdsDescriptionFirst + i, descriptions[i], sizeof descriptions[i]);
    }
    LoadString(kStrings, IdsGroupName, groupName, sizeof groupName);
    LoadString(kStrings, IdsGroupMenuName, groupMenuName, sizeof groupMenuName);

    settings = DefaultColorInfo();
    BindSettings(kColorInfoSchema.name, settings, kColorInfoSchema.version);
    // The planes are not stored: a remembered fixed palette is loaded again,
    // so that it is not replaced by black entries.
    if (settings.fixedPalette != 0) {
        LoadFixedPalette(settings.paletteKind, planes);
    }
}

const char* CColorPlugin::GetName(bool menuForm) {
    const int op = currentOperation < kOperationCount ? currentOperation : 0;
    return menuForm ? menuNames[op] : names[op];
}

const char* CColorPlugin::GetGroupName(bool menuForm) {
    return menuForm ? groupMenuName : groupName;
}

const char* CColorPlugin::GetDescription() {
    return descriptions[currentOperation < kOperationCount ? currentOperation : 0];
}

void CColorPlugin::Convert(const CVImage* source, CVImage* destination, CVProgress* progress) {
    ConversionParameters params;
    params.info = settings;
    params.ditherLevel = ditherLevel;
    params.tolerance = tolerance;
    params.fixedPalette = planes;
    ConvertColors(host, *source, *destination, progress, params);
}

bool CColorPlugin::Apply(const CVImage* source, CVImage* destination, CVProgress* progress) {
    if (currentOperation < kOperationCount) {
        settings.conversionCode = kOperationCodes[currentOperation];
    }
    Convert(source, destination, progress);
    return true;
}

void CColorPlugin::ChangeColors(const CVImage* source, CVImage* destination, CVProgress* progress,
                                const QorelColorInfo& block) {
    // The stored block comes back however the conversion ends.
    RestoreOnExit restore(settings);
    settings = block;
    Convert(source, destination, progress);
}

bool CColorPlugin::CanApply(const CVImage* image) {
    switch (currentOperation) {
    case OpBlackAndWhite:
        return image->BitCount() != 1;
    case OpGrayscale:
        return !(image->BitCount() == 8 && image->IsGray());
    case OpPaletted:
        return true;
    case OpRgb:
        return image->BitCount() != 24;
    default:
        return false;
    }
}

ImageKindSet* CColorPlugin::GetOutputKinds(const ImageKindSet* input) {
    if (input == nullptr || input->special != 0 || currentOperation >= kOperationCount) {
        return nullptr;
    }
    outputKinds = ImageKindSet{kOperationKinds[currentOperation], 0, 0, 0};
    return &outputKinds;
}

uint16_t CColorPlugin::GetFlags() {
    return currentOperation == OpBlackAndWhite || currentOperation == OpPaletted
               ? static_cast<uint16_t>(OpLivePreview | OpHasSettings)
               : 0;
}

int CColorPlugin::GetKind() {
    return currentOperation == OpRgb ? KindImageOperation : KindColorConversion;
}

CPluginPane* CColorPlugin::CreateSettingsPane(CPaneSite* site) {
    switch (currentOperation) {
    case OpBlackAndWhite:
        return new CBlackWhitePane(site, this);
    case OpPaletted:
        return new CPalettePane(site, this);
    default:
        return nullptr;
    }
}

void CColorPlugin::DestroySettingsPane(CPluginPane* pane) {
    delete static_cast<CPaneBase*>(pane);
}

int CColorPlugin::HelpTopic() const {
    switch (currentOperation) {
    case OpBlackAndWhite:
        return 87;
    case OpPaletted:
        return 81;
    default:
        return 0;
    }
}

void CColorPlugin::Help(QWidget*) {
    const int topic = HelpTopic();
    if (topic == 0) {
        return;
    }
    OpenHelpPage(topic);
}

void CColorPlugin::LoadPalette(int kind) {
    const int count = LoadFixedPalette(kind, planes);
    if (count > 0) {
        settings.colorCount = count;
        settings.fixedPalette = 1;
    } else {
        settings.fixedPalette = 0;
    }
}

} // namespace pixmill::cedarcol
