#include "cli/terminal.h"

#include "host/temporary_files.h"

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace pixmill::cli {

namespace {
std::atomic<int> g_breaks{0};
std::atomic<int> g_breakLog{-1};

// Worker processes of a batch run, told of a second Ctrl+C too.
constexpr int kMaxWorkers = 256;
std::atomic<pid_t> g_workers[kMaxWorkers];

void OnInterrupt(int) {
    if (g_breaks.fetch_add(1) >= 1) {
        // A second Ctrl+C: stop at once, without leaving temporary files.
        for (auto& worker : g_workers) {
            if (const pid_t pid = worker.load(); pid > 0) {
                kill(pid, SIGUSR1);
            }
        }
        temporary_files::RemoveAll();
        if (const int log = g_breakLog.load(); log >= 0) {
            static const char kLast[] = "\r\nBatch processing was interrupted.";
            (void)!write(log, kLast, sizeof kLast - 1);
        }
        _exit(130);
    }
}
void BreakSignals(sigset_t* set) {
    sigemptyset(set);
    sigaddset(set, SIGINT);
    sigaddset(set, SIGTERM);
    sigaddset(set, SIGUSR1);
}
} // namespace

void InstallBreakHandler() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

void SetBreakLog(int fd) {
    g_breakLog.store(fd);
}

void RegisterWorker(pid_t pid) {
    for (auto& worker : g_workers) {
        pid_t expected = 0;
        if (worker.compare_exchange_strong(expected, pid)) {
            return;
        }
    }
}

void ForgetWorkers() {
    for (auto& worker : g_workers) {
        worker.store(0);
    }
}

void InstallWorkerBreakHandler() {
    ForgetWorkers(); // the parent's workers are not this worker's
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    // A parent gone mid-run is seen as a failed write, not a signal.
    sigaction(SIGPIPE, &action, nullptr);
    action.sa_handler = OnInterrupt;
    sigaction(SIGUSR1, &action, nullptr);
    // Forked under BreakSignalsHeld: a break that came meanwhile arrives now.
    sigset_t breaks;
    BreakSignals(&breaks);
    sigprocmask(SIG_UNBLOCK, &breaks, nullptr);
}

BreakSignalsHeld::BreakSignalsHeld() {
    sigset_t breaks;
    BreakSignals(&breaks);
    sigprocmask(SIG_BLOCK, &breaks, &previous);
}

BreakSignalsHeld::~BreakSignalsHeld() {
    sigprocmask(SIG_SETMASK, &previous, nullptr);
}

bool BreakRequested() {
    return g_breaks.load() > 0;
}

void ClearBreak() {
    g_breaks.store(0);
}

TerminalProgress::TerminalProgress(bool enabled) : enabled(enabled && isatty(STDERR_FILENO)) {}

TerminalProgress::~TerminalProgress() {
    Finish();
}

void TerminalProgress::Start(int startPosition, int, const std::string& text) {
    position = startPosition;
    caption = text;
    Draw();
}

void TerminalProgress::SetPosition(int newPosition) {
    position = newPosition;
    Draw();
}

void TerminalProgress::ShowText(const std::string&) {}

void TerminalProgress::Draw() {
    if (!enabled) {
        return;
    }
    constexpr int kWidth = 30;
    const int filled = position * kWidth / 100;
    std::string bar(static_cast<size_t>(filled), '#');
    bar.resize(kWidth, ' ');
    std::string shown = caption.size() > 40 ? "..." + caption.substr(caption.size() - 37) : caption;
    std::fprintf(stderr, "\r%-40s [%s] %3d%%", shown.c_str(), bar.c_str(), position);
    std::fflush(stderr);
    drawn = true;
}

void TerminalProgress::Finish() {
    if (drawn) {
        std::fprintf(stderr, "\r%*s\r", 80, "");
        std::fflush(stderr);
        drawn = false;
    }
}

void CliUserInterface::ShowMessage(const char*, const char* text, MessageIcon icon) {
    lastMessage = text;
    // A warning does not end the work, so nobody else reports it.
    if (icon == MessageIcon::Warning) {
        std::fprintf(stderr, "pixmill-cli: warning: %s\n", text);
    }
}

bool CliUserInterface::AskYesNo(const char*, const char*, bool defaultAnswer) {
    return defaultAnswer;
}

bool CliUserInterface::RunOperationDialog(CProcessingPlugin*, const CVImage*) {
    return true;
}

} // namespace pixmill::cli
