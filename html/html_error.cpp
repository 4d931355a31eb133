#include "html/html_error.h"

#include "pixmill/user_interface.h"

#include <cstdio>
#include <utility>

namespace pixmill {

namespace {
struct StringEntry {
    int id;
    const char* text;
};
const StringEntry kStrings[] = {
    {HtmlParseError::kCode, "Parsing error"},
    {HtmlEncodingError::kCode, "Unsupported encoding"},
};
} // namespace

const char* HtmlError::StringResource(int id) {
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return nullptr;
}

HtmlError::HtmlError(std::string message, int code) : message(std::move(message)), code(code) {}

HtmlError::~HtmlError() = default;

const char* HtmlError::Report(bool show) {
    if (const char* text = StringResource(code)) {
        title = text;
    } else {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "Error : errcode %d", code);
        title = buffer;
    }
    // One blank between the title and a message that does not bring its own.
    report = title;
    if (!message.empty() && message[0] != ' ' && message[0] != '\n') {
        report += ' ';
    }
    report += message;
    if (show) {
        if (CUserInterface* ui = GetUserInterface()) {
            ui->ShowMessage("Error", report.c_str(), MessageIcon::Stop);
        } else {
            std::fprintf(stderr, "Error: %s\n", report.c_str());
        }
    }
    return report.c_str();
}

namespace {
std::string ParseErrorMessage(const std::string& fileName, int line) {
    std::string text = "in file:\n " + fileName + "\n, line number " + std::to_string(line);
    return text;
}
} // namespace

HtmlParseError::HtmlParseError(const std::string& fileName, int line)
    : HtmlError(ParseErrorMessage(fileName, line), kCode), line(line) {}

HtmlParseError::~HtmlParseError() = default;

HtmlEncodingError::HtmlEncodingError(const std::string& fileName)
    : HtmlError("in file:\n " + fileName +
                    "\n: the page is stored as UTF-16, which Pixmill cannot edit without "
                    "changing it; save it as UTF-8 and open it again",
                kCode) {}

HtmlEncodingError::~HtmlEncodingError() = default;

} // namespace pixmill
