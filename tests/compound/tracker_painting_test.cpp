// Trackers on compound objects, and drawn onto pictures: outlines that show
// on any background, handles, and repaint rectangles that hold the drawing.
#include "compound/tracking/circle_tracker.h"
#include "compound/tracking/object_trackers.h"
#include "compound/tracking/painting/tracker_painter.h"
#include "compound/tracking/polygon_tracker.h"
#include "compound/tracking/rect_tracker.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <random>

using namespace pixmill;

namespace {

TEST(ObjectTrackers, EditedGeometryGoesBackIntoTheObject) {
    CompoundObject rect = CompoundObject::MakeRectangle(RECT{10, 10, 50, 40});
    auto tracker = MakeTracker(rect);
    ASSERT_EQ(tracker->Shape(), TrackerShape::Rectangle);
    ASSERT_TRUE(tracker->MouseDown({50, 40}));
    tracker->MouseUp({70, 45});
    ASSERT_TRUE(ApplyTracker(*tracker, rect));
    EXPECT_EQ(rect.rect.right, 70);
    EXPECT_EQ(rect.rect.bottom, 45);

    CompoundObject circle = CompoundObject::MakeCircle(50, 50, 10);
    tracker = MakeTracker(circle);
    ASSERT_TRUE(tracker->MouseDown({50, 40}));
    tracker->MouseUp({50, 30});
    ASSERT_TRUE(ApplyTracker(*tracker, circle));
    EXPECT_EQ(circle.radius, 15);
    EXPECT_EQ(circle.centerY, 45);
    EXPECT_EQ(circle.rect.top, 30);
    EXPECT_EQ(circle.rect.bottom, 60);
    // A tracker of another shape leaves the object alone.
    EXPECT_FALSE(ApplyTracker(RectTracker(RECT{0, 0, 5, 5}), circle));
    EXPECT_EQ(circle.rect.top, 30);

    CompoundObject polygon = CompoundObject::MakePolygon({{0, 0}, {40, 0}, {40, 30}, {0, 30}});
    polygon.selected[2] = 1;
    tracker = MakeTracker(polygon);
    auto& points = static_cast<PolygonTracker&>(*tracker);
    EXPECT_EQ(points.SelectedPoints()[2], 1);
    ASSERT_TRUE(points.MouseDown({40, 0}));
    points.MouseUp({60, -10});
    ASSERT_TRUE(ApplyTracker(points, polygon));
    EXPECT_EQ(polygon.points[1].x, 60);
    EXPECT_EQ(polygon.selected, (std::vector<uint8_t>{0, 1, 0, 0}));
    EXPECT_EQ(polygon.rect.right, 60);
    EXPECT_EQ(polygon.rect.top, -10);
    EXPECT_FALSE(ApplyTracker(points, rect));

    // Frames: a picture sets its own size, a text's frame may be resized.
    CompoundObject image = CompoundObject::MakeImage(
        std::make_shared<QImage>(20, 10, QImage::Format_RGB32), "a.png", 5, 5);
    tracker = MakeTracker(image);
    EXPECT_FALSE(tracker->IsResizable());
    ASSERT_TRUE(tracker->MouseDown({24, 14})); // the corner only moves it
    tracker->MouseUp({34, 24});
    ASSERT_TRUE(ApplyTracker(*tracker, image));
    EXPECT_EQ(image.rect.left, 15);
    EXPECT_EQ(image.rect.right - image.rect.left, 20);
    CompoundObject text;
    text.kind = CompoundKind::Text;
    text.rect = RECT{0, 0, 100, 20};
    EXPECT_TRUE(MakeTracker(text)->IsResizable());
    CompoundObject area;
    area.kind = CompoundKind::DefaultArea;
    EXPECT_EQ(MakeTracker(area), nullptr);
}

int Luma(QRgb pixel) {
    return (qRed(pixel) * 299 + qGreen(pixel) * 587 + qBlue(pixel) * 114) / 1000;
}

QImage Background(int which) {
    QImage image(120, 100, QImage::Format_RGB32);
    image.fill(which == 0 ? Qt::white : which == 1 ? Qt::black : QColor(128, 128, 128));
    return image;
}

// White, black, grey, a colour gradient from dark to light, and photographs
// of the desktop's background collection where it is installed.
std::vector<QImage> Backgrounds() {
    std::vector<QImage> images{Background(0), Background(1), Background(2)};
    QImage gradient(120, 100, QImage::Format_RGB32);
    for (int y = 0; y < gradient.height(); ++y) {
        for (int x = 0; x < gradient.width(); ++x) {
            gradient.setPixel(x, y, qRgb(x * 2, (x + y) * 255 / 220, 255 - y * 2));
        }
    }
    images.push_back(gradient);
    for (const char* name : {"Storm.jpg", "LadyBird.jpg", "Aqua.jpg"}) {
        QImage photo(QString("/usr/share/backgrounds/mate/nature/") + name);
        if (!photo.isNull()) {
            images.push_back(photo.scaled(120, 100, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                 .convertToFormat(QImage::Format_RGB32));
        }
    }
    return images;
}

QImage Painted(const QImage& background, const RegionTracker& tracker,
               const ScreenMapping& mapping) {
    QImage image = background;
    QPainter painter(&image);
    PaintTracker(painter, tracker, mapping);
    return image;
}

TEST(TrackerPainter, OutlinesShowOnLightAndDarkPictures) {
    RectTracker rect(RECT{10, 10, 110, 90});
    // Every outline pixel, clockwise.
    std::vector<QPoint> outline;
    for (int x = 10; x < 109; ++x) {
        outline.emplace_back(x, 10);
    }
    for (int y = 10; y < 89; ++y) {
        outline.emplace_back(109, y);
    }
    for (int x = 109; x > 10; --x) {
        outline.emplace_back(x, 89);
    }
    for (int y = 89; y > 10; --y) {
        outline.emplace_back(10, y);
    }
    const std::vector<QImage> backgrounds = Backgrounds();
    for (bool selected : {false, true}) {
        rect.SetSelected(selected);
        rect.SetResizable(false); // no handles in the way
        for (size_t which = 0; which < backgrounds.size(); ++which) {
            const QImage& background = backgrounds[which];
            const QImage image = Painted(background, rect, {});
            auto standsOut = [&](QPoint p) {
                return std::abs(Luma(image.pixel(p)) - Luma(background.pixel(p))) >= 100;
            };
            // No stretch of three pixels of the outline goes unseen.
            for (size_t i = 0; i + 2 < outline.size(); ++i) {
                EXPECT_TRUE(standsOut(outline[i]) || standsOut(outline[i + 1]) ||
                            standsOut(outline[i + 2]))
                    << "background " << which << " at " << outline[i].x() << "," << outline[i].y();
            }
            // One pixel wide, on the last pixels inside right and bottom.
            for (QPoint p : {QPoint(50, 9), QPoint(50, 11), QPoint(110, 50), QPoint(108, 50),
                             QPoint(50, 90), QPoint(50, 88)}) {
                EXPECT_EQ(image.pixel(p), background.pixel(p)) << p.x() << "," << p.y();
            }
        }
    }
}

TEST(TrackerPainter, HandlesOnlyOnSelectedResizableShapes) {
    const QImage grey = Background(2);
    RectTracker rect(RECT{20, 20, 80, 60});
    const POINT corner{80, 60};
    auto handleShown = [&](const QImage& image) {
        return image.pixel(corner.x + 3, corner.y + 3) != grey.pixel(0, 0) &&
               image.pixel(corner.x + 4, corner.y + 4) == grey.pixel(0, 0);
    };
    EXPECT_FALSE(handleShown(Painted(grey, rect, {})));
    rect.SetSelected(true);
    const QImage selected = Painted(grey, rect, {});
    EXPECT_TRUE(handleShown(selected));
    EXPECT_EQ(QColor(selected.pixel(corner.x, corner.y)), TrackerPens{}.selected);
    rect.SetResizable(false);
    EXPECT_FALSE(handleShown(Painted(grey, rect, {})));
    rect.SetHidden(true);
    EXPECT_EQ(Painted(grey, rect, {}), grey);

    // Polygon points: selected ones dark inside, the others light.
    PolygonTracker polygon({{20, 20}, {80, 20}, {50, 70}});
    polygon.SetSelected(true);
    polygon.SelectPoint(1);
    const QImage points = Painted(grey, polygon, {});
    EXPECT_EQ(QColor(points.pixel(80, 20)), TrackerPens{}.selected);
    EXPECT_EQ(QColor(points.pixel(20, 20)), TrackerPens{}.under);
    EXPECT_EQ(QColor(points.pixel(17, 17)), TrackerPens{}.selected);
}

TEST(TrackerPainter, PolygonsStayOpenWhileDrawnAndCirclesFollowTheZoom) {
    const QImage grey = Background(2);
    PolygonTracker polygon;
    polygon.StartNew({10, 10});
    polygon.MouseDown({60, 10});
    polygon.MouseDown({35, 50});
    polygon.MouseMove({35, 50});
    // The closing edge from (35, 50) back to (10, 10) passes (22, 30).
    auto closingEdgeDrawn = [&](const QImage& image) {
        for (int x = 20; x <= 24; ++x) {
            if (image.pixel(x, 30) != grey.pixel(x, 30)) {
                return true;
            }
        }
        return false;
    };
    EXPECT_FALSE(closingEdgeDrawn(Painted(grey, polygon, {})));
    polygon.FinishDrawing();
    EXPECT_TRUE(closingEdgeDrawn(Painted(grey, polygon, {})));

    // Zoom 2, scrolled by 5: the circle's box is (35, 35) - (75, 75).
    const CircleTracker circle(30, 30, 10);
    const QImage image = Painted(Background(1), circle, ScreenMapping{2.0, 5, 5});
    auto changedNear = [&](int x, int y) {
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (image.pixel(x + dx, y + dy) != qRgb(0, 0, 0)) {
                    return true;
                }
            }
        }
        return false;
    };
    EXPECT_TRUE(changedNear(55, 35));
    EXPECT_TRUE(changedNear(75, 55));
    EXPECT_TRUE(changedNear(55, 75));
    EXPECT_TRUE(changedNear(35, 55));
    EXPECT_FALSE(changedNear(55, 55));
    EXPECT_FALSE(changedNear(55, 32));
    EXPECT_FALSE(changedNear(55, 78));
}

// What a view repaints after a change holds everything the tracker drew.
TEST(TrackerPainter, RepaintRectangleHoldsTheDrawing) {
    const QImage grey = Background(2);
    RectTracker rect(RECT{10, 12, 30, 25});
    CircleTracker circle(25, 20, 9);
    PolygonTracker polygon({{5, 30}, {40, 8}, {33, 35}});
    for (RegionTracker* tracker : std::initializer_list<RegionTracker*>{&rect, &circle, &polygon}) {
        tracker->SetSelected(true);
        for (const ScreenMapping& mapping :
             {ScreenMapping{1, 0, 0}, ScreenMapping{2.5, 3, 7}, ScreenMapping{0.5, -10, -10}}) {
            const QImage image = Painted(grey, *tracker, mapping);
            const QRect repaint = RepaintRect(tracker->Bounds(), mapping);
            int changed = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (image.pixel(x, y) != grey.pixel(x, y)) {
                        ++changed;
                        EXPECT_TRUE(repaint.contains(x, y))
                            << tracker->Caption() << " zoom " << mapping.zoom << " at " << x << ","
                            << y;
                    }
                }
            }
            EXPECT_GT(changed, 10) << tracker->Caption();
        }
    }
}

} // namespace
