// The colour-conversion panes without widgets. Black and white: the
// threshold, which counts only without dithering, and the dither level.
// Paletted: the palette kind, colours and bits (each follows the other), the
// dither level and the web-colour tolerance; the fixed kinds fix the colours
// or the tolerance, and "Adaptive" gets back what was set for it.
#pragma once

#include "cedarcol_settings.h"

#include "pixmill/pane_model.h"

namespace pixmill::cedarcol {

// The smallest b >= 1 with 2^b >= n.
int BitsFor(int n);

class BlackWhitePaneModel : public CPaneModel {
  public:
    enum Field { Threshold, Dither };

    BlackWhitePaneModel(const QorelColorInfo& settings, int ditherLevel);

    double Value(int field) const override;
    NumberRange Range(int field) const override;
    bool Set(int field, double value) override;
    bool Enabled(int field) const override;

    void Store(QorelColorInfo& settings, int& ditherLevel) const;

  private:
    int threshold;
    int dither;
};

class PalettePaneModel : public CPaneModel {
  public:
    enum Field { Colors, Bits, Dither, Tolerance };

    PalettePaneModel(const QorelColorInfo& settings, int ditherLevel, int tolerance,
                     bool highQuality = false);

    int Kind() const { return kind; }
    bool SetKind(int kind);
    // The refined adaptive palette: a choice of the adaptive kind only.
    bool HighQuality() const { return highQuality; }
    bool HighQualityEnabled() const { return kind == PaletteAdaptive; }
    bool SetHighQuality(bool on);

    double Value(int field) const override;
    NumberRange Range(int field) const override;
    bool Set(int field, double value) override;
    bool Enabled(int field) const override;

    void Store(QorelColorInfo& settings, int& ditherLevel, int& tolerance,
               int32_t& highQuality) const;

  private:
    int kind = PaletteAdaptive;
    bool highQuality = false;
    int colors = 256;
    int bits = 8;
    int dither;
    int tolerance = 0;
    // What "Adaptive" shows when it is chosen again.
    int adaptiveColors;
    int adaptiveTolerance;
};

} // namespace pixmill::cedarcol
