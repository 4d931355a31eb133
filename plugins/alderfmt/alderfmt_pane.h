// JpegOptionsPane: the save-options pane of the JPEG format (levels with
// sliders and edits, progressive, lock, sharpen, web encoding, largest file), bound to a
// JpegOptionsModel. The host embeds it in its save dialog and re-runs the
// encoder with a preview after every change.
#pragma once

#include "alderfmt_pane_model.h"
#include "alderfmt_settings.h"

#include "pixmill/pane_base.h"

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
    IdTargetBytesEdit = 1012,
    IdWeb = 1013,
};

class JpegOptionsPane : public CModelPane<JpegOptionsModel, JpegSettings> {
  public:
    JpegOptionsPane(CPaneSite* site, JpegSettings* pluginSettings, JpegTargetSettings* target)
        : CModelPane(site, *pluginSettings, *target), target(*target) {}

    ~JpegOptionsPane() override;

    bool Commit() override;

  protected:
    void Build(QWidget* root) override;
    void OnImage() override;
    void OnRefresh() override;

  private:
    JpegTargetSettings& target;
    int listenerToken = 0;
};

} // namespace pixmill::alder
