// The TIFF options pane without widgets: the compression choice. CCITT and
// Huffman encode 1-bit images only; for a deeper image they are not offered
// and a choice of them falls back to LZW.
#pragma once

#include "birchfmt_settings.h"

#include "pixmill/pane_model.h"

namespace pixmill::birch {

class TiffOptionsModel : public CPaneModel {
  public:
    enum Field { Compression };

    explicit TiffOptionsModel(const TiffSettings& settings);

    // The bit count of the image to be written; 0 before the host names one,
    // when everything is offered. Returns whether the choice fell back.
    bool SetImageBits(int bitCount);
    bool Offered(int choice) const;
    int Choice() const { return choice; }

    double Value(int field) const override;
    NumberRange Range(int field) const override;
    // Chooses a compression; one not offered is refused.
    bool Set(int field, double value) override;

    void Store(TiffSettings& settings) const { settings.compressionChoice = choice; }

  private:
    int choice;
    int imageBits = 0;
};

} // namespace pixmill::birch
