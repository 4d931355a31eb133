// The two settings panes of the colour-conversion plug-in: black and white
// (threshold and dither level) and paletted (palette kind, colours and bits,
// dither level, web-colour tolerance).
#pragma once

#include "pixmill/pane_base.h"

#include <functional>

class QLineEdit;
class QSpinBox;
class QSlider;
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
};

// An edit and its buddy control (an up-down or a track bar) showing one
// number in a range. Typing above the range puts the maximum into the edit;
// typing below it leaves the text, and the value counts as the minimum.
class NumberControl {
  public:
    using Reaction = std::function<void(int value)>;

    // Builds the edit (with at most maxChars characters) and an up-down.
    void BuildWithUpDown(QWidget* parent, int editId, int upDownId, int minimum, int maximum,
                         int maxChars);
    // Builds a horizontal track bar and its edit.
    void BuildWithTrackBar(QWidget* parent, int trackBarId, int editId, int minimum, int maximum,
                           int maxChars);
    // Called after every change the user makes, with the new value.
    void OnChange(Reaction reaction) { this->reaction = std::move(reaction); }

    int Value() const;
    void Show(int value);
    void SetEnabled(bool enabled);
    QLineEdit* Edit() const { return edit; }
    QWidget* Buddy() const;

  private:
    void Typed();
    void Moved(int value);

    QLineEdit* edit = nullptr;
    QSpinBox* upDown = nullptr;
    QSlider* trackBar = nullptr;
    int minimum = 0;
    int maximum = 0;
    Reaction reaction;
};

class CBlackWhitePane : public CPaneBase {
  public:
    CBlackWhitePane(CPaneSite* site, CColorPlugin* plugin);
    bool Commit() override;

  protected:
    void Build(QWidget* root) override;

  private:
    void UpdateEnabled();

    CColorPlugin* plugin;
    NumberControl threshold;
    NumberControl dither;
    QWidget* thresholdLabel = nullptr;
};

class CPalettePane : public CPaneBase {
  public:
    CPalettePane(CPaneSite* site, CColorPlugin* plugin);
    bool Commit() override;

  protected:
    void Build(QWidget* root) override;

  private:
    void KindChosen(int kind);
    void ShowColors(int colors);

    CColorPlugin* plugin;
    QComboBox* kindBox = nullptr;
    NumberControl colors;
    NumberControl bits;
    NumberControl dither;
    NumberControl tolerance;
    // What "Adaptive" shows when it is chosen again.
    int adaptiveColors = 256;
    int adaptiveTolerance = 0;
};

} // namespace pixmill::cedarcol
