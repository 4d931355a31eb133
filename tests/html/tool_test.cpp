// The pixmill-html command, run as a user runs it.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct ToolRun {
    int status = -1;
    std::string err;
};

ToolRun RunTool(const std::string& arguments, const fs::path& dir) {
    const fs::path errFile = dir / "stderr.txt";
    const std::string command = std::string(PIXMILL_BIN_DIR "/pixmill-html ") + arguments + " 2>" +
                                errFile.string() + " >" + (dir / "stdout.txt").string();
    ToolRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    std::ifstream in(errFile);
    std::stringstream text;
    text << in.rdbuf();
    run.err = text.str();
    return run;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class HtmlTool : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("pixmill-html-tool-" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path Write(const char* name, const std::string& text) {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    fs::path dir;
};

} // namespace

TEST_F(HtmlTool, WritesTheTreeAndPrintsWarnings) {
    const fs::path in = Write("in.htm", "<img src=a.gif>\x01<div>x</div>");
    const fs::path out = dir / "out.htm";
    ToolRun run = RunTool(in.string() + " " + out.string(), dir);
    EXPECT_EQ(run.status, 0) << run.err;
    // The control byte is reported and kept.
    EXPECT_EQ(ReadFile(out), "<HTML><HEAD></HEAD>\r\n<BODY><IMG src=a.gif>\x01<DIV>x</DIV>\r\n"
                             "</BODY>\r\n</HTML>\r\n");
    EXPECT_NE(run.err.find("warning: Bad character in file (byte 0x01)"), std::string::npos)
        << run.err;

    // Without OUT the page is only checked; "-" writes to standard output.
    EXPECT_EQ(RunTool(in.string(), dir).status, 0);
    EXPECT_EQ(RunTool(in.string() + " -", dir).status, 0);
    EXPECT_EQ(ReadFile(dir / "stdout.txt"), ReadFile(out));
}

TEST_F(HtmlTool, ExitCodes) {
    EXPECT_EQ(RunTool("--help", dir).status, 0);
    EXPECT_EQ(ReadFile(dir / "stdout.txt").rfind("usage: pixmill-html", 0), 0u);
    EXPECT_EQ(RunTool("", dir).status, 2);
    EXPECT_EQ(RunTool("--bogus x", dir).status, 2);
    EXPECT_EQ(RunTool("a b c", dir).status, 2);

    ToolRun missing = RunTool((dir / "none.htm").string(), dir);
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("cannot find the file"), std::string::npos) << missing.err;

    const fs::path bad = Write("bad.htm", "<p>\n</div>");
    const fs::path out = dir / "never.htm";
    ToolRun parse = RunTool(bad.string() + " " + out.string(), dir);
    EXPECT_EQ(parse.status, 1);
    EXPECT_NE(parse.err.find("Parsing error"), std::string::npos) << parse.err;
    EXPECT_NE(parse.err.find("line number 1"), std::string::npos) << parse.err;
    EXPECT_FALSE(fs::exists(out));

    const fs::path good = Write("good.htm", "<p>x");
    EXPECT_EQ(RunTool(good.string() + " " + (dir / "no/such/dir/out.htm").string(), dir).status, 1);
}
