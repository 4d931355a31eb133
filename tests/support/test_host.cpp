#include "support/test_host.h"

#include <cstdio>

namespace pixmill::test {

void ScriptedUserInterface::ShowMessage(const char* caption, const char* text, MessageIcon) {
    messages.push_back({caption, text});
}

bool ScriptedUserInterface::AskYesNo(const char* caption, const char* text, bool defaultAnswer) {
    messages.push_back({caption, text});
    if (answers.empty()) {
        return defaultAnswer;
    }
    const bool answer = answers.front();
    answers.erase(answers.begin());
    return answer;
}

bool ScriptedUserInterface::AskText(const char* caption, const char* label, char* text,
                                    size_t capacity) {
    messages.push_back({caption, std::string(label) + " [" + text + "]"});
    if (textAnswers.empty() || capacity == 0) {
        return false;
    }
    std::snprintf(text, capacity, "%s", textAnswers.front().c_str());
    textAnswers.erase(textAnswers.begin());
    return true;
}

bool ScriptedUserInterface::RunOperationDialog(CProcessingPlugin*, const CVImage*) {
    ++dialogCalls;
    return dialogResult;
}

void RecordingProgressDisplay::Start(int startPosition, int, const std::string& text) {
    ++starts;
    position = startPosition;
    caption = text;
}

bool RecordingProgressDisplay::PollBreak() {
    ++polls;
    return breakAfterPolls >= 0 && polls > breakAfterPolls;
}

TestHost::TestHost() : host(std::make_unique<HostServices>(settings, &ui)) {
    SetUserInterface(&ui);
}

TestHost::~TestHost() {
    SetUserInterface(nullptr);
}

} // namespace pixmill::test
