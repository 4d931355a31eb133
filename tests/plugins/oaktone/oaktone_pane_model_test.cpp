// The colour adjustment pane models: values stay within the declared ranges,
// each channel keeps its own values, and the chosen channel decides whether
// the "All colors" values are in use.
#include "oaktone_pane_model.h"

#include "support/pane_model_checks.h"

#include <gtest/gtest.h>

using namespace pixmill;
using namespace pixmill::oaktone;
using namespace pixmill::test;

TEST(OaktonePaneModel, ToneChannelsKeepTheirOwnValues) {
    std::mt19937 random(12);
    AdjustSettings settings = DefaultAdjustSettings();
    settings.tone[RowBlue][ValueContrast] = 900; // a damaged block
    TonePaneModel model(settings);
    AdjustSettings expected = DefaultAdjustSettings();
    expected.tone[RowBlue][ValueContrast] = 100;
    const Fields fields = {ValueBrightness, ValueContrast, ValueIntensity};
    for (int step = 0; step < 600; ++step) {
        if (step % 25 == 0) {
            const int row = std::uniform_int_distribution<int>(-1, RowCount)(random);
            const int before = model.Channel();
            EXPECT_EQ(model.SetChannel(row), row != before && row >= 0 && row < RowCount);
        }
        const int field = TypeAnything(model, fields, random);
        expected.tone[model.Channel()][field] = static_cast<int16_t>(model.Value(field));
    }
    AdjustSettings stored = DefaultAdjustSettings();
    model.Store(stored);
    ExpectBlockInSchema(&stored, kAdjustSchema);
    EXPECT_EQ(stored.toneUsesAll, model.Channel() == RowAll ? 1 : 0);
    for (int row = 0; row < RowCount; ++row) {
        for (int value = 0; value < 3; ++value) {
            EXPECT_EQ(stored.tone[row][value], expected.tone[row][value]) << row << "/" << value;
        }
    }
}

TEST(OaktonePaneModel, GammaFollowsTheTrackBarWithinItsRange) {
    std::mt19937 random(13);
    AdjustSettings settings = DefaultAdjustSettings();
    settings.gammaUsesAll = 0;
    settings.gamma[RowGreen] = 0.5;
    settings.gamma[RowBlue] = 1e6;
    GammaPaneModel model(settings);
    EXPECT_EQ(model.Channel(), RowRed) << "the channels' own values are in use";
    EXPECT_EQ(model.Range(GammaPaneModel::Position).minimum, 0);
    EXPECT_EQ(model.Range(GammaPaneModel::Position).maximum, 200);
    model.SetChannel(RowGreen);
    EXPECT_EQ(model.Value(GammaPaneModel::Position), 70);
    for (int position = 0; position <= 200; ++position) {
        model.Set(GammaPaneModel::Position, position);
        EXPECT_EQ(model.Value(GammaPaneModel::Position), position) << "positions round-trip";
        EXPECT_DOUBLE_EQ(model.Gamma(), GammaOfPosition(position));
    }
    for (int step = 0; step < 300; ++step) {
        if (step % 30 == 0) {
            model.SetChannel(std::uniform_int_distribution<int>(0, RowCount - 1)(random));
        }
        TypeAnything(model, {GammaPaneModel::Position}, random);
    }
    AdjustSettings stored{};
    model.Store(stored);
    ExpectBlockInSchema(&stored, kAdjustSchema);
    EXPECT_EQ(stored.gammaUsesAll, model.Channel() == RowAll ? 1 : 0);
}
