// The strength pane model: each filter's strength stays within its declared
// range, and storing it marks that filter's settings as confirmed.
#include "elmpass_pane_model.h"

#include "support/pane_model_checks.h"

#include <gtest/gtest.h>

using namespace pixmill;
using namespace pixmill::elmpass;
using namespace pixmill::test;

TEST(ElmpassPaneModel, StrengthStaysInRangeAndStoresOnlyItsSlot) {
    std::mt19937 random(7);
    for (int slot : {SlotSmooth, SlotSharpen, SlotDespeckle}) {
        FilterSettings settings = DefaultBlock<FilterSettings>(kFilterSchema);
        settings.paneFlag[slot] = 0;
        settings.strength[slot] = 5000; // a damaged block
        StrengthPaneModel model(settings, slot);
        ExpectInRange(model, {StrengthPaneModel::Strength});
        for (int step = 0; step < 200; ++step) {
            TypeAnything(model, {StrengthPaneModel::Strength}, random);
        }
        model.Set(StrengthPaneModel::Strength, 33);
        FilterSettings stored = DefaultBlock<FilterSettings>(kFilterSchema);
        model.Store(stored);
        ExpectBlockInSchema(&stored, kFilterSchema);
        for (int other = 0; other < 3; ++other) {
            EXPECT_EQ(stored.strength[other], other == slot ? 33 : 10);
            EXPECT_EQ(stored.paneFlag[other], 1);
        }
    }
}
