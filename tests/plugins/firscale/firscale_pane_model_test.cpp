// The resample pane model without widgets: sizes stay within the declared
// range whatever is typed, the kept aspect ratio follows the fit rule, and
// percentages work only against a current image.
#include "firscale_pane_model.h"
#include "resample.h"

#include "support/pane_model_checks.h"

#include <gtest/gtest.h>

using namespace pixmill;
using namespace pixmill::firscale;
using namespace pixmill::test;

namespace {
using M = ResamplePaneModel;
const Fields kAll = {M::Width, M::Height, M::WidthPercent, M::HeightPercent};
const Fields kPixels = {M::Width, M::Height};
} // namespace

TEST(FirscalePaneModel, AnythingTypedKeepsTheSizesInRangeAndTheRatio) {
    std::mt19937 random(41);
    for (const SIZE image : {SIZE{0, 0}, SIZE{400, 200}, SIZE{1, 5000}, SIZE{32767, 3}}) {
        for (bool keep : {false, true}) {
            ResampleSettings settings = DefaultBlock<ResampleSettings>(kResampleSchema);
            settings.keepAspect = keep;
            M model(settings);
            model.SetImageSize(image.cx, image.cy);
            for (int step = 0; step < 400; ++step) {
                const int field = TypeAnything(model, kAll, random, kPixels);
                if (!model.HasImage()) {
                    continue;
                }
                if (keep) {
                    // The side not given follows by the fit into an unlimited box.
                    const bool width = field == M::Width || field == M::WidthPercent;
                    const SIZE fit =
                        FitTargetSize(image.cx, image.cy, width ? model.Value(M::Width) : 32767,
                                      width ? 32767 : model.Value(M::Height));
                    EXPECT_EQ(width ? model.Value(M::Height) : model.Value(M::Width),
                              std::clamp<double>(width ? fit.cy : fit.cx, 1, 32767));
                }
            }
            ResampleSettings stored{};
            model.Store(stored);
            ExpectBlockInSchema(&stored, kResampleSchema);
            EXPECT_EQ(stored.keepAspect, keep ? 1 : 0);
        }
    }
}

TEST(FirscalePaneModel, PercentOfTheImage) {
    M model(ResampleSettings{200, 100, 0, 0, {}});
    EXPECT_FALSE(model.Enabled(M::WidthPercent)) << "nothing to take a percentage of";
    EXPECT_FALSE(model.Set(M::WidthPercent, 50));
    EXPECT_EQ(model.Value(M::Width), 200);

    model.SetImageSize(400, 300);
    EXPECT_TRUE(model.Enabled(M::HeightPercent));
    EXPECT_EQ(model.Value(M::WidthPercent), 50);
    EXPECT_EQ(model.Value(M::HeightPercent), 33);
    EXPECT_TRUE(model.Set(M::HeightPercent, 150));
    EXPECT_EQ(model.Value(M::Height), 450);
    EXPECT_EQ(model.Value(M::Width), 200) << "without the ratio the other side stays";
    EXPECT_TRUE(model.Set(M::Width, 1));
    EXPECT_EQ(model.Value(M::WidthPercent), 0) << "shown rounded, though 1% cannot be typed";
    EXPECT_TRUE(model.Set(M::WidthPercent, 0));
    EXPECT_EQ(model.Value(M::Width), 4) << "a percentage below 1 counts as 1";

    // The stored sizes use their low 16 bits.
    M wide(ResampleSettings{0x10000 + 640, -1, 1, 1, {}});
    EXPECT_EQ(wide.Value(M::Width), 640);
    EXPECT_EQ(wide.Value(M::Height), 32767);
}
