// A complete host for tests: the real memory service and host services on an
// in-memory settings store, with a scripted user interface that records the
// messages it was asked to show.
#pragma once

#include "host/host_services.h"
#include "host/progress.h"
#include "host/settings_store.h"
#include "pixmill/user_interface.h"

#include <memory>
#include <string>
#include <vector>

namespace pixmill::test {

class ScriptedUserInterface : public CUserInterface {
  public:
    struct Message {
        std::string caption;
        std::string text;
    };
    void ShowMessage(const char* caption, const char* text, MessageIcon icon) override;
    bool AskYesNo(const char* caption, const char* text, bool defaultAnswer) override;
    bool RunOperationDialog(CProcessingPlugin* plugin, const CVImage* image) override;
    // Records the question as a message ("label [prefilled]").
    bool AskText(const char* caption, const char* label, char* text, size_t capacity) override;

    std::vector<Message> messages;
    std::vector<std::string> textAnswers; // answers to AskText in order; cancel when exhausted
    std::vector<bool> answers;            // answers to AskYesNo in order; default when exhausted
    bool dialogResult = true;             // answer of RunOperationDialog
    int dialogCalls = 0;
};

// A progress display that counts what it was asked and can request a break
// after a number of polls.
class RecordingProgressDisplay : public ProgressDisplay {
  public:
    void Start(int position, int step, const std::string& caption) override;
    void SetPosition(int position) override { this->position = position; }
    void ShowText(const std::string& text) override { texts.push_back(text); }
    void Finish() override { ++finished; }
    bool PollBreak() override;

    int starts = 0;
    int finished = 0;
    int position = 0;
    int polls = 0;
    int breakAfterPolls = -1; // -1: never
    std::string caption;
    std::vector<std::string> texts;
};

struct TestHost {
    TestHost();
    ~TestHost();
    MemorySettingsStore settings;
    ScriptedUserInterface ui;
    std::unique_ptr<HostServices> host;
    HostServices* operator->() { return host.get(); }
    HostServices& operator*() { return *host; }
    HostServices* get() { return host.get(); }
};

} // namespace pixmill::test
