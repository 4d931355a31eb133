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

class TonePaneModel : public CPaneModel {
  public:
    // Fields: the ToneValue of the chosen channel.
    explicit TonePaneModel(const AdjustSettings& settings);

    int Channel() const { return channel; }
    bool SetChannel(int row);

    double Value(int field) const override;
    NumberRange Range(int field) const override;
    bool Set(int field, double value) override;

    void Store(AdjustSettings& settings) const;

  private:
    AdjustSettings working;
    int channel;
};

class GammaPaneModel : public CPaneModel {
  public:
    enum Field { Position };

    explicit GammaPaneModel(const AdjustSettings& settings);

    int Channel() const { return channel; }
    bool SetChannel(int row);
    double Gamma() const { return working.gamma[channel]; }

    double Value(int field) const override;
    NumberRange Range(int field) const override;
    bool Set(int field, double position) override;

    void Store(AdjustSettings& settings) const;

  private:
    AdjustSettings working;
    int channel;
};

} // namespace pixmill::oaktone
