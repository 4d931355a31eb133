// JpegOptionsPane: the save-options pane of the JPEG format (levels with
// sliders and edits, progressive, lock, sharpen). The host embeds it in its
// save dialog and re-runs the encoder with a preview after every change.
#pragma once

#include "alderfmt_settings.h"
#include "pixmill/pane_base.h"

class QLineEdit;
class QSlider;

namespace pixmill::alder {

enum PaneControl {
    IdLuminanceEdit = 1000,
    IdChrominanceEdit = 1002,
    IdProgressive = 1004,
    IdLuminanceSlider = 1005,
    IdChrominanceSlider = 1006,
    IdLockSliders = 1007,
    IdBlockSmoothing = 1008,
    IdSharpenEdit = 1010,
    IdSharpenUpDown = 1011,
};

class JpegOptionsPane : public CPaneBase {
  public:
    JpegOptionsPane(CPaneSite* site, JpegSettings* pluginSettings);
    bool Commit() override;

    const JpegSettings& Values() const { return values; }

  protected:
    void Build(QWidget* root) override;
    void OnImage() override;

  private:
    void LevelEdited(bool chrominance);
    void SliderMoved(bool chrominance, int position);
    void SharpenEdited();
    // Runs a change; the site hears of it once, when the outermost change
    // has settled and something differs.
    template <class F> void Change(F&& change);

    JpegSettings* pluginSettings;
    JpegSettings values;
    QSlider* sliders[2] = {};
    QLineEdit* edits[2] = {};
    bool chrominanceEnabled = true;
    int depth = 0;
    bool changed = false;
};

} // namespace pixmill::alder
