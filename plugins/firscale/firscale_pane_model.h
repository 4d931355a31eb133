// The resample pane without widgets: target width and height in pixels and,
// with a current image, in percent of it; with the aspect ratio kept, the
// side not given follows the one given.
#pragma once

#include "firscale_settings.h"

#include "pixmill/pane_model.h"

namespace pixmill::firscale {

class ResamplePaneModel : public CPaneModel {
  public:
    enum Field { Width, Height, WidthPercent, HeightPercent };

    explicit ResamplePaneModel(const ResampleSettings& settings);

    // The current image's size; 0 x 0 without one (an operation set up for a
    // batch run), when there is nothing to take a percentage of.
    void SetImageSize(int width, int height);
    bool HasImage() const { return imageWidth > 0 && imageHeight > 0; }

    bool KeepAspect() const { return keepAspect; }
    bool SetKeepAspect(bool keep);
    bool HighQuality() const { return highQuality; }
    bool SetHighQuality(bool on);

    double Value(int field) const override;
    NumberRange Range(int field) const override;
    bool Set(int field, double value) override;
    bool Enabled(int field) const override;

    void Store(ResampleSettings& settings) const;

  private:
    int width;
    int height;
    bool keepAspect;
    bool highQuality;
    int imageWidth = 0;
    int imageHeight = 0;
};

} // namespace pixmill::firscale
