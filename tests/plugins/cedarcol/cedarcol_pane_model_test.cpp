// The colour-conversion pane models: every value stays within its range,
// colours and bits agree, the fixed palette kinds fix what they fix, and the
// threshold counts only without dithering.
#include "cedarcol_pane_model.h"

#include "support/pane_model_checks.h"

#include <gtest/gtest.h>

using namespace pixmill;
using namespace pixmill::cedarcol;
using namespace pixmill::test;

TEST(CedarcolPaneModel, PaletteRulesHoldWhateverIsTyped) {
    using M = PalettePaneModel;
    const Fields fields = {M::Colors, M::Bits, M::Dither, M::Tolerance};
    std::mt19937 random(17);
    QorelColorInfo settings = DefaultColorInfo();
    settings.colorCount = 100000; // a damaged block
    settings.paletteKind = 9;
    M model(settings, 99, -5);
    EXPECT_EQ(model.Kind(), kPaletteKindCount - 1);
    int adaptiveColors = 256, adaptiveTolerance = 0;
    for (int step = 0; step < 1000; ++step) {
        if (step % 30 == 0) {
            const int kind = std::uniform_int_distribution<int>(0, kPaletteKindCount - 1)(random);
            const int before = model.Kind();
            EXPECT_EQ(model.SetKind(kind), kind != before);
            if (kind == PaletteAdaptive) {
                EXPECT_EQ(model.Value(M::Colors), adaptiveColors) << "adaptive gets its own back";
                EXPECT_EQ(model.Value(M::Tolerance), adaptiveTolerance);
            }
        }
        const std::vector<double> before = Values(model, fields);
        const int field = TypeAnything(model, fields, random);
        if (!model.Enabled(field)) {
            EXPECT_EQ(Values(model, fields), before) << "a disabled field takes nothing";
        }
        EXPECT_EQ(model.Value(M::Bits), BitsFor(static_cast<int>(model.Value(M::Colors))));
        switch (model.Kind()) {
        case PaletteWindows:
            EXPECT_EQ(model.Value(M::Colors), 236);
            EXPECT_EQ(model.Value(M::Tolerance), 0);
            break;
        case PaletteMacintosh:
            EXPECT_EQ(model.Value(M::Colors), 256);
            EXPECT_EQ(model.Value(M::Tolerance), 0);
            break;
        case PaletteNetscape:
        case PaletteExplorer:
            EXPECT_EQ(model.Value(M::Tolerance), kMaxTolerance);
            break;
        default:
            adaptiveColors = static_cast<int>(model.Value(M::Colors));
            adaptiveTolerance = static_cast<int>(model.Value(M::Tolerance));
            break;
        }
        EXPECT_EQ(model.Enabled(M::Tolerance), model.Kind() == PaletteAdaptive);
        // Refining is a choice of adaptive palettes only.
        const bool refined = model.HighQuality();
        EXPECT_EQ(model.SetHighQuality(!refined), model.Kind() == PaletteAdaptive);
        EXPECT_EQ(model.HighQuality(), model.Kind() == PaletteAdaptive ? !refined : refined);
    }
    QorelColorInfo stored = DefaultColorInfo();
    int ditherLevel = -1, tolerance = -1;
    int32_t highQuality = -1;
    model.Store(stored, ditherLevel, tolerance, highQuality);
    ExpectBlockInSchema(&stored, kColorInfoSchema);
    EXPECT_EQ(ditherLevel, model.Value(M::Dither));
    EXPECT_EQ(tolerance, model.Value(M::Tolerance));
    EXPECT_EQ(highQuality, model.HighQuality() ? 1 : 0);
}

TEST(CedarcolPaneModel, ThresholdCountsOnlyWithoutDithering) {
    using M = BlackWhitePaneModel;
    std::mt19937 random(18);
    QorelColorInfo settings = DefaultColorInfo();
    settings.threshold = -40;
    M model(settings, kDefaultDitherLevel);
    for (int step = 0; step < 300; ++step) {
        TypeAnything(model, {M::Threshold, M::Dither}, random);
        EXPECT_EQ(model.Enabled(M::Threshold), model.Value(M::Dither) == 0);
        EXPECT_TRUE(model.Enabled(M::Dither));
    }
    QorelColorInfo stored = DefaultColorInfo();
    int ditherLevel = -1;
    model.Store(stored, ditherLevel);
    ExpectBlockInSchema(&stored, kColorInfoSchema);
    EXPECT_EQ(ditherLevel, model.Value(M::Dither));
}
