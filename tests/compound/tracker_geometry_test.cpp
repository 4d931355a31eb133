// The region trackers as plain geometry: tolerances, hit order, the resize
// rules of rectangles and circles under random drags, and polygon editing.
#include "compound/tracking/circle_tracker.h"
#include "compound/tracking/polygon_tracker.h"
#include "compound/tracking/rect_tracker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace pixmill {

// Found by argument lookup from the assertions.
static bool operator==(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

static std::ostream& operator<<(std::ostream& out, const RECT& r) {
    return out << "{" << r.left << "," << r.top << "," << r.right << "," << r.bottom << "}";
}

} // namespace pixmill

using namespace pixmill;

namespace {

POINT HandleOf(const RegionTracker& tracker, HitCode code) {
    return tracker.HandlePoints()[static_cast<int>(code) - 1];
}

TEST(TrackerTypes, ToleranceIsHandleHalfSizeOverZoomTruncatedAtLeastOne) {
    const std::pair<double, int> cases[] = {{4, 1},     {0.5, 6}, {1, 3}, {1.5, 2}, {3, 1},
                                            {0.25, 12}, {16, 1},  {0, 3}, {-2, 3}};
    for (auto [zoom, tolerance] : cases) {
        EXPECT_EQ(HandleTolerance(zoom), tolerance) << zoom;
    }
    // Bounds included: at zoom 0.5 a corner is hit 6 pixels away, not 7.
    RectTracker tracker(RECT{100, 100, 200, 200});
    tracker.SetZoom(0.5);
    EXPECT_EQ(tracker.HitTest({94, 106}), HitCode::TopLeft);
    EXPECT_EQ(tracker.HitTest({93, 100}), HitCode::None);
    tracker.SetZoom(4);
    EXPECT_EQ(tracker.HitTest({201, 199}), HitCode::BottomRight);
    EXPECT_EQ(tracker.HitTest({202, 200}), HitCode::None);
}

TEST(TrackerTypes, ScreenMappingRoundsAndItsInverseFindsTheShownPixel) {
    const ScreenMapping mapping{2.5, 7, 3};
    EXPECT_EQ(mapping.ToScreen(POINT{10, 4}).x, 18); // floor(25 - 7 + 0.5)
    EXPECT_EQ(mapping.ToScreen(POINT{10, 3}).y, 5);  // floor(7.5 - 3 + 0.5)
    for (double zoom : {0.3, 0.5, 1.0, 1.5, 2.0, 2.5, 3.7, 4.0, 8.0}) {
        for (int scroll : {0, 1, 13}) {
            const ScreenMapping map{zoom, scroll, scroll};
            for (int screen = -20; screen < 200; ++screen) {
                // The canvas pixel found covers the screen pixel.
                const int canvas = map.ToCanvasX(screen);
                EXPECT_LE(map.ToScreenX(canvas), screen) << zoom << " " << screen;
                EXPECT_GT(map.ToScreenX(canvas + 1), screen) << zoom << " " << screen;
            }
            if (zoom >= 1) {
                for (int canvas = -10; canvas < 100; ++canvas) {
                    EXPECT_EQ(map.ToCanvasY(map.ToScreenY(canvas)), canvas) << zoom;
                }
            }
        }
    }
}

TEST(TrackerTypes, UnionIgnoresTheEmptyRectangle) {
    EXPECT_EQ(UnionRect(RECT{0, 0, 0, 0}, RECT{5, 6, 7, 8}), (RECT{5, 6, 7, 8}));
    EXPECT_EQ(UnionRect(RECT{1, 9, 3, 10}, RECT{5, 6, 7, 8}), (RECT{1, 6, 7, 10}));
}

TEST(RectTracker, HitTestTriesHandlesInItsOrderWhereTheyOverlap) {
    // Handles of a 4x4 rectangle at zoom 1 (tolerance 3) overlap.
    RectTracker tracker(RECT{10, 10, 14, 14});
    EXPECT_EQ(tracker.HitTest({12, 12}), HitCode::TopLeft);    // all eight hit
    EXPECT_EQ(tracker.HitTest({13, 14}), HitCode::BottomLeft); // before 4 and 7
    EXPECT_EQ(tracker.HitTest({14, 13}), HitCode::TopRight);   // before 4 and 8
    EXPECT_EQ(tracker.HitTest({16, 16}), HitCode::BottomRight);
    // On a large rectangle each handle is found at its own point, with its
    // cursor.
    RectTracker large(RECT{0, 0, 100, 60});
    const TrackerCursor cursors[] = {
        TrackerCursor::NorthWestSouthEast, TrackerCursor::NorthEastSouthWest,
        TrackerCursor::NorthEastSouthWest, TrackerCursor::NorthWestSouthEast,
        TrackerCursor::NorthSouth,         TrackerCursor::WestEast,
        TrackerCursor::NorthSouth,         TrackerCursor::WestEast};
    for (int code = 1; code <= 8; ++code) {
        const POINT handle = HandleOf(large, static_cast<HitCode>(code));
        EXPECT_EQ(large.HitTest(handle), static_cast<HitCode>(code));
        EXPECT_EQ(large.CursorAt(handle), cursors[code - 1]) << code;
    }
    EXPECT_EQ(HandleOf(large, HitCode::Bottom).x, 50);
    EXPECT_EQ(HandleOf(large, HitCode::Right).y, 30);
    EXPECT_EQ(large.CursorAt({50, 30}), TrackerCursor::SizeAll);
    EXPECT_EQ(large.CursorAt({150, 30}), TrackerCursor::Cross);
    // A frame that may only move has no handles.
    large.SetResizable(false);
    EXPECT_EQ(large.HitTest({0, 0}), HitCode::None);
    EXPECT_EQ(large.CursorAt({0, 0}), TrackerCursor::SizeAll);
}

TEST(RectTracker, NewRectangleDragsTheTopRightCornerAndMirrorsIt) {
    RectTracker tracker;
    tracker.StartNew({10, 20});
    EXPECT_EQ(tracker.Rect(), (RECT{10, 19, 11, 20}));
    EXPECT_EQ(tracker.DragHandle(), HitCode::TopRight);
    EXPECT_EQ(tracker.State(), TrackerState::Drawing);
    // Dragging down and right passes the bottom: the corner becomes 4.
    EXPECT_EQ(tracker.MouseMove({30, 50}), (RECT{10, 19, 30, 50}));
    EXPECT_EQ(tracker.Rect(), (RECT{10, 20, 30, 50}));
    EXPECT_EQ(tracker.DragHandle(), HitCode::BottomRight);
    // Then left past the left side: 3.
    tracker.MouseMove({0, 40});
    EXPECT_EQ(tracker.Rect(), (RECT{0, 20, 10, 40}));
    EXPECT_EQ(tracker.DragHandle(), HitCode::BottomLeft);
    tracker.MouseUp({0, 40});
    EXPECT_EQ(tracker.State(), TrackerState::Idle);
    EXPECT_FALSE(tracker.IsEmpty());
    // A click without a drag leaves nothing worth keeping.
    RectTracker click;
    click.StartNew({5, 5});
    click.MouseUp({5, 5});
    EXPECT_TRUE(click.IsEmpty());
}

TEST(RectTracker, SidesAndCornersSwapWithTheirMirrors) {
    struct Case {
        HitCode grabbed;
        POINT to;
        RECT rect;
        HitCode handle;
    } cases[] = {
        {HitCode::Top, {50, 90}, {20, 80, 80, 90}, HitCode::Bottom},
        {HitCode::Bottom, {50, 5}, {20, 5, 80, 20}, HitCode::Top},
        {HitCode::Left, {95, 50}, {80, 20, 95, 80}, HitCode::Right},
        {HitCode::Right, {0, 50}, {0, 20, 20, 80}, HitCode::Left},
        {HitCode::TopLeft, {90, 30}, {80, 30, 90, 80}, HitCode::TopRight},
        {HitCode::TopLeft, {30, 90}, {30, 80, 80, 90}, HitCode::BottomLeft},
        {HitCode::TopLeft, {90, 90}, {80, 80, 90, 90}, HitCode::BottomRight},
        {HitCode::BottomRight, {10, 10}, {10, 10, 20, 20}, HitCode::TopLeft},
        {HitCode::TopRight, {10, 50}, {10, 50, 20, 80}, HitCode::TopLeft},
        {HitCode::BottomLeft, {50, 10}, {50, 10, 80, 20}, HitCode::TopLeft},
    };
    for (const Case& c : cases) {
        RectTracker tracker(RECT{20, 20, 80, 80});
        ASSERT_TRUE(tracker.MouseDown(HandleOf(tracker, c.grabbed)));
        tracker.MouseMove(c.to);
        EXPECT_EQ(tracker.Rect(), c.rect) << static_cast<int>(c.grabbed);
        EXPECT_EQ(tracker.DragHandle(), c.handle) << static_cast<int>(c.grabbed);
    }
}

TEST(CircleTracker, SideHandlesKeepTheOppositeSideAndFlipPastIt) {
    CircleTracker circle(50, 50, 10);
    ASSERT_TRUE(circle.MouseDown({50, 40}));
    EXPECT_EQ(circle.DragHandle(), HitCode::Top);
    circle.MouseMove({50, 30});
    EXPECT_EQ(circle.Radius(), 15);
    EXPECT_EQ(circle.CenterY(), 45);
    EXPECT_EQ(circle.Bounds().bottom, 60);
    // Below the bottom: the radius turns positive and the drag goes on with
    // the bottom handle, the old bottom (60) now being the top.
    circle.MouseMove({50, 80});
    EXPECT_EQ(circle.DragHandle(), HitCode::Bottom);
    EXPECT_EQ(circle.Radius(), 10);
    EXPECT_EQ(circle.Bounds().top, 60);
    EXPECT_EQ(circle.Bounds().bottom, 80);
    circle.MouseMove({50, 90});
    EXPECT_EQ(circle.Bounds().top, 60);
    EXPECT_EQ(circle.Bounds().bottom, 90);
    circle.MouseUp({50, 90});
    EXPECT_EQ(circle.State(), TrackerState::Idle);
    EXPECT_EQ(circle.StatusText(), "Center X: 50  Y: 75  Radius: 15");

    // The same for the left and right handles.
    CircleTracker wide(50, 50, 10);
    ASSERT_TRUE(wide.MouseDown({60, 50}));
    EXPECT_EQ(wide.DragHandle(), HitCode::Right);
    wide.MouseMove({20, 50});
    EXPECT_EQ(wide.DragHandle(), HitCode::Left);
    EXPECT_EQ(wide.Bounds().right, 40);
    EXPECT_EQ(wide.Bounds().left, 20);
}

TEST(CircleTracker, NewCirclesAndDiagonalHandlesSetTheRadiusFromTheCentre) {
    CircleTracker circle;
    circle.StartNew({50, 50});
    EXPECT_TRUE(circle.IsEmpty());
    circle.MouseMove({53, 54});
    EXPECT_EQ(circle.Radius(), 5);
    circle.MouseUp({51, 51}); // 1.41 truncated
    EXPECT_EQ(circle.Radius(), 1);
    EXPECT_EQ(circle.CenterX(), 50);

    CircleTracker ring(100, 100, 20);
    const POINT diagonal = HandleOf(ring, HitCode::BottomRight);
    EXPECT_EQ(diagonal.x, 114); // 20 * 0.70710678 rounded
    ASSERT_TRUE(ring.MouseDown(diagonal));
    EXPECT_EQ(ring.DragHandle(), HitCode::BottomRight);
    ring.MouseMove({130, 100});
    EXPECT_EQ(ring.Radius(), 30);
    EXPECT_EQ(ring.CenterX(), 100);
}

TEST(CircleTracker, HitTestTriesSidesBeforeDiagonals) {
    CircleTracker dot(50, 50, 0); // every handle on the centre
    EXPECT_EQ(dot.HitTest({50, 50}), HitCode::Left);
    CircleTracker small(50, 50, 2);
    small.SetZoom(4); // tolerance 1
    // The top-right handle is at (51, 49) but the right one, tried first,
    // is within reach too.
    EXPECT_EQ(small.HitTest({51, 49}), HitCode::Right);
    EXPECT_EQ(small.CursorAt({51, 49}), TrackerCursor::WestEast);
    CircleTracker large(100, 100, 40);
    EXPECT_EQ(large.HitTest(HandleOf(large, HitCode::TopRight)), HitCode::TopRight);
    EXPECT_EQ(large.CursorAt({100, 100}), TrackerCursor::SizeAll);
    EXPECT_EQ(large.CursorAt({145, 145}), TrackerCursor::Cross);
}

// Random drags of every handle: the shape stays well formed, the handle
// follows the mouse, and the side opposite the dragged one stays put.
TEST(Trackers, RandomDragsKeepShapesWellFormed) {
    std::mt19937 random(23);
    auto coordinate = [&random] { return std::uniform_int_distribution<int>(-50, 250)(random); };
    const double zooms[] = {0.25, 0.5, 1, 2, 4};
    for (int round = 0; round < 400; ++round) {
        const int code = 1 + round % 8;
        const int left = coordinate(), top = coordinate();
        RectTracker rect(RECT{left, top, left + 5 + round % 90, top + 5 + round % 70});
        rect.SetZoom(zooms[round % 5]);
        // The edges a side drag leaves alone.
        const RECT start = rect.Rect();
        ASSERT_TRUE(rect.MouseDown(HandleOf(rect, static_cast<HitCode>(code))));
        // On a small rectangle seen from afar another handle may come first.
        const int grabbed = static_cast<int>(rect.DragHandle());
        ASSERT_NE(grabbed, 0);
        for (int step = 0; step < 12; ++step) {
            const POINT mouse{coordinate(), coordinate()};
            const RECT repaint = rect.MouseMove(mouse);
            const RECT& r = rect.Rect();
            ASSERT_LE(r.left, r.right);
            ASSERT_LE(r.top, r.bottom);
            const HitCode handle = rect.DragHandle();
            const POINT at = HandleOf(rect, handle);
            if (handle != HitCode::Top && handle != HitCode::Bottom) {
                EXPECT_EQ(at.x, mouse.x);
            }
            if (handle != HitCode::Left && handle != HitCode::Right) {
                EXPECT_EQ(at.y, mouse.y);
            }
            if (grabbed == 5 || grabbed == 7) {
                EXPECT_EQ(r.left, start.left);
                EXPECT_EQ(r.right, start.right);
                EXPECT_TRUE(r.top == (grabbed == 5 ? start.bottom : start.top) ||
                            r.bottom == (grabbed == 5 ? start.bottom : start.top));
            }
            EXPECT_EQ(UnionRect(repaint, r), repaint);
        }

        CircleTracker circle(coordinate(), coordinate(), round % 60);
        circle.SetZoom(zooms[round % 5]);
        const RECT before = circle.Bounds();
        ASSERT_TRUE(circle.MouseDown(HandleOf(circle, static_cast<HitCode>(code))));
        const HitCode side = circle.DragHandle();
        for (int step = 0; step < 12; ++step) {
            circle.MouseMove({coordinate(), coordinate()});
            ASSERT_GE(circle.Radius(), 0);
            const RECT b = circle.Bounds();
            if (side == HitCode::Top || side == HitCode::Bottom) {
                const int fixed = side == HitCode::Top ? before.bottom : before.top;
                EXPECT_TRUE(b.top == fixed || b.bottom == fixed);
                EXPECT_EQ(circle.CenterX(), (before.left + before.right) / 2);
            } else if (side == HitCode::Left || side == HitCode::Right) {
                const int fixed = side == HitCode::Left ? before.right : before.left;
                EXPECT_TRUE(b.left == fixed || b.right == fixed);
            }
        }
        circle.MouseUp({coordinate(), coordinate()});
        ASSERT_GE(circle.Radius(), 0);
    }
}

TEST(Trackers, DraggingInsideMovesTheWholeShape) {
    RectTracker rect(RECT{10, 10, 50, 40});
    CircleTracker circle(100, 100, 20);
    PolygonTracker polygon({{200, 200}, {260, 200}, {230, 250}});
    struct {
        RegionTracker* tracker;
        POINT inside;
    } shapes[] = {{&rect, {30, 25}}, {&circle, {105, 95}}, {&polygon, {230, 215}}};
    for (auto& [tracker, inside] : shapes) {
        const RECT before = tracker->Bounds();
        EXPECT_EQ(tracker->CursorAt(inside), TrackerCursor::SizeAll);
        ASSERT_TRUE(tracker->MouseDown(inside));
        EXPECT_EQ(tracker->State(), TrackerState::Moving);
        tracker->MouseMove({inside.x + 3, inside.y - 2});
        const RECT repaint = tracker->MouseUp({inside.x + 7, inside.y + 5});
        const RECT after = tracker->Bounds();
        EXPECT_EQ(after,
                  (RECT{before.left + 7, before.top + 5, before.right + 7, before.bottom + 5}));
        EXPECT_EQ(repaint, UnionRect(RECT{before.left + 3, before.top - 2, before.right + 3,
                                          before.bottom - 2},
                                     after));
        EXPECT_EQ(tracker->State(), TrackerState::Idle);
        // A press away from the shape takes nothing.
        EXPECT_FALSE(tracker->MouseDown({-500, -500}));
        EXPECT_EQ(tracker->State(), TrackerState::Idle);
        EXPECT_TRUE(IsEmptyRect(tracker->MouseMove({0, 0})));
    }
}

TEST(Trackers, CaptionsAndStatusTexts) {
    RectTracker rect(RECT{10, 20, 110, 70});
    EXPECT_EQ(rect.Caption(), "Rectangle");
    EXPECT_EQ(rect.StatusText(), "Position X: 10  Y: 20  Width: 100  Height: 50");
    CircleTracker circle(5, 6, 7);
    EXPECT_EQ(circle.Caption(), "Circle");
    EXPECT_EQ(circle.StatusText(), "Center X: 5  Y: 6  Radius: 7");
    PolygonTracker polygon({{4, 9}, {30, 2}, {12, 40}});
    EXPECT_EQ(polygon.Caption(), "Polygon");
    EXPECT_EQ(polygon.StatusText(), "Position X: 4  Y: 2  Width: 26  Height: 38");
    EXPECT_EQ(PositionStatusText({-3, 12}), "Position X: -3,  Y: 12 ");
}

TEST(PolygonTracker, ClicksAddPointsAndADoubleClickClosesIt) {
    PolygonTracker polygon;
    polygon.StartNew({10, 10});
    EXPECT_TRUE(polygon.IsDrawing());
    EXPECT_TRUE(polygon.ConfinesCursor());
    polygon.MouseUp({10, 10});
    // The rubber band follows the mouse and counts in the repaint area.
    EXPECT_EQ(polygon.MouseMove({60, 15}), (RECT{10, 10, 60, 15}));
    EXPECT_EQ(polygon.RubberPoint().x, 60);
    EXPECT_TRUE(polygon.MouseDown({60, 15}));
    polygon.MouseUp({60, 15});
    EXPECT_TRUE(polygon.MouseDown({60, 15})); // the same point twice: once
    polygon.MouseUp({60, 15});
    EXPECT_EQ(polygon.Points().size(), 2u);
    EXPECT_FALSE(polygon.IsValid());
    // A double-click's own press adds its point, the double-click does not
    // add it again.
    polygon.MouseDown({40, 50});
    polygon.MouseUp({40, 50});
    polygon.DoubleClick({40, 50});
    EXPECT_FALSE(polygon.IsDrawing());
    EXPECT_FALSE(polygon.ConfinesCursor());
    ASSERT_EQ(polygon.Points().size(), 3u);
    EXPECT_EQ(polygon.SelectedPoints().size(), 3u);
    EXPECT_TRUE(polygon.IsValid());
    EXPECT_TRUE(polygon.Contains({40, 25}));
    EXPECT_FALSE(polygon.Contains({12, 40}));
    // Further presses edit rather than add.
    EXPECT_FALSE(polygon.MouseDown({200, 200}));
    EXPECT_EQ(polygon.Points().size(), 3u);

    // Closed after two points: not a region.
    PolygonTracker line;
    line.StartNew({0, 0});
    line.DoubleClick({10, 10});
    EXPECT_FALSE(line.IsDrawing());
    EXPECT_FALSE(line.IsValid());
    EXPECT_TRUE(line.IsEmpty());
}

TEST(PolygonTracker, PointsAreDraggedSelectedAndDeletedDownToThree) {
    // A concave outline: (50, 30) lies in the notch, outside.
    PolygonTracker polygon({{0, 0}, {100, 0}, {100, 60}, {50, 20}, {0, 60}});
    EXPECT_FALSE(polygon.Contains({50, 30}));
    EXPECT_TRUE(polygon.Contains({10, 30}));
    EXPECT_EQ(polygon.CursorAt({101, 59}), TrackerCursor::NorthSouth);
    EXPECT_EQ(polygon.CursorAt({50, 30}), TrackerCursor::Cross);
    EXPECT_EQ(polygon.HitTest({100, 60}), HitCode::None);

    ASSERT_TRUE(polygon.MouseDown({51, 21}));
    EXPECT_EQ(polygon.DragPoint(), 3);
    EXPECT_TRUE(polygon.ConfinesCursor());
    polygon.MouseMove({50, 50});
    polygon.MouseUp({50, 70});
    EXPECT_EQ(polygon.Points()[3].y, 70);
    EXPECT_EQ(polygon.DragPoint(), -1);
    EXPECT_EQ(polygon.Bounds().bottom, 70);
    EXPECT_EQ(polygon.SelectedPoints(), (std::vector<uint8_t>{0, 0, 0, 1, 0}));

    EXPECT_TRUE(polygon.DeleteSelectedPoints());
    ASSERT_EQ(polygon.Points().size(), 4u);
    EXPECT_EQ(polygon.Points()[3].x, 0);
    EXPECT_FALSE(polygon.DeleteSelectedPoints()); // nothing selected
    polygon.SelectPoint(0);
    polygon.SelectPoint(2, true);
    EXPECT_FALSE(polygon.DeleteSelectedPoints()); // two would remain
    EXPECT_EQ(polygon.Points().size(), 4u);
    polygon.SelectPoint(1);
    EXPECT_TRUE(polygon.DeleteSelectedPoints());
    polygon.SelectPoint(0);
    EXPECT_FALSE(polygon.DeleteSelectedPoints()); // a triangle stays one
    EXPECT_EQ(polygon.Points().size(), 3u);
    polygon.SetSelected(true);
    polygon.SetSelected(false);
    EXPECT_EQ(polygon.SelectedPoints(), (std::vector<uint8_t>{0, 0, 0}));
}

} // namespace
