#include "host/progress.h"
#include "pixmill/errors.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

using namespace pixmill;
using namespace pixmill::test;

TEST(Progress, BeginAndStepArithmetic) {
    RecordingProgressDisplay display;
    {
        HostProgress progress(&display, "Open a.tif");
        EXPECT_EQ(progress.Begin(0, 100, 0, 1000), 50);
        EXPECT_EQ(display.caption, "Open a.tif");
        EXPECT_EQ(display.starts, 1);
        EXPECT_EQ(progress.Step(nullptr), 100);
        EXPECT_EQ(progress.Step("row"), 150);
        EXPECT_EQ(display.position, 10);
        EXPECT_EQ(display.texts.back(), "row");
        // Fractions accumulate before rounding.
        EXPECT_EQ(progress.Begin(0, 100, 0, 33), 2);    // 1.65
        EXPECT_EQ(progress.Step(nullptr), 3);           // 3.3
        EXPECT_EQ(progress.Step(nullptr), 5);           // 4.95
        EXPECT_EQ(progress.Begin(50, 100, 10, 20), 11); // 10 + 1
        progress.End();
        EXPECT_EQ(display.finished, 1);
    }
    EXPECT_EQ(display.texts.back(), "") << "destruction clears the text";
}

TEST(Progress, EqualBarEndsUseDivisorOne) {
    HostProgress progress(nullptr, "");
    EXPECT_EQ(progress.Begin(0, 0, 0, 100), 500);
    EXPECT_EQ(progress.Step(nullptr), 1000);
}

TEST(Progress, BreakEndsTheWorkWithUserBreak) {
    RecordingProgressDisplay display;
    display.breakAfterPolls = 2;
    HostProgress progress(&display, "Work");
    progress.Begin(0, 100, 0, 100);
    progress.Step(nullptr);
    progress.Step(nullptr);
    try {
        progress.Step(nullptr);
        FAIL() << "no break";
    } catch (CVImageError& e) {
        EXPECT_EQ(e.Code(), 7);
        EXPECT_STREQ(e.Report(false), "User break");
    }
}
