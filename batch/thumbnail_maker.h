// ThumbnailMaker: makes a destination's thumbnail from a result image. Fit
// inside the box keeping the aspect ratio, exactly the box's size, or a
// smart cut: the part of the image with the box's aspect ratio at the chosen
// position, resampled to the box.
#pragma once

#include "pixmill/batch_interfaces.h"
#include "pixmill/win_types.h"

namespace pixmill {

class CPluginHost;
class PluginManager;
class CVImage;
class CVProgress;

// Where a smart cut lies. All arithmetic is integer division.
struct SmartCutGeometry {
    bool vertical = false;      // the image is relatively tall: the cut moves up and down
    const char* labels[2] = {}; // the slider's ends: "Top"/"Bottom" or "Left"/"Right"
    int range = 0;              // the slider's range
    int position = 0;           // the slider position for the settings' cutPosition
    RECT part{};                // the part cut out, picture coordinates (top row 0)
};

// width x height: the image; fitted: the image's size fitted inside the box
// (the host's FitSize).
SmartCutGeometry SmartCut(int width, int height, const ThumbnailSettings& settings, SIZE fitted);
// The cutPosition a slider position stands for.
int CutPositionOf(int sliderPosition, int range);
// The size of the uncut preview of a smart cut: the whole image resampled,
// keeping its aspect ratio, to the smallest size that covers the box.
SIZE SmartCutPreviewSize(CPluginHost& host, int width, int height,
                         const ThumbnailSettings& settings);

class ThumbnailMaker {
  public:
    ThumbnailMaker(PluginManager& plugins, const ThumbnailSettings& settings);
    // Makes thumbnail from image through the resample plug-in; false when
    // the resampling failed (or none is loaded). Errors are thrown.
    bool Make(const CVImage& image, CVImage& thumbnail, CVProgress* progress) const;
    const ThumbnailSettings& Settings() const { return settings; }

  private:
    PluginManager& plugins;
    const ThumbnailSettings& settings;
};

} // namespace pixmill
