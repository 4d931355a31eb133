// The two settings panes of the colour adjustment: brightness, contrast and
// intensity per channel (dialog 101), and gamma per channel (dialog 102),
// bound to a TonePaneModel and a GammaPaneModel.
#pragma once

#include "oaktone_pane_model.h"
#include "oaktone_settings.h"

#include "pixmill/pane_base.h"

#include <QString>

class QGridLayout;

namespace pixmill::oaktone {

enum TonePaneControl : int {
    IdBrightnessTrackBar = 1000,
    IdBrightnessEdit = 1001,
    IdContrastTrackBar = 1003,
    IdContrastEdit = 1004,
    IdIntensityTrackBar = 1006,
    IdChannelCombo = 1007,
    IdIntensityEdit = 1008,
};
enum GammaPaneControl : int {
    IdGammaEdit = 1008,
    IdGammaTrackBar = 1009,
};
inline constexpr int kToneDialog = 101;
inline constexpr int kGammaDialog = 102;

// Tone track bar positions are the value + 100.
inline constexpr int kTrackBarOffset = 100;

// The channel choice both panes share; each pane keeps its own channel.
template <class Model> class CChannelPane : public CModelPane<Model, AdjustSettings> {
  public:
    // channelNames: "All colors", "Red", "Green", "Blue".
    CChannelPane(CPaneSite* site, AdjustSettings* settings, const char* const channelNames[4]);

  protected:
    // Adds the channel combo box into the grid.
    void AddChannelCombo(QWidget* parent, QGridLayout* grid, int row, int column);
    void OnRefresh() override;

  private:
    QString channelNames[4];
};

class TonePane : public CChannelPane<TonePaneModel> {
  public:
    using CChannelPane::CChannelPane;

  protected:
    void Build(QWidget* root) override;
};

class GammaPane : public CChannelPane<GammaPaneModel> {
  public:
    using CChannelPane::CChannelPane;

  protected:
    void Build(QWidget* root) override;
    void OnRefresh() override;
};

} // namespace pixmill::oaktone
