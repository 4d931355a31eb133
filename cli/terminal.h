// The command line's progress bar and user interface. The bar is drawn on
// stderr only when stderr is a terminal; Ctrl+C asks the current work to
// stop, which ends it with "User break" at its next progress step.
#pragma once

#include "host/progress.h"
#include "pixmill/user_interface.h"

#include <csignal>
#include <string>
#include <sys/types.h>

namespace pixmill::cli {

// Installs the Ctrl+C handler; a second Ctrl+C ends the program at once.
void InstallBreakHandler();
// The batch log a second Ctrl+C still ends with "Batch processing was
// interrupted." (-1: none).
void SetBreakLog(int fd);
bool BreakRequested();
// In a worker process: Ctrl+C is left to the parent, which passes the break
// on with SIGUSR1.
void InstallWorkerBreakHandler();
// A worker process that a second Ctrl+C must also stop.
void RegisterWorker(pid_t pid);
// After the workers were waited for: their numbers may be reused.
void ForgetWorkers();

// Holds Ctrl+C and the workers' break signal back while worker processes are
// forked: a worker that met a break before its own handler was in place would
// die of it (SIGUSR1's default action) and lose the image it holds.
class BreakSignalsHeld {
  public:
    BreakSignalsHeld();
    ~BreakSignalsHeld();
    BreakSignalsHeld(const BreakSignalsHeld&) = delete;
    BreakSignalsHeld& operator=(const BreakSignalsHeld&) = delete;

  private:
    sigset_t previous{};
};
void ClearBreak();

class TerminalProgress : public ProgressDisplay {
  public:
    explicit TerminalProgress(bool enabled);
    ~TerminalProgress() override;
    void Start(int position, int step, const std::string& caption) override;
    void SetPosition(int position) override;
    void ShowText(const std::string& text) override;
    void Finish() override;
    bool PollBreak() override { return BreakRequested(); }

  private:
    void Draw();
    bool enabled;
    bool drawn = false;
    int position = 0;
    std::string caption;
};

// Messages are kept for the command to print with the file they concern;
// questions get their default answer; settings dialogs apply stored settings.
class CliUserInterface : public CUserInterface {
  public:
    void ShowMessage(const char* caption, const char* text, MessageIcon icon) override;
    bool AskYesNo(const char* caption, const char* text, bool defaultAnswer) override;
    bool RunOperationDialog(CProcessingPlugin* plugin, const CVImage* image) override;
    std::string lastMessage;
};

} // namespace pixmill::cli
