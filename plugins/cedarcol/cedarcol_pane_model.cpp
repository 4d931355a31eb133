#include "cedarcol_pane_model.h"

#include <algorithm>

namespace pixmill::cedarcol {

namespace {

constexpr NumberRange kDitherRange = {0, kMaxDitherLevel};
constexpr NumberRange kToleranceRange = {0, kMaxTolerance};
constexpr NumberRange kBitsRange = {1, 8};

NumberRange ColorRange() {
    return RangeOf(ColorInfoField("colorCount"));
}

// Stores a value limited to its range; returns whether it changed.
bool Assign(int& slot, const NumberRange& range, double value) {
    const int before = slot;
    slot = range.ClampInt(value);
    return slot != before;
}

} // namespace

int BitsFor(int n) {
    int b = 1;
    while (b < 31 && (1 << b) < n) {
        ++b;
    }
    return b;
}

// ------------------------------------------------------ BlackWhitePaneModel

BlackWhitePaneModel::BlackWhitePaneModel(const QorelColorInfo& settings, int ditherLevel)
    : threshold(RangeOf(ColorInfoField("threshold")).ClampInt(settings.threshold)),
      dither(kDitherRange.ClampInt(ditherLevel)) {}

double BlackWhitePaneModel::Value(int field) const {
    return field == Threshold ? threshold : dither;
}

NumberRange BlackWhitePaneModel::Range(int field) const {
    return field == Threshold ? RangeOf(ColorInfoField("threshold")) : kDitherRange;
}

bool BlackWhitePaneModel::Set(int field, double value) {
    return Assign(field == Threshold ? threshold : dither, Range(field), value);
}

bool BlackWhitePaneModel::Enabled(int field) const {
    // The threshold only counts without dithering.
    return field != Threshold || dither == 0;
}

void BlackWhitePaneModel::Store(QorelColorInfo& settings, int& ditherLevel) const {
    settings.threshold = static_cast<int16_t>(threshold);
    ditherLevel = dither;
}

// --------------------------------------------------------- PalettePaneModel

PalettePaneModel::PalettePaneModel(const QorelColorInfo& settings, int ditherLevel,
                                   int toleranceValue, bool highQualityValue)
    : highQuality(highQualityValue), dither(kDitherRange.ClampInt(ditherLevel)),
      adaptiveColors(ColorRange().ClampInt(settings.colorCount)),
      adaptiveTolerance(kToleranceRange.ClampInt(toleranceValue)) {
    kind = -1; // so that the stored kind counts as chosen
    SetKind(std::clamp(static_cast<int>(settings.paletteKind), 0, kPaletteKindCount - 1));
}

bool PalettePaneModel::SetKind(int chosen) {
    if (chosen < 0 || chosen >= kPaletteKindCount) {
        return false;
    }
    const bool changed = chosen != kind;
    kind = chosen;
    switch (kind) {
    case PaletteWindows:
    case PaletteMacintosh:
        colors = kind == PaletteWindows ? 236 : 256;
        tolerance = 0;
        break;
    case PaletteNetscape:
    case PaletteExplorer:
        colors = 216;
        tolerance = kMaxTolerance;
        break;
    default:
        colors = adaptiveColors;
        tolerance = adaptiveTolerance;
        break;
    }
    bits = BitsFor(colors);
    return changed;
}

double PalettePaneModel::Value(int field) const {
    switch (field) {
    case Colors:
        return colors;
    case Bits:
        return bits;
    case Dither:
        return dither;
    default:
        return tolerance;
    }
}

NumberRange PalettePaneModel::Range(int field) const {
    switch (field) {
    case Colors:
        return ColorRange();
    case Bits:
        return kBitsRange;
    case Dither:
        return kDitherRange;
    default:
        return kToleranceRange;
    }
}

bool PalettePaneModel::Set(int field, double value) {
    if (!Enabled(field)) {
        return false;
    }
    const int before[4] = {colors, bits, dither, tolerance};
    switch (field) {
    case Colors:
        Assign(colors, ColorRange(), value);
        bits = BitsFor(colors);
        break;
    case Bits:
        Assign(bits, kBitsRange, value);
        colors = ColorRange().ClampInt(1 << bits);
        break;
    case Dither:
        Assign(dither, kDitherRange, value);
        break;
    default:
        Assign(tolerance, kToleranceRange, value);
        adaptiveTolerance = tolerance;
        break;
    }
    if (kind == PaletteAdaptive) {
        adaptiveColors = colors;
    }
    return before[0] != colors || before[1] != bits || before[2] != dither ||
           before[3] != tolerance;
}

bool PalettePaneModel::Enabled(int field) const {
    switch (field) {
    case Colors:
    case Bits:
        return kind != PaletteWindows && kind != PaletteMacintosh;
    case Tolerance:
        return kind == PaletteAdaptive;
    default:
        return true;
    }
}

bool PalettePaneModel::SetHighQuality(bool on) {
    if (!HighQualityEnabled() || on == highQuality) {
        return false;
    }
    highQuality = on;
    return true;
}

void PalettePaneModel::Store(QorelColorInfo& settings, int& ditherLevel, int& toleranceOut,
                             int32_t& highQualityOut) const {
    settings.paletteKind = kind;
    settings.colorCount = colors;
    ditherLevel = dither;
    toleranceOut = tolerance;
    highQualityOut = highQuality ? 1 : 0;
}

} // namespace pixmill::cedarcol
