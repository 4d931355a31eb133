// The rotate pane model: a typed angle stays within the declared range and
// turns the picture as typed, the choices set flip and angle, and the custom
// angle comes back when it is chosen again.
#include "pineturn_pane_model.h"
#include "rotate.h"

#include "support/pane_model_checks.h"

#include <gtest/gtest.h>

using namespace pixmill;
using namespace pixmill::pineturn;
using namespace pixmill::test;

namespace {
using M = RotatePaneModel;
using Choice = M::Choice;
} // namespace

TEST(PineturnPaneModel, TypedAnglesTurnAsTypedWithinTheRange) {
    std::mt19937 random(23);
    RotateSettings settings = DefaultBlock<RotateSettings>(kRotateSchema);
    settings.angle = 1e5;
    settings.smartBackground = 7;
    M model(settings);
    ExpectInRange(model, {M::CustomAngle});
    for (int step = 0; step < 500; ++step) {
        const double typed = AnyInput(model.Range(M::CustomAngle), random);
        model.Set(M::CustomAngle, typed);
        ExpectInRange(model, {M::CustomAngle});
        EXPECT_EQ(model.Chosen(), Choice::Custom) << "typing chooses the custom angle";
        EXPECT_EQ(model.State().flip, 0);
        if (std::isfinite(typed)) {
            EXPECT_EQ(NormalizeAngle(model.State().angle), NormalizeAngle(typed)) << typed;
        }
        RotateSettings stored{};
        model.Store(stored);
        ExpectBlockInSchema(&stored, kRotateSchema);
    }
}

TEST(PineturnPaneModel, ChoicesSetFlipAndAngle) {
    RotateSettings settings = DefaultBlock<RotateSettings>(kRotateSchema);
    settings.angle = 12.5;
    M model(settings);
    EXPECT_EQ(model.Chosen(), Choice::Custom);
    EXPECT_EQ(model.Value(M::CustomAngle), 12.5);
    EXPECT_TRUE(model.Choose(Choice::Turn180));
    EXPECT_FALSE(model.Choose(Choice::Turn180));
    EXPECT_EQ(model.State().angle, 180.0);
    EXPECT_TRUE(model.Choose(Choice::FlipVertical));
    EXPECT_EQ(model.State().flip, 2);
    EXPECT_EQ(model.State().angle, 180.0) << "a flip leaves the angle";
    EXPECT_TRUE(model.Choose(Choice::Turn270));
    EXPECT_EQ(model.State().flip, 0);
    EXPECT_TRUE(model.Choose(Choice::Custom));
    EXPECT_EQ(model.State().angle, 12.5) << "the edit's angle again";

    for (const auto& [flip, angle, chosen] :
         {std::tuple{1, 0.0, Choice::FlipHorizontal}, std::tuple{2, 90.0, Choice::FlipVertical},
          std::tuple{0, 90.0, Choice::Turn90}, std::tuple{0, 270.0, Choice::Turn270},
          std::tuple{9, 45.0, Choice::Custom}}) {
        RotateSettings stored = DefaultBlock<RotateSettings>(kRotateSchema);
        stored.flip = flip;
        stored.angle = angle;
        M loaded(stored);
        EXPECT_EQ(loaded.Chosen(), chosen) << flip << " " << angle;
        EXPECT_EQ(loaded.Value(M::CustomAngle), chosen == Choice::Custom ? angle : 0.0);
        RotateSettings saved{};
        loaded.Store(saved);
        ExpectBlockInSchema(&saved, kRotateSchema);
    }

    EXPECT_TRUE(model.SetBackground(10, 20, 30));
    EXPECT_FALSE(model.SetBackground(10, 20, 30));
    EXPECT_TRUE(model.SetSmartBackground(false));
    model.SetTransparentImage(true);
    EXPECT_FALSE(model.BackgroundOffered());
}
