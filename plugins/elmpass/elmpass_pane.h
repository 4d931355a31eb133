// The strength pane shared by Smooth, Sharpen and Despeckle: a track bar and
// an edit for the strength (0..100) and the filter's caption.
#pragma once

#include "elmpass_pane_model.h"
#include "elmpass_settings.h"

#include "pixmill/pane_base.h"

#include <string>

namespace pixmill::elmpass {

enum StrengthPaneControl : int {
    IdStrengthTrackBar = 1000,
    IdStrengthEdit = 1001,
    IdStrengthCaption = 1002,
};
inline constexpr int kStrengthDialog = 101;

class StrengthPane : public CModelPane<StrengthPaneModel, FilterSettings> {
  public:
    // settings: the plug-in's block, written by Commit; slot: which filter.
    StrengthPane(CPaneSite* site, FilterSettings* settings, int slot, const char* caption);

    // Stores the pane's flag and strength into the settings block.
    bool Commit() override;

  protected:
    void Build(QWidget* root) override;

  private:
    std::string caption;
};

} // namespace pixmill::elmpass
