// pixmill-html: parses an HTML page as the program does, prints the parser's
// warnings and writes the parsed tree back, so that pages can be checked
// from outside the program.
#include "html/html_document.h"
#include "pixmill/user_interface.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <string>

using namespace pixmill;

namespace {

const char kUsage[] =
    "usage: pixmill-html [--help] [--version] IN [OUT]\n"
    "\n"
    "Parses the HTML page IN, prints the parser's warnings to standard error and,\n"
    "when OUT is given, writes the parsed tree back to OUT (\"-\" for standard\n"
    "output): tag names in upper case, every container closed, and a CR LF after\n"
    "an end tag only where a reader cannot see it; text, blanks and comments stay\n"
    "as they were. A page stored as UTF-16 is refused.\n"
    "\n"
    "Exit status: 0 parsed (and written), 1 the page could not be read or parsed\n"
    "or OUT could not be written, 2 wrong usage.\n";

// Parse errors are reported through the document's sink; the message box the
// document would show has nowhere to go here.
class QuietUserInterface : public CUserInterface {
  public:
    void ShowMessage(const char*, const char*, MessageIcon) override {}
    bool AskYesNo(const char*, const char*, bool defaultAnswer) override { return defaultAnswer; }
    bool RunOperationDialog(CProcessingPlugin*, const CVImage*) override { return true; }
};

class ToolDocument : public HtmlDocument {
  public:
    explicit ToolDocument(std::string input) : input(std::move(input)) {}
    void Warning(const char* message, int byte) override {
        std::string text = message ? message : "";
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
            text.pop_back();
        }
        if (byte > 0) {
            std::fprintf(stderr, "%s: warning: %s (byte 0x%02X)\n", input.c_str(), text.c_str(),
                         static_cast<unsigned>(byte));
        } else {
            std::fprintf(stderr, "%s: warning: %s\n", input.c_str(), text.c_str());
        }
        ++warnings;
    }
    int warnings = 0;

  private:
    std::string input;
};

class FileSink : public HtmlSink {
  public:
    explicit FileSink(std::FILE* file) : file(file) {}
    void Put(const char* bytes, size_t length) override {
        if (length > 0 && std::fwrite(bytes, 1, length, file) != length) {
            failed = true;
        }
    }
    using HtmlSink::Put;
    bool failed = false;

  private:
    std::FILE* file;
};

int WriteTree(const HtmlDocument& document, const std::string& out) {
    const bool toStdout = out == "-";
    std::FILE* file = toStdout ? stdout : std::fopen(out.c_str(), "wb");
    if (!file) {
        std::fprintf(stderr, "pixmill-html: cannot write %s: %s\n", out.c_str(),
                     std::strerror(errno));
        return 1;
    }
    FileSink sink(file);
    document.Write(sink);
    bool failed = sink.failed || std::fflush(file) != 0;
    if (!toStdout && std::fclose(file) != 0) {
        failed = true;
    }
    if (failed) {
        std::fprintf(stderr, "pixmill-html: cannot write %s: %s\n", out.c_str(),
                     std::strerror(errno));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string files[2];
    int fileCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("pixmill-html %s\n", PIXMILL_VERSION);
            return 0;
        }
        if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
            std::fprintf(stderr, "pixmill-html: unknown option %s\n\n%s", arg.c_str(), kUsage);
            return 2;
        }
        if (arg == "--") {
            continue;
        }
        if (fileCount == 2) {
            std::fprintf(stderr, "pixmill-html: too many arguments\n\n%s", kUsage);
            return 2;
        }
        files[fileCount++] = arg;
    }
    if (fileCount == 0) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    QuietUserInterface ui;
    SetUserInterface(&ui);
    ToolDocument document(files[0]);
    std::ostringstream errors;
    document.SetWarningSink(&errors);
    const bool parsed = document.Parse(files[0]);
    SetUserInterface(nullptr);
    if (!parsed) {
        std::string report = errors.str();
        for (size_t at = report.find("\n"); at != std::string::npos; at = report.find("\n", at)) {
            report.erase(at, 1); // the report's own line breaks, as one line
        }
        std::fprintf(stderr, "pixmill-html: %s\n", report.c_str());
        return 1;
    }
    if (fileCount == 2) {
        return WriteTree(document, files[1]);
    }
    return 0;
}
