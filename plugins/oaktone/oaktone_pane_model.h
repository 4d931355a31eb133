// The colour adjustment panes without widgets: brightness, contrast and
// intensity per channel, and gamma per channel. Each works on a copy of the
// settings; choosing a channel other than "All colors" makes the channels'
// own values the ones in use.
#pragma once

#include "oaktone_settings.h"

#include "pixmill/pane_model.h"

namespace pixmill::oaktone {

// Gamma track bar positions: 10^((position - 100) * 0.01).
inline constexpr int kGammaNeutralPosition = 100;
double GammaOfPosition(int position);
// The position nearest to a gamma.
int PositionOfGamma(double gamma);

// The channel choice both models share: each works on a copy of the block
// and keeps its own "uses All colors" flag.
class ChannelPaneModel : public CPaneModel {
  public:
    int Channel() const { return channel; }
    bool SetChannel(int row);

  protected:
    ChannelPaneModel(const AdjustSettings& settings, uint8_t AdjustSettings::*usesAll);

    AdjustSettings working;
    int channel;

  private:
    uint8_t AdjustSettings::*usesAll;
};

class TonePaneModel : public ChannelPaneModel {
  public:
    // Fields: the ToneValue of the chosen channel.
    explicit TonePaneModel(const AdjustSettings& settings);

    double Value(int field) const override;
    NumberRange Range(int field) const override;
    bool Set(int field, double value) override;

    void Store(AdjustSettings& settings) const;
};

class GammaPaneModel : public ChannelPaneModel {
  public:
    enum Field { Position };

    explicit GammaPaneModel(const AdjustSettings& settings);

    double Gamma() const { return working.gamma[channel]; }

    double Value(int field) const override;
    NumberRange Range(int field) const override;
    bool Set(int field, double position) override;

    void Store(AdjustSettings& settings) const;
};

} // namespace pixmill::oaktone
