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
class CChannelPane : public CPaneBase {
  public:
    // channelNames: "All colors", "Red", "Green", "Blue".
    CChannelPane(CPaneSite* site, const char* const channelNames[4]);

  protected:
    // Adds the channel combo box; a chosen row goes to ChooseChannel.
    void AddChannelCombo(QWidget* parent, QGridLayout* grid, int row, int column);
    virtual bool ChooseChannel(int row) = 0;
    virtual int Channel() const = 0;
    void OnRefresh() override;

  private:
    QString channelNames[4];
};

class CTonePane : public CChannelPane {
  public:
    CTonePane(CPaneSite* site, AdjustSettings* settings, const char* const channelNames[4]);
    bool Commit() override;

  protected:
    void Build(QWidget* root) override;
    bool ChooseChannel(int row) override { return model.SetChannel(row); }
    int Channel() const override { return model.Channel(); }

  private:
    AdjustSettings* settings;
    TonePaneModel model;
};

class CGammaPane : public CChannelPane {
  public:
    CGammaPane(CPaneSite* site, AdjustSettings* settings, const char* const channelNames[4]);
    bool Commit() override;

  protected:
    void Build(QWidget* root) override;
    bool ChooseChannel(int row) override { return model.SetChannel(row); }
    int Channel() const override { return model.Channel(); }
    void OnRefresh() override;

  private:
    AdjustSettings* settings;
    GammaPaneModel model;
};

} // namespace pixmill::oaktone
