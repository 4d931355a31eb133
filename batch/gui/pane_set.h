// PaneSet: the settings panes of the job's operations and the options panes
// of its formats, made once inside one parent widget, hidden, and recorded
// in the job's entries so that the run commits them. The set destroys what
// it made (and clears the entries) when it goes.
#pragma once

#include "pixmill/pane.h"

#include <functional>
#include <vector>

class QWidget;

namespace pixmill {

class BatchJob;

class PaneSet : public CPaneSite {
  public:
    // onlyBatchPanes: only operations with flag 0x10 and formats with
    // capability 0x10 (the batch dialog); otherwise every one that makes a
    // pane (the Processing page).
    PaneSet(BatchJob& job, QWidget* parent, bool onlyBatchPanes);
    ~PaneSet();
    PaneSet(const PaneSet&) = delete;
    PaneSet& operator=(const PaneSet&) = delete;

    void SetImage(const CVImage* picture) { image = picture; }
    void SetOnChanged(std::function<void()> handler) { onChanged = std::move(handler); }
    // The windows made, for laying them out.
    std::vector<QWidget*> Windows() const;

    void Changed(CPluginPane*) override;
    QWidget* GetParentWindow() override { return parent; }
    const CVImage* GetImage() override { return image; }

  private:
    struct Made {
        bool format;
        int index;
    };
    BatchJob& job;
    QWidget* parent;
    const CVImage* image = nullptr;
    std::function<void()> onChanged;
    std::vector<Made> made;
};

} // namespace pixmill
