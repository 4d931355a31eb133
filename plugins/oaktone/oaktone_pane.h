// The two settings panes of the colour adjustment: brightness, contrast and
// intensity per channel (dialog 101), and gamma per channel (dialog 102).
// Each works on a copy of the settings and writes its part back in Commit.
#pragma once

#include "oaktone_settings.h"

#include "pixmill/pane_base.h"

#include <QString>

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

// Track bar positions are the value + 100.
inline constexpr int kTrackBarOffset = 100;

// The gamma of a gamma track bar position: 10^((t - 100) * 0.01).
double GammaOfPosition(int position);
// The position nearest to a gamma.
int PositionOfGamma(double gamma);

class CTonePane : public CPaneBase {
  public:
    // channelNames: "All colors", "Red", "Green", "Blue".
    CTonePane(CPaneSite* site, AdjustSettings* settings, const char* const channelNames[4]);
    bool Commit() override;

  protected:
    void Build(QWidget* root) override;

  private:
    void ShowChannel();
    void TrackBarMoved(int value, int position);
    void EditTyped(int value, const QString& text);
    void ChannelChosen(int index);

    AdjustSettings* settings;
    AdjustSettings working;
    QString channelNames[4];
    int channel = 0;
    bool syncing = false;
};

class CGammaPane : public CPaneBase {
  public:
    CGammaPane(CPaneSite* site, AdjustSettings* settings, const char* const channelNames[4]);
    bool Commit() override;

  protected:
    void Build(QWidget* root) override;

  private:
    void ShowChannel();
    void TrackBarMoved(int position);
    void ChannelChosen(int index);

    AdjustSettings* settings;
    AdjustSettings working;
    QString channelNames[4];
    int channel = 0;
    bool syncing = false;
};

} // namespace pixmill::oaktone
