// The status-bar progress display: a caption over the message pane and a
// progress bar beside it while work runs. Polling lets paint events through,
// holds back other input and turns Esc into a break request.
#pragma once

#include "host/progress.h"

#include <QObject>

class QLabel;
class QProgressBar;
class QStatusBar;

namespace pixmill {

class StatusProgress : public QObject, public ProgressDisplay {
    Q_OBJECT
  public:
    explicit StatusProgress(QStatusBar* bar);
    ~StatusProgress() override;

    void Start(int position, int step, const std::string& caption) override;
    void SetPosition(int position) override;
    void ShowText(const std::string& text) override;
    void Finish() override;
    bool PollBreak() override;
    bool Active() const { return active; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QStatusBar* bar;
    QLabel* caption = nullptr;
    QProgressBar* progress = nullptr;
    bool active = false;
    bool breakRequested = false;
};

} // namespace pixmill
