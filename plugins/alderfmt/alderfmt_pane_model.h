// The JPEG options pane without widgets: the two quality levels (which move
// together while locked), progressive writing, sharpening, the web encoding
// and the largest file size (0: none). A grey picture is written with one
// component, so it has no chrominance level to set.
#pragma once

#include "alderfmt_settings.h"

#include "pixmill/pane_model.h"

namespace pixmill::alder {

class JpegOptionsModel : public CPaneModel {
  public:
    enum Field { Luminance, Chrominance, Sharpen, TargetBytes };

    explicit JpegOptionsModel(const JpegSettings& settings,
                              const JpegTargetSettings& target = JpegTargetSettings{});

    // Whether the picture to be written is grey (8 bits with a grey palette).
    void SetGreyImage(bool grey) { greyImage = grey; }

    bool SetProgressive(bool on);
    bool SetLocked(bool on);
    bool SetWeb(bool on);
    const JpegSettings& Values() const { return values; }

    double Value(int field) const override;
    NumberRange Range(int field) const override;
    bool Set(int field, double value) override;
    bool Enabled(int field) const override;

    void Store(JpegSettings& settings) const;
    void Store(JpegTargetSettings& target) const;

  private:
    JpegSettings values;
    JpegTargetSettings budget;
    bool greyImage = false;
};

} // namespace pixmill::alder
