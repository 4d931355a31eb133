// The help folder as built: every link and picture of every page resolves
// (files and their sections), no page keeps an unfilled settings range, and
// "pixmill-cli help" finds the same pages.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path kHelp = PIXMILL_BIN_DIR "/help";

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(HelpFolder, EveryLinkAndPictureResolvesAndEveryRangeIsFilledIn) {
    const std::regex reference(R"re((?:href|src)="([^"]*)"|url=([^"]*)")re");
    std::string broken;
    int pages = 0, links = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(kHelp)) {
        if (entry.path().extension() != ".html") {
            continue;
        }
        ++pages;
        const std::string text = ReadAll(entry.path());
        const std::string name = fs::relative(entry.path(), kHelp).string();
        if (text.find("{{") != std::string::npos) {
            broken += "\n  " + name + ": an unfilled {{...}}";
        }
        for (std::sregex_iterator it(text.begin(), text.end(), reference), end; it != end; ++it) {
            std::string target = (*it)[1].matched ? (*it)[1].str() : (*it)[2].str();
            if (target.rfind("http", 0) == 0 || target.rfind("mailto:", 0) == 0) {
                continue;
            }
            ++links;
            std::string section;
            if (const size_t hash = target.find('#'); hash != std::string::npos) {
                section = target.substr(hash + 1);
                target.resize(hash);
            }
            const fs::path file =
                target.empty() ? entry.path() : entry.path().parent_path() / target;
            if (!fs::is_regular_file(file)) {
                broken += "\n  " + name + " -> " + target + ": no such file";
            } else if (!section.empty() &&
                       ReadAll(file).find("id=\"" + section + "\"") == std::string::npos) {
                broken += "\n  " + name + " -> " + target + "#" + section + ": no such section";
            }
        }
    }
    EXPECT_TRUE(broken.empty()) << "broken references in help/:" << broken;
    EXPECT_TRUE(fs::is_regular_file(kHelp / "index.html"));
    EXPECT_TRUE(fs::is_regular_file(kHelp / "help.css"));
    EXPECT_GT(pages, 10);
    EXPECT_GT(links, 100);
}

// A range on a page is the plug-in's declared one (the JPEG levels, the
// Resample sizes), not text typed beside it.
TEST(HelpFolder, RangesComeFromTheSettingsDeclarations) {
    EXPECT_NE(ReadAll(kHelp / "jpeg.html").find("level 0 to 255 (default 0)"), std::string::npos);
    EXPECT_NE(ReadAll(kHelp / "resample.html").find("1 to 32767 (default 100)"), std::string::npos);
    EXPECT_NE(ReadAll(kHelp / "adjust.html").find("0.1 to 10 (default 1)"), std::string::npos);
}

struct CliResult {
    int exitCode;
    std::string out;
};

CliResult Cli(const std::string& arguments) {
    const std::string command =
        "PIXMILL_HELP_DIR= " PIXMILL_BIN_DIR "/pixmill-cli " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    char buffer[512];
    while (pipe != nullptr && fgets(buffer, sizeof buffer, pipe) != nullptr) {
        out += buffer;
    }
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

TEST(HelpFolder, CommandLinePrintsThePathOfATopicsPage) {
    const std::string folder = fs::canonical(kHelp).string();
    CliResult result = Cli("help 66");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, folder + "/66.html\n");
    result = Cli("help contents");
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, folder + "/index.html\n");
    EXPECT_EQ(Cli("help 9999").exitCode, 1); // no such page
    EXPECT_EQ(Cli("help jpeg").exitCode, 2); // not a topic
    EXPECT_EQ(Cli("help 66 67").exitCode, 2);
    EXPECT_EQ(Cli("help -5").exitCode, 2);
}

} // namespace
