// The TIFF options pane of the save dialog: the compression choice, bound to
// a TiffOptionsModel.
#pragma once

#include "birchfmt_pane_model.h"
#include "birchfmt_settings.h"
#include "pixmill/pane_base.h"

class QButtonGroup;

namespace pixmill::birch {

enum PaneControl {
    IdUncompressed = 1000, // 1000 + compression choice
    IdLzw = 1001,
    IdPackBits = 1002,
    IdCcitt = 1003,
    IdHuffman = 1004,
};

class TiffOptionsPane : public CModelPane<TiffOptionsModel, TiffSettings> {
  public:
    // settings: the format's stored settings, updated by SetImage and Commit.
    TiffOptionsPane(CPaneSite* site, TiffSettings* settings) : CModelPane(site, *settings) {}

  protected:
    void Build(QWidget* root) override;
    void OnImage() override;
    void OnRefresh() override;

  private:
    QButtonGroup* buttons = nullptr;
};

} // namespace pixmill::birch
