#include "oaktone_pane_model.h"

#include <algorithm>
#include <cmath>

namespace pixmill::oaktone {

namespace {

NumberRange ToneRange() {
    return RangeOf(*FindField(kAdjustSchema, "brightnessAll"));
}
NumberRange GammaRange() {
    return RangeOf(*FindField(kAdjustSchema, "gammaAll"));
}

} // namespace

double GammaOfPosition(int position) {
    return std::pow(10.0, (position - kGammaNeutralPosition) * 0.01);
}

int PositionOfGamma(double gamma) {
    if (!(gamma > 0)) {
        return kGammaNeutralPosition;
    }
    const long position = std::lround(kGammaNeutralPosition + 100.0 * std::log10(gamma));
    return static_cast<int>(std::clamp(position, 0L, 2L * kGammaNeutralPosition));
}

// --------------------------------------------------------- ChannelPaneModel

ChannelPaneModel::ChannelPaneModel(const AdjustSettings& settings, uint8_t AdjustSettings::*usesAll)
    : working(settings), channel(settings.*usesAll ? RowAll : RowRed), usesAll(usesAll) {
    working.*usesAll = channel == RowAll ? 1 : 0;
}

bool ChannelPaneModel::SetChannel(int row) {
    if (row < 0 || row >= RowCount || row == channel) {
        return false;
    }
    channel = row;
    working.*usesAll = row == RowAll ? 1 : 0;
    return true;
}

// ------------------------------------------------------------ TonePaneModel

TonePaneModel::TonePaneModel(const AdjustSettings& settings)
    : ChannelPaneModel(settings, &AdjustSettings::toneUsesAll) {
    for (auto& row : working.tone) {
        for (int16_t& value : row) {
            value = static_cast<int16_t>(ToneRange().ClampInt(value));
        }
    }
}

double TonePaneModel::Value(int field) const {
    return working.tone[channel][std::clamp(field, 0, 2)];
}

NumberRange TonePaneModel::Range(int) const {
    return ToneRange();
}

bool TonePaneModel::Set(int field, double value) {
    int16_t& stored = working.tone[channel][std::clamp(field, 0, 2)];
    const int16_t before = stored;
    stored = static_cast<int16_t>(ToneRange().ClampInt(value));
    return stored != before;
}

void TonePaneModel::Store(AdjustSettings& settings) const {
    settings.toneUsesAll = working.toneUsesAll;
    std::copy(&working.tone[0][0], &working.tone[0][0] + RowCount * 3, &settings.tone[0][0]);
}

// ----------------------------------------------------------- GammaPaneModel

GammaPaneModel::GammaPaneModel(const AdjustSettings& settings)
    : ChannelPaneModel(settings, &AdjustSettings::gammaUsesAll) {
    const SettingsField& field = *FindField(kAdjustSchema, "gammaAll");
    for (double& gamma : working.gamma) {
        gamma = std::isnan(gamma) ? field.defaultValue : RangeOf(field).Clamp(gamma);
    }
}

double GammaPaneModel::Value(int) const {
    return PositionOfGamma(working.gamma[channel]);
}

NumberRange GammaPaneModel::Range(int) const {
    return {static_cast<double>(PositionOfGamma(GammaRange().minimum)),
            static_cast<double>(PositionOfGamma(GammaRange().maximum))};
}

bool GammaPaneModel::Set(int, double position) {
    const double before = working.gamma[channel];
    working.gamma[channel] =
        GammaRange().Clamp(GammaOfPosition(Range(Position).ClampInt(position)));
    return working.gamma[channel] != before;
}

void GammaPaneModel::Store(AdjustSettings& settings) const {
    settings.gammaUsesAll = working.gammaUsesAll;
    std::copy(working.gamma, working.gamma + RowCount, settings.gamma);
}

} // namespace pixmill::oaktone
