// Builds the help folder beside the program: copies the pages and their
// files, fills in the settings ranges from the plug-ins' own declarations and
// writes one page per help topic number that leads to its section.
//
//   help_pages SOURCE_DIR OUT_DIR PLUGIN_ROOT
//
// In a page, {{RECORD.FIELD}} becomes "MIN to MAX (default D)" (a switch:
// "on or off (default on)") and
// {{RECORD.FIELD.min}}, .max and .default the single numbers, read from the
// settings blocks the libraries below PLUGIN_ROOT declare, so a page never
// restates a range by hand. An unknown record or field stops the build, as
// does a topic whose page is missing.

#include "cli/schema_catalog.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace pixmill;

namespace {

// A line of topics.txt: "NUMBER PAGE[#SECTION] TITLE".
struct HelpTopic {
    int number = 0;
    std::string target;
    std::string title;
};

bool ReadHelpTopics(const std::string& text, std::vector<HelpTopic>& topics, std::string& problem) {
    std::istringstream lines(text);
    std::string line;
    for (int n = 1; std::getline(lines, line); ++n) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        HelpTopic topic;
        fields >> topic.number >> topic.target;
        std::getline(fields >> std::ws, topic.title);
        if (!fields.eof() || topic.number <= 0 || topic.target.empty() || topic.title.empty()) {
            problem = "line " + std::to_string(n) + " is not \"NUMBER PAGE TITLE\"";
            return false;
        }
        topics.push_back(topic);
    }
    return true;
}

std::string Number(double value) {
    char text[64];
    if (std::floor(value) == value && std::fabs(value) < 1e15) {
        std::snprintf(text, sizeof text, "%.0f", value);
    } else {
        std::snprintf(text, sizeof text, "%g", value);
    }
    return text;
}

// The text of one {{...}} token, or "" when it names nothing.
std::string Expand(const SchemaCatalog& catalog, const std::string& token) {
    const size_t dot = token.find('.');
    if (dot == std::string::npos) {
        return "";
    }
    const BlockInfo* block = catalog.Find(token.substr(0, dot));
    if (block == nullptr) {
        return "";
    }
    std::string field = token.substr(dot + 1);
    std::string part;
    if (const size_t second = field.find('.'); second != std::string::npos) {
        part = field.substr(second + 1);
        field.resize(second);
    }
    const FieldInfo* info = block->Find(field);
    if (info == nullptr) {
        return "";
    }
    if (part.empty() && info->minimum == 0 && info->maximum == 1) {
        return std::string("on or off (default ") + (info->defaultValue != 0 ? "on" : "off") + ")";
    }
    if (part.empty()) {
        return Number(info->minimum) + " to " + Number(info->maximum) + " (default " +
               Number(info->defaultValue) + ")";
    }
    if (part == "min") {
        return Number(info->minimum);
    }
    if (part == "max") {
        return Number(info->maximum);
    }
    if (part == "default") {
        return Number(info->defaultValue);
    }
    return "";
}

bool Fill(const SchemaCatalog& catalog, const fs::path& file, std::string& text) {
    std::string out;
    size_t at = 0;
    while (true) {
        const size_t open = text.find("{{", at);
        if (open == std::string::npos) {
            break;
        }
        const size_t close = text.find("}}", open);
        if (close == std::string::npos) {
            std::fprintf(stderr, "%s: \"{{\" without \"}}\"\n", file.c_str());
            return false;
        }
        const std::string token = text.substr(open + 2, close - open - 2);
        const std::string value = Expand(catalog, token);
        if (value.empty()) {
            std::fprintf(stderr, "%s: no settings field \"%s\"\n", file.c_str(), token.c_str());
            return false;
        }
        out += text.substr(at, open - at) + value;
        at = close + 2;
    }
    text = out + text.substr(at);
    return true;
}

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool WriteAll(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    return static_cast<bool>(out);
}

// A topic's page: it leads straight on to the section that explains it.
std::string TopicPage(const HelpTopic& topic) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta http-equiv=\"refresh\" content=\"0; url=" +
           topic.target + "\">\n<title>Pixmill Help</title>\n" +
           "<link rel=\"stylesheet\" href=\"help.css\">\n</head>\n<body>\n<p><a href=\"" +
           topic.target + "\">" + topic.title + "</a></p>\n</body>\n</html>\n";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: help_pages SOURCE_DIR OUT_DIR PLUGIN_ROOT\n");
        return 2;
    }
    const fs::path source = argv[1];
    const fs::path out = argv[2];
    const std::string root = std::string(argv[3]) + "/";
    SchemaCatalog catalog;
    catalog.Scan(
        {root + "Formats/", root + "Processing/", root + "Sources/", root + "Destinations/"});

    std::error_code error;
    fs::create_directories(out, error);
    const fs::path pages = source / "pages";
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(pages)) {
        const fs::path target = out / fs::relative(entry.path(), pages);
        if (entry.is_directory()) {
            fs::create_directories(target);
            continue;
        }
        std::string text = ReadAll(entry.path());
        if (entry.path().extension() == ".html" && !Fill(catalog, entry.path(), text)) {
            return 1;
        }
        if (!WriteAll(target, text)) {
            std::fprintf(stderr, "cannot write %s\n", target.c_str());
            return 1;
        }
    }

    std::vector<HelpTopic> topics;
    std::string problem;
    if (!ReadHelpTopics(ReadAll(source / "topics.txt"), topics, problem)) {
        std::fprintf(stderr, "%s: %s\n", (source / "topics.txt").c_str(), problem.c_str());
        return 1;
    }
    for (const HelpTopic& topic : topics) {
        const std::string page = topic.target.substr(0, topic.target.find('#'));
        if (!fs::is_regular_file(pages / page)) {
            std::fprintf(stderr, "topic %d: no page %s\n", topic.number, page.c_str());
            return 1;
        }
        if (!WriteAll(out / (std::to_string(topic.number) + ".html"), TopicPage(topic))) {
            return 1;
        }
    }
    return 0;
}
