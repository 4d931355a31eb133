// Trackers for the objects of a compound image. The tracker works on its
// own copy of the geometry; the editor writes it back with ApplyTracker when
// a drag ends (or on every move, for a live status bar and canvas).
#pragma once

#include "compound/compound_object.h"
#include "compound/tracking/region_tracker.h"

#include <memory>

namespace pixmill {

// A rectangle tracker for kinds 1 (the rectangle), 5 and 6 (the object's
// frame; an image's frame is not resizable, its picture sets its size), a
// circle tracker for kind 2, a polygon tracker for kind 3 (points and their
// selection flags). Null for other kinds.
std::unique_ptr<RegionTracker> MakeTracker(const CompoundObject& object);

// Writes the tracker's geometry into the object: the rectangle of kinds 1,
// 5 and 6; centre, radius and rectangle of a circle; points, flags and
// rectangle of a polygon. False, and the object unchanged, when the
// tracker's shape does not fit the object's kind.
bool ApplyTracker(const RegionTracker& tracker, CompoundObject& object);

} // namespace pixmill
