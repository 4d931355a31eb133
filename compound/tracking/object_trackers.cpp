#include "compound/tracking/object_trackers.h"

#include "compound/tracking/circle_tracker.h"
#include "compound/tracking/polygon_tracker.h"
#include "compound/tracking/rect_tracker.h"

namespace pixmill {

std::unique_ptr<RegionTracker> MakeTracker(const CompoundObject& object) {
    switch (object.kind) {
    case CompoundKind::Rectangle:
    case CompoundKind::Text:
        return std::make_unique<RectTracker>(object.rect);
    case CompoundKind::Image: {
        auto tracker = std::make_unique<RectTracker>(object.rect);
        tracker->SetResizable(false);
        return tracker;
    }
    case CompoundKind::Circle:
        return std::make_unique<CircleTracker>(object.centerX, object.centerY, object.radius);
    case CompoundKind::Polygon:
        return std::make_unique<PolygonTracker>(object.points, object.selected);
    default:
        return nullptr;
    }
}

bool ApplyTracker(const RegionTracker& tracker, CompoundObject& object) {
    switch (tracker.Shape()) {
    case TrackerShape::Rectangle:
        if (object.kind != CompoundKind::Rectangle && object.kind != CompoundKind::Text &&
            object.kind != CompoundKind::Image) {
            return false;
        }
        object.rect = static_cast<const RectTracker&>(tracker).Rect();
        return true;
    case TrackerShape::Circle: {
        if (object.kind != CompoundKind::Circle) {
            return false;
        }
        const auto& circle = static_cast<const CircleTracker&>(tracker);
        object.centerX = circle.CenterX();
        object.centerY = circle.CenterY();
        object.radius = circle.Radius();
        object.UpdateShapeRect();
        return true;
    }
    case TrackerShape::Polygon: {
        if (object.kind != CompoundKind::Polygon) {
            return false;
        }
        const auto& polygon = static_cast<const PolygonTracker&>(tracker);
        object.points = polygon.Points();
        object.selected = polygon.SelectedPoints();
        object.UpdateShapeRect();
        return true;
    }
    }
    return false;
}

} // namespace pixmill
