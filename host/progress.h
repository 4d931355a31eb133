// The host's progress object and the display it drives. The bar is a
// percentage display advancing in steps of 5; the caller's work positions are
// mapped onto it. Step polls the display for a break request (Esc in the
// GUI, Ctrl+C on the command line) and ends the work with "User break".
#pragma once

#include "pixmill/progress.h"

#include <string>

namespace pixmill {

class ProgressDisplay {
  public:
    virtual ~ProgressDisplay();
    virtual void Start(int position, int step, const std::string& caption) = 0;
    virtual void SetPosition(int position) = 0;
    virtual void ShowText(const std::string& text) = 0;
    virtual void Finish() = 0;
    // Processes pending input; true when the user asked to stop.
    virtual bool PollBreak() = 0;
};

class HostProgress : public CVProgress {
  public:
    // display may be null (no display, no break). showTexts: whether Step's
    // texts are shown.
    HostProgress(ProgressDisplay* display, std::string caption, bool showTexts = true);
    ~HostProgress();
    HostProgress(const HostProgress&) = delete;
    HostProgress& operator=(const HostProgress&) = delete;

    int Begin(int barFirst, int barLast, int workFirst, int workLast) override;
    int Step(const char* text) override;
    void End() override;

    int BarPosition() const { return barPosition; }
    double Increment() const { return increment; }
    const std::string& Caption() const { return caption; }

  private:
    ProgressDisplay* display;
    std::string caption;
    bool showTexts;
    bool started = false;
    int barPosition = 0;
    int barLast = 100;
    double increment = 0;
    double current = 0;
};

} // namespace pixmill
