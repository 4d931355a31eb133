// The TIFF options pane of the save dialog: the compression choice. CCITT
// and Huffman are offered only for 1-bit images.
#pragma once

#include "pixmill/pane_base.h"
#include "birchfmt_settings.h"

class QButtonGroup;

namespace pixmill::birch {

enum PaneControl {
    IdUncompressed = 1000, // 1000 + compression choice
    IdLzw = 1001,
    IdPackBits = 1002,
    IdCcitt = 1003,
    IdHuffman = 1004,
};

class TiffOptionsPane : public CPaneBase {
  public:
    // settings: the format's stored settings, updated by SetImage and Commit.
    TiffOptionsPane(CPaneSite* site, TiffSettings* settings);

    bool Commit() override;
    int Choice() const { return choice; }

  protected:
    void Build(QWidget* root) override;
    void OnImage() override;

  private:
    TiffSettings* settings;
    int32_t choice;
    QButtonGroup* buttons = nullptr;
};

} // namespace pixmill::birch
