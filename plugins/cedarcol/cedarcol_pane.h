// The two settings panes of the colour-conversion plug-in: black and white
// (threshold and dither level) and paletted (palette kind, colours and bits,
// dither level, web-colour tolerance), bound to their pane models.
#pragma once

#include "cedarcol_pane_model.h"

#include "pixmill/pane_base.h"

class QCheckBox;
class QComboBox;

namespace pixmill::cedarcol {

class CColorPlugin;

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

class CBlackWhitePane : public CPaneBase {
  public:
    CBlackWhitePane(CPaneSite* site, CColorPlugin* plugin);
    bool Commit() override;

  protected:
    void Build(QWidget* root) override;

  private:
    CColorPlugin* plugin;
    BlackWhitePaneModel model;
};

class CPalettePane : public CPaneBase {
  public:
    CPalettePane(CPaneSite* site, CColorPlugin* plugin);
    bool Commit() override;

  protected:
    void Build(QWidget* root) override;
    void OnRefresh() override;

  private:
    CColorPlugin* plugin;
    PalettePaneModel model;
    QComboBox* kindBox = nullptr;
    QCheckBox* refineBox = nullptr;
};

} // namespace pixmill::cedarcol
