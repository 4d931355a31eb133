// The two settings panes of the colour-conversion plug-in: black and white
// (threshold and dither level) and paletted (palette kind, colours and bits,
// dither level, web-colour tolerance), bound to their pane models.
#pragma once

#include "cedarcol_pane_model.h"
#include "cedarcol_settings.h"

#include "pixmill/pane_base.h"

#include <functional>

class QCheckBox;
class QComboBox;

namespace pixmill::cedarcol {

// What a pane edits: the plug-in's stored blocks, and how the plug-in loads
// the fixed palette of a kind once the paletted pane is committed.
struct ColorPaneTarget {
    QorelColorInfo& settings;
    ColorMapping& mapping;
    std::function<void(int kind)> loadPalette;
};

// Dialog control identifiers.
enum ControlId : int {
    IdcPaletteKind = 1024,
    IdcColors = 1026,
    IdcColorsUpDown = 1027,
    IdcBits = 1030,
    IdcBitsUpDown = 1031,
    IdcThreshold = 1035,
    IdcThresholdUpDown = 1036,
    IdcThresholdLabel = 1037,
    IdcDither = 1041,
    IdcDitherEdit = 1042,
    IdcTolerance = 1043,
    IdcToleranceEdit = 1044,
    IdcHighQuality = 1045,
};

class BlackWhitePane : public CPaneBase {
  public:
    BlackWhitePane(CPaneSite* site, ColorPaneTarget target);
    bool Commit() override;

  protected:
    void Build(QWidget* root) override;

  private:
    ColorPaneTarget target;
    BlackWhitePaneModel model;
};

class PalettePane : public CPaneBase {
  public:
    PalettePane(CPaneSite* site, ColorPaneTarget target);
    bool Commit() override;

  protected:
    void Build(QWidget* root) override;
    void OnRefresh() override;

  private:
    ColorPaneTarget target;
    PalettePaneModel model;
    QComboBox* kindBox = nullptr;
    QCheckBox* refineBox = nullptr;
};

} // namespace pixmill::cedarcol
