// The JPEG options model: levels, sharpening and the file budget stay within
// their declared ranges, locked levels move together, and a grey picture has no
// chrominance level to set.
#include "alderfmt_pane_model.h"

#include "support/pane_model_checks.h"

#include <gtest/gtest.h>

using namespace pixmill;
using namespace pixmill::alder;
using namespace pixmill::test;

namespace {
using M = JpegOptionsModel;
const Fields kFields = {M::Luminance, M::Chrominance, M::Sharpen, M::TargetBytes};
} // namespace

TEST(AlderfmtPaneModel, LevelsStayInRangeAndLockedLevelsMoveTogether) {
    std::mt19937 random(3);
    JpegSettings damaged{};
    damaged.luminance = -7;
    damaged.chrominance = 999;
    damaged.sharpen = 1000;
    M model(damaged);
    ExpectInRange(model, kFields);
    for (int step = 0; step < 800; ++step) {
        if (step % 40 == 0) {
            const bool lock = std::uniform_int_distribution<int>(0, 1)(random) != 0;
            const std::vector<double> before = Values(model, kFields);
            model.SetLocked(lock);
            EXPECT_EQ(Values(model, kFields), before) << "locking alone moves no level";
            model.SetGreyImage(std::uniform_int_distribution<int>(0, 1)(random) != 0);
        }
        const int field = TypeAnything(model, kFields, random);
        if (model.Values().lockSliders != 0 && field != M::Sharpen && field != M::TargetBytes) {
            EXPECT_EQ(model.Value(M::Luminance), model.Value(M::Chrominance));
        }
    }
    JpegSettings stored{};
    model.Store(stored);
    ExpectBlockInSchema(&stored, kJpegSchema);
    JpegTargetSettings target{};
    model.Store(target);
    ExpectBlockInSchema(&target, kJpegTargetSchema);
    EXPECT_EQ(target.targetBytes, model.Value(M::TargetBytes));
}

TEST(AlderfmtPaneModel, GreyPicturesHaveNoChrominance) {
    M model(JpegSettings{});
    EXPECT_TRUE(model.Enabled(M::Chrominance));
    model.SetGreyImage(true);
    EXPECT_FALSE(model.Enabled(M::Chrominance));
    EXPECT_TRUE(model.Enabled(M::Luminance));
    EXPECT_TRUE(model.Enabled(M::Sharpen));
    EXPECT_TRUE(model.SetProgressive(true));
    EXPECT_FALSE(model.SetProgressive(true));
    EXPECT_TRUE(model.SetWeb(true));
    EXPECT_FALSE(model.SetWeb(true));
    JpegSettings stored{};
    model.Store(stored);
    EXPECT_EQ(stored.progressive, 1);
    EXPECT_EQ(stored.web, 1);
}
