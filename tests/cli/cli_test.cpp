// pixmill-cli driven as a subprocess: exit codes, messages and outputs, with
// the test plug-ins (tests/test-plugins/document) as its plug-in folder.
#include "cli/options.h"
#include "cli/terminal.h"
#include "host/atomic_file.h"
#include "host/image_doc.h"
#include "host/memory_service.h"
#include "host/plugin_manager.h"
#include "host/temporary_files.h"
#include "host/qsettings_store.h"
#include "support/judged_pictures.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

struct Result {
    int exitCode = -1;
    std::string out, err;
};

std::string ReadAll(const std::string& path) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// A 24-bit picture saved through the program's own plug-ins: made by fill,
// or random pixels.
void SaveThroughProgram(const std::string& path, int width, int height,
                        const std::function<void(pixmill::CVImage&)>& fill = nullptr) {
    pixmill::test::TestHost host;
    pixmill::PluginManager plugins(host.get());
    plugins.LoadFormats(PIXMILL_BIN_DIR "/Formats/");
    pixmill::CVImage image(host.get());
    image.Create(width, height, 24, 0, nullptr);
    if (fill) {
        fill(image);
    } else {
        std::mt19937 random(static_cast<unsigned>(width * 31 + height));
        pixmill::test::FillRandom(image, random);
    }
    pixmill::ImageDoc doc(*host.host, plugins);
    doc.TakeImage(image, plugins.FindFormatByExtension(path));
    ASSERT_TRUE(doc.OnSaveDocument(path)) << doc.LastError();
}

class Cli : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/pixmill-cli-XXXXXX";
        dir = mkdtemp(pattern);
        settings = dir + "/settings.ini";
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs pixmill-cli with args; with interrupt, Ctrl+C comes once the
    // test plug-in's slow operation has started.
    Result Run(const std::vector<std::string>& args, bool interrupt = false) {
        return RunWith(PIXMILL_TEST_PLUGIN_DIR "/document", args, interrupt);
    }
    // The same with the program's own plug-ins.
    Result RunReal(const std::vector<std::string>& args) { return RunWith(PIXMILL_BIN_DIR, args); }

    // slowStarted: what to do to the process once the slow operation has
    // started (default with interrupt: one Ctrl+C).
    Result RunWith(const std::string& pluginRoot, const std::vector<std::string>& args,
                   bool interrupt = false,
                   const std::function<void(pid_t)>& slowStarted = nullptr) {
        const std::string marker = dir + "/slow-started";
        const std::string outPath = dir + "/stdout", errPath = dir + "/stderr";
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("PIXMILL_PLUGIN_ROOT", pluginRoot.c_str(), 1);
            setenv("PIXMILL_TEST_SLOW_MARKER", marker.c_str(), 1);
            setenv("PIXMILL_SETTINGS", settings.c_str(), 1);
            freopen(outPath.c_str(), "w", stdout);
            freopen(errPath.c_str(), "w", stderr);
            std::vector<char*> argv;
            std::string program = PIXMILL_BIN_DIR "/pixmill-cli";
            argv.push_back(program.data());
            std::vector<std::string> copies = args;
            for (auto& arg : copies) {
                argv.push_back(arg.data());
            }
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        if (interrupt) {
            for (int waited = 0; waited < 60000 && !fs::exists(marker); waited += 20) {
                usleep(20 * 1000);
            }
            if (slowStarted) {
                slowStarted(pid);
            } else {
                kill(pid, SIGINT);
            }
        }
        int status = 0;
        waitpid(pid, &status, 0);
        Result result;
        result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        result.out = ReadAll(outPath);
        result.err = ReadAll(errPath);
        return result;
    }

    // A small raw test image made through the program itself.
    std::string MakeImage(const std::string& name) {
        const std::string path = dir + "/" + name;
        std::ofstream file(path, std::ios::binary);
        const char header[2] = {'R', 'W'};
        const int32_t fields[4] = {4, 3, 24, 0};
        file.write(header, 2);
        file.write(reinterpret_cast<const char*>(fields), sizeof fields);
        const char transparency[5] = {};
        file.write(transparency, 5);
        const std::string pixels(12 * 3, '\x40');
        file.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
        return path;
    }

    std::string dir, settings;
};

} // namespace

TEST_F(Cli, UsageErrorsExitWithTwo) {
    EXPECT_EQ(Run({}).exitCode, 2);
    const Result unknown = Run({"frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown command 'frobnicate'"), std::string::npos);
    EXPECT_EQ(Run({"ops", "--no-such-option"}).exitCode, 2);
    EXPECT_EQ(Run({"convert", "only-one"}).exitCode, 2);
    EXPECT_EQ(Run({"convert", "a", "b", "--quality-offset", "500"}).exitCode, 2);
    // --copy-original without thumbnails used to encode the file and say nothing.
    const Result copy = Run({"batch", MakeImage("a.raw"), "--out", dir + "/c", "--copy-original"});
    EXPECT_EQ(copy.exitCode, 2);
    EXPECT_NE(copy.err.find("--copy-original need --thumbs"), std::string::npos) << copy.err;
    SaveThroughProgram(dir + "/b.jpg", 40, 30);
    const Result copied = RunReal({"batch", dir + "/b.jpg", "--out", dir + "/d", "--copy-original",
                                   "--thumbs", "8x8", "-q"});
    EXPECT_EQ(copied.exitCode, 0) << copied.err;
    EXPECT_EQ(ReadAll(dir + "/d/b.jpg"), ReadAll(dir + "/b.jpg"));
    const Result help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("Exit codes:"), std::string::npos);
}

// The option lists of --help come from the parser's own table; options
// described in their command's words instead must be named there.
TEST(CliOptions, EveryOptionIsNamedInTheHelp) {
    const std::string help = pixmill::cli::HelpText();
    for (const pixmill::cli::OptionSpec& option : pixmill::cli::OptionTable()) {
        std::string names = option.names;
        const std::string name = names.substr(names.rfind(',') + 1);
        EXPECT_NE(help.find("--" + name + " "), std::string::npos) << name;
    }
}

TEST_F(Cli, ListsFormatsAndOperations) {
    const Result formats = Run({"formats"});
    EXPECT_EQ(formats.exitCode, 0);
    EXPECT_NE(formats.out.find("*.tjp;*.tjpeg"), std::string::npos);
    EXPECT_NE(formats.out.find("0x3F"), std::string::npos);
    const Result ops = Run({"ops"});
    EXPECT_EQ(ops.exitCode, 0);
    EXPECT_NE(ops.out.find("600"), std::string::npos);
    EXPECT_NE(ops.out.find("Negate the image"), std::string::npos);
}

// Scripts read --json with any JSON parser: every operation and format is one
// object carrying the same facts as the table.
TEST_F(Cli, ListsOperationsAndFormatsAsJson) {
    const Result ops = Run({"ops", "--json"});
    ASSERT_EQ(ops.exitCode, 0) << ops.err;
    QJsonParseError error{};
    const QJsonDocument opsDoc = QJsonDocument::fromJson(QByteArray::fromStdString(ops.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << ops.out;
    ASSERT_TRUE(opsDoc.isArray());
    const QJsonArray list = opsDoc.array();
    ASSERT_FALSE(list.isEmpty());
    bool negate = false;
    for (const QJsonValue& entry : list) {
        const QJsonObject op = entry.toObject();
        for (const char* key : {"id", "group", "name", "flags", "kind", "description"}) {
            EXPECT_TRUE(op.contains(key)) << key;
        }
        if (op["description"].toString() == "Negate the image") {
            negate = true;
            EXPECT_GE(op["id"].toInt(), 600);
        }
    }
    EXPECT_TRUE(negate) << ops.out;
    const Result formats = Run({"formats", "--json"});
    ASSERT_EQ(formats.exitCode, 0) << formats.err;
    const QJsonDocument formatsDoc =
        QJsonDocument::fromJson(QByteArray::fromStdString(formats.out), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << formats.out;
    std::map<QString, QJsonObject> byName;
    for (const QJsonValue& entry : formatsDoc.array()) {
        byName[entry.toObject()["name"].toString()] = entry.toObject();
    }
    EXPECT_EQ(byName["Test Photo"]["extensions"].toString(), "*.tjp;*.tjpeg") << formats.out;
    EXPECT_EQ(byName["Test Raw"]["saveModes"].toInt(), 0x3F) << formats.out;
}

TEST_F(Cli, InfoInTextAndJson) {
    const std::string image = MakeImage("a.trw");
    const Result text = Run({"info", image});
    EXPECT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("4 x 3"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("24 bit"), std::string::npos);
    const Result json = Run({"info", "--json", image, dir + "/missing.trw"});
    EXPECT_EQ(json.exitCode, 1) << "one input failed";
    EXPECT_NE(json.out.find("\"width\": 4"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"error\": \"The system cannot find the file"), std::string::npos);
    EXPECT_NE(json.err.find("missing.trw"), std::string::npos);
}

TEST_F(Cli, ConvertRunsOperationsAndConverts) {
    const std::string in = MakeImage("in.trw");
    const std::string out = dir + "/out.tjp";
    const Result result = Run({"convert", in, out, "--op", "Negate"});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("4 x 3, 24 bit"), std::string::npos) << result.out;
    const std::string written = ReadAll(out);
    ASSERT_GT(written.size(), 30u);
    EXPECT_EQ(static_cast<unsigned char>(written.back()), 0xBF) << "0x40 negated";

    const Result unknownOp = Run({"convert", in, dir + "/x.tjp", "--op", "Blur"});
    EXPECT_EQ(unknownOp.exitCode, 2);
    EXPECT_NE(unknownOp.err.find("unknown operation 'Blur'"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir + "/x.tjp"));

    const Result badOut = Run({"convert", in, dir + "/x.png"});
    EXPECT_EQ(badOut.exitCode, 1);
    EXPECT_NE(badOut.err.find("Unsupported image format"), std::string::npos);

    const Result unreadable = Run({"convert", dir + "/none.trw", dir + "/y.trw"});
    EXPECT_EQ(unreadable.exitCode, 1);
    EXPECT_NE(unreadable.err.find("cannot find the file"), std::string::npos);
}

TEST_F(Cli, NeverOverwritesTheInputUnlessForced) {
    const std::string in = MakeImage("same.trw");
    const std::string before = ReadAll(in);
    const Result refused = Run({"convert", in, in, "--op", "Negate"});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_NE(refused.err.find("--force"), std::string::npos);
    EXPECT_EQ(ReadAll(in), before);
    EXPECT_EQ(Run({"convert", in, in, "--op", "Negate", "--force", "-q"}).exitCode, 0);
    EXPECT_NE(ReadAll(in), before);
}

TEST_F(Cli, InterruptedRunIsAUserBreakAndLeavesNoOutput) {
    const std::string in = MakeImage("slow.trw");
    const std::string out = dir + "/slow-out.trw";
    const Result result = Run({"convert", in, out, "--op", "Slow"}, true);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("User break"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(out));
}

// A JPEG picture four times the target's width: by default decoded reduced
// (the same size, other pixels), with --exact-decode the bytes the program
// has always written for it.
TEST_F(Cli, ExactDecodeKeepsTheWholeDecodesBytes) {
    const std::string in = dir + "/wide.jpg";
    SaveThroughProgram(in, 1600, 1000, [](pixmill::CVImage& image) {
        std::mt19937 random(7);
        for (int y = 0; y < 1000; ++y) {
            for (int x = 0; x < 1600; ++x) {
                const uint32_t grain = random() % 24;
                pixmill::test::SetPixelAt(
                    image, x, y,
                    static_cast<uint32_t>((x / 7 + grain) << 16 | (y / 4 + grain) << 8 |
                                          ((x * y / 997) % 200 + grain)));
            }
        }
    });
    const auto fnv = [](const std::string& bytes) {
        uint64_t hash = 0xcbf29ce484222325;
        for (const char c : bytes) {
            hash = (hash ^ static_cast<uint8_t>(c)) * 0x100000001b3;
        }
        return hash;
    };
    std::string written[2];
    for (int exact = 0; exact < 2; ++exact) {
        const std::string out = dir + "/small" + std::to_string(exact) + ".tif";
        std::vector<std::string> args = {"convert", in, out, "--op", "Resample", "--set",
                                         "Resample.width=400", "--set", "Resample.height=32767",
                                         "--set", "Resample.keepAspect=1"};
        if (exact != 0) {
            args.push_back("--exact-decode");
        }
        const Result converted = RunReal(args);
        ASSERT_EQ(converted.exitCode, 0) << converted.err;
        EXPECT_NE(converted.out.find("400 x 250"), std::string::npos) << converted.out;
        written[exact] = ReadAll(out);
    }
    EXPECT_EQ(fnv(written[1]), 0x79ead3730995e89dULL) << std::hex << fnv(written[1]);
    EXPECT_NE(written[0], written[1]) << "the default decodes reduced";
}

TEST_F(Cli, SetChangesPluginSettingsForOneRunOnly) {
    // An 80 x 50 TIFF made through the program's own document and plug-ins.
    const std::string in = dir + "/photo.tif";
    SaveThroughProgram(in, 80, 50, [](pixmill::CVImage& image) {
        std::mt19937 random(3);
        pixmill::test::FillRandom(image, random);
    });
    const Result listing = RunReal({"settings"});
    EXPECT_EQ(listing.exitCode, 0);
    EXPECT_NE(listing.out.find("Resample.width"), std::string::npos);
    EXPECT_NE(listing.out.find("JPEG_Parameters.progressive"), std::string::npos);

    const std::string out = dir + "/small.jpg";
    const Result converted =
        RunReal({"convert", in, out, "--op", "Resample", "--set", "Resample.width=40", "--set",
                 "Resample.height=32767", "--set", "Resample.keepAspect=1", "--set",
                 "JPEG_Parameters.progressive=1"});
    ASSERT_EQ(converted.exitCode, 0) << converted.err;
    const Result info = RunReal({"info", "--json", out});
    EXPECT_NE(info.out.find("\"width\": 40, \"height\": 25"), std::string::npos) << info.out;
    const std::string written = ReadAll(out);
    EXPECT_NE(written.find("\xFF\xC2"), std::string::npos) << "a progressive frame";

    const Result after = RunReal({"settings"});
    EXPECT_NE(after.out.find("Resample.width"), std::string::npos);
    EXPECT_EQ(after.out.find("= 40 "), std::string::npos) << "nothing was written back";

    EXPECT_EQ(RunReal({"convert", in, out, "--set", "Resample.width=0"}).exitCode, 2);
    const Result unknown = RunReal({"convert", in, out, "--set", "Nope.width=3"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown settings record 'Nope'"), std::string::npos);
    EXPECT_EQ(RunReal({"convert", in, out, "--set", "Resample.width"}).exitCode, 2);
}

// A folder of good pictures (TIFF, made through the program), a truncated
// JPEG and a text file, processed with the program's own plug-ins.
class CliBatch : public Cli {
  protected:
    void SetUp() override {
        Cli::SetUp();
        in = dir + "/in";
        fs::create_directories(in + "/sub");
        pixmill::test::TestHost host;
        pixmill::PluginManager plugins(host.get());
        plugins.LoadFormats(PIXMILL_BIN_DIR "/Formats/");
        int seed = 1;
        for (const std::string name : {"a.tif", "b.tif", "sub/c.tif"}) {
            pixmill::CVImage image(host.get());
            image.Create(90 + seed, 60, 24, 0, nullptr);
            std::mt19937 random(static_cast<unsigned>(seed++));
            pixmill::test::FillRandom(image, random);
            pixmill::ImageDoc doc(*host.host, plugins);
            doc.TakeImage(image, plugins.FindFormatByExtension(name));
            ASSERT_TRUE(doc.OnSaveDocument(in + "/" + name)) << doc.LastError();
        }
        // Longer than every format's signature, so that it is recognised, and cut short.
        std::ofstream(in + "/broken.jpg", std::ios::binary)
            << std::string("\xFF\xD8\xFF\xDB\0\x43\0\1\1\1\1\1\1\1\1\1", 16);
        std::ofstream(in + "/readme.txt") << "not a picture";
    }
    std::vector<std::string> Tree(const std::string& root) {
        std::vector<std::string> names;
        for (const auto& entry : fs::recursive_directory_iterator(root)) {
            names.push_back(fs::relative(entry.path(), root).string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string in;
};

TEST_F(CliBatch, FolderWithFailuresKeepsGoingAndSaysWhichFailed) {
    const std::string out = dir + "/out";
    for (const char* jobs : {"1", "2"}) {
        fs::remove_all(out);
        const Result result = RunReal({"batch", in, "--recursive", "--out", out, "--format", "JPEG",
                                       "--thumbs", "40x40", "--jobs", jobs});
        EXPECT_EQ(result.exitCode, 1) << result.err;
        EXPECT_NE(result.out.find("3 of 5 images processed"), std::string::npos) << result.out;
        EXPECT_NE(result.err.find("Process Image 2 of Total 5   Time Left "), std::string::npos)
            << result.err;
        EXPECT_EQ(Tree(out),
                  (std::vector<std::string>{"a.jpg", "a_Thumb.jpg", "b.jpg", "b_Thumb.jpg",
                                            "qorel.log", "sub", "sub/c.jpg", "sub/c_Thumb.jpg"}))
            << "jobs " << jobs;
        const std::string log = ReadAll(out + "/qorel.log");
        EXPECT_EQ(log.rfind("The number of selected images : 5\r\n\r\nStart batch processing..."
                            "\r\n\r\nbroken.jpg open error : ",
                            0),
                  0u)
            << log;
        EXPECT_NE(log.find(" \r\nCan`t recognize readme.txt file format\r\n\r\nFinish batch "
                           "processing\r\n\r\nThe number of successfuly processed images : 3\r\n"
                           "The number of unprocessed images : 2\r\n"),
                  std::string::npos)
            << log;
    }
    const Result good =
        RunReal({"batch", in + "/a.tif", in + "/b.tif", "--out", out + "2", "--thumbs", "30x20",
                 "--smart-cut", "--thumbs-only", "--log", dir + "/good.log", "-q"});
    EXPECT_EQ(good.exitCode, 0) << good.err;
    EXPECT_EQ(Tree(out + "2"), (std::vector<std::string>{"a_Thumb.tif", "b_Thumb.tif"}));
    EXPECT_TRUE(fs::exists(dir + "/good.log"));
}

TEST_F(CliBatch, ShardsProfilesAndUsage) {
    const Result shard = RunReal({"batch", in, "--out", dir + "/s", "--shard", "1/2", "-q"});
    EXPECT_EQ(Tree(dir + "/s"), (std::vector<std::string>{"b.tif", "qorel.log"}))
        << "a.tif, b.tif, broken.jpg, readme.txt: the second and fourth";
    EXPECT_EQ(shard.exitCode, 1);

    const std::string prf = dir + "/web.prf";
    std::ofstream(prf, std::ios::binary) << "[Formats]\r\nJPEG\r\n[LogFile]\r\n"
                                         << dir << "/from-profile.log\r\n";
    const Result profiled =
        RunReal({"batch", in + "/a.tif", "--out", dir + "/p", "--profile", prf, "-q"});
    EXPECT_EQ(profiled.exitCode, 0) << profiled.err;
    EXPECT_TRUE(fs::exists(dir + "/p/a.jpg"));
    EXPECT_TRUE(fs::exists(dir + "/from-profile.log"));

    EXPECT_EQ(RunReal({"batch", in}).exitCode, 2) << "no --out";
    EXPECT_EQ(RunReal({"batch", in, "--out", dir + "/x", "--format", "XYZ"}).exitCode, 2);
    EXPECT_EQ(RunReal({"batch", in, "--out", dir + "/x", "--op", "Blur"}).exitCode, 2);
    EXPECT_EQ(RunReal({"batch", in, "--out", dir + "/x", "--thumbs", "0x5"}).exitCode, 2);
    EXPECT_EQ(RunReal({"batch", in, "--out", dir + "/x", "--shard", "2/2"}).exitCode, 2);
    EXPECT_EQ(RunReal({"batch", in, "--out", dir + "/x", "--dest", "Nowhere"}).exitCode, 2);
    const Result noLog =
        RunReal({"batch", in, "--out", dir + "/x", "--log", dir + "/no/such/dir/run.log"});
    EXPECT_EQ(noLog.exitCode, 1);
    EXPECT_NE(noLog.err.find("cannot write the log"), std::string::npos) << noLog.err;
    EXPECT_EQ(Tree(dir + "/x"), std::vector<std::string>{}) << "no image touched";
}

// Only regular files are pictures: FIFOs and devices among the inputs are
// named in the log and left out, and a link back up the tree is read once.
TEST_F(CliBatch, OddEntriesAreSkippedAndLoopsReadOnce) {
    const std::string tree = dir + "/tree";
    fs::create_directories(tree + "/sub");
    fs::copy_file(in + "/a.tif", tree + "/a.tif");
    fs::copy_file(in + "/b.tif", tree + "/sub/b.tif");
    ASSERT_EQ(mkfifo((tree + "/pipe.tif").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", tree + "/zero.tif");
    fs::create_symlink("..", tree + "/sub/up");
    const Result run = RunReal({"batch", tree, "--recursive", "--out", dir + "/o", "-q"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Tree(dir + "/o"), (std::vector<std::string>{"a.tif", "qorel.log", "sub",
                                                           "sub/b.tif"}));
    const std::string log = ReadAll(dir + "/o/qorel.log");
    EXPECT_NE(log.find("pipe.tif: a FIFO, not a picture file; skipped"), std::string::npos) << log;
    EXPECT_NE(log.find("zero.tif: a device, not a picture file; skipped"), std::string::npos);
    EXPECT_NE(log.find("sub/up/: the same folder as one already read"), std::string::npos);
    const Result info = RunReal({"info", tree + "/pipe.tif"});
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_NE(info.err.find("must be a regular file, not a FIFO"), std::string::npos) << info.err;
}

// Profiles and the log a profile names are files someone else may have
// written: anything but a small text file is refused at once with a message,
// and the log never replaces a file that is not a log without --force.
TEST_F(CliBatch, SideFilesMustBeSmallTextFilesAndLogsReplaceOnlyLogs) {
    const std::string big = dir + "/big.prf", binary = dir + "/binary.prf";
    std::ofstream(big, std::ios::binary) << std::string((16u << 20) + 1, 'x');
    std::ofstream(binary, std::ios::binary) << std::string("[Formats]\0\x01\x02", 12);
    ASSERT_EQ(mkfifo((dir + "/pipe.prf").c_str(), 0600), 0);
    const std::pair<std::string, std::string> refusals[] = {
        {"/dev/zero", "must be a regular file, not a device"},
        {dir + "/pipe.prf", "must be a regular file, not a FIFO"},
        {in, "must be a regular file, not a folder"},
        {big, "larger than 16 MB"},
        {binary, "a binary file"}};
    for (const auto& [profile, message] : refusals) {
        for (const char* option : {"--profile", "--dest-profile"}) {
            std::vector<std::string> args = {"batch", in, "--out", dir + "/x", option, profile};
            if (std::string(option) == "--dest-profile") {
                args.insert(args.end(), {"--dest", "HTML pages"});
            }
            const Result refused = RunReal(args);
            EXPECT_EQ(refused.exitCode, 1) << option << " " << profile;
            EXPECT_NE(refused.err.find(message), std::string::npos) << refused.err;
        }
    }

    // A gallery whose header file is a FIFO beside its profile (a device
    // elsewhere is refused before the run, as outside the gallery's
    // folders): the pages are made without it, and the log says why.
    const std::string vhb = dir + "/g.vhb";
    const std::string fifo = dir + "/header.fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(vhb) << "[Project settings]\nCreate thumbnail pages\n[Thumbnail page]\n"
                          "Header file=" << fifo << "\n[Thumbnail table]\nColumns=5\nRows=5\n";
    const Result gallery = RunReal({"batch", in + "/a.tif", "--out", dir + "/g", "-q", "--dest",
                                    "HTML pages", "--dest-profile", vhb});
    EXPECT_EQ(gallery.exitCode, 0) << gallery.err;
    EXPECT_NE(ReadAll(dir + "/g/qorel.log")
                  .find(fifo + ": a header or footer file must be a regular file, not a FIFO"),
              std::string::npos)
        << ReadAll(dir + "/g/qorel.log");

    const std::string rc = dir + "/bashrc", prf = dir + "/log.prf";
    std::ofstream(rc) << "export PATH\n";
    std::ofstream(prf, std::ios::binary) << "[Formats]\r\nJPEG\r\n[LogFile]\r\n" << rc << "\r\n";
    for (const std::vector<std::string>& chosen :
         {std::vector<std::string>{"--profile", prf}, std::vector<std::string>{"--log", rc}}) {
        std::vector<std::string> args = {"batch", in + "/a.tif", "--out", dir + "/l", "-q"};
        args.insert(args.end(), chosen.begin(), chosen.end());
        const Result kept = RunReal(args);
        EXPECT_EQ(kept.exitCode, 1);
        EXPECT_NE(kept.err.find("is not a batch log; it is kept"), std::string::npos) << kept.err;
        EXPECT_EQ(ReadAll(rc), "export PATH\n");
    }
    const Result forced = RunReal({"batch", in + "/a.tif", "--out", dir + "/l", "-q", "--log", rc,
                                   "--force"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(ReadAll(rc).rfind("The number of selected images : 1", 0), 0u);
    const Result again = RunReal({"batch", in + "/a.tif", "--out", dir + "/l", "-q", "--log", rc});
    EXPECT_EQ(again.exitCode, 0) << "a log replaces a log: " << again.err;
}

// Names up to the system's limit of 255 bytes are written, though the
// temporary file beside each has a suffix of its own.
TEST_F(CliBatch, OutputNamesUpToTheSystemLimitAreWritten) {
    for (size_t length : {240u, 248u, 255u}) {
        const std::string name = std::string(length - 4, 'n') + ".tif";
        fs::copy_file(in + "/a.tif", dir + "/" + name, fs::copy_options::overwrite_existing);
        const Result run = RunReal({"batch", dir + "/" + name, "--out", dir + "/long", "-q"});
        EXPECT_EQ(run.exitCode, 0) << length << ": " << run.err;
        EXPECT_TRUE(fs::exists(dir + "/long/" + name)) << length;
        fs::remove(dir + "/" + name);
    }
}

TEST_F(CliBatch, ReadOnlyOutputsAreKeptUnlessForced) {
    const std::string out = dir + "/ro";
    ASSERT_EQ(RunReal({"batch", in + "/a.tif", "--out", out, "-q"}).exitCode, 0);
    const std::string target = out + "/a.tif";
    std::ofstream(target, std::ios::binary | std::ios::trunc) << "kept";
    fs::permissions(target, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const Result refused = RunReal({"batch", in + "/a.tif", "--out", out, "-q"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(ReadAll(target), "kept");
    EXPECT_NE(ReadAll(out + "/qorel.log").find("a.tif save error"), std::string::npos)
        << ReadAll(out + "/qorel.log");
    const Result forced = RunReal({"batch", in + "/a.tif", "--out", out, "--force", "-q"});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_NE(ReadAll(target), "kept");
    EXPECT_EQ(Tree(out), (std::vector<std::string>{"a.tif", "qorel.log"})) << "no temporary left";
}

// A second Ctrl+C ends the program at once; the output being written and the
// swap blocks go with it.
TEST_F(Cli, SecondBreakRemovesTemporaryFiles) {
    const std::string swap = dir + "/swap";
    fs::create_directory(swap);
    const pid_t pid = fork();
    if (pid == 0) {
        pixmill::cli::InstallBreakHandler();
        pixmill::AtomicFile output(dir + "/out.jpg");
        pixmill::MemoryService memory(swap + "/");
        memory.SetOrdinaryAllocationFails(true);
        const std::string swapFile = memory.SwapFileName(memory.Alloc(1 << 20));
        if (!fs::exists(output.Temporary()) || swapFile.empty() || !fs::exists(swapFile)) {
            _exit(3);
        }
        raise(SIGINT);
        raise(SIGINT);
        _exit(0); // not reached
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_TRUE(fs::is_empty(swap));
    for (const auto& entry : fs::directory_iterator(dir)) {
        EXPECT_EQ(entry.path().string(), swap) << "left behind";
    }
}

TEST_F(Cli, BatchCtrlCCancelsTheRun) {
    for (const char* name : {"1.trw", "2.trw", "3.trw"}) {
        MakeImage(name);
    }
    for (const char* jobs : {"1", "2"}) {
        fs::remove(dir + "/slow-started");
        const std::string out = dir + "/out" + jobs;
        const Result result = Run({"batch", dir + "/1.trw", dir + "/2.trw", dir + "/3.trw", "--out",
                                   out, "--op", "Slow", "--jobs", jobs},
                                  true);
        EXPECT_EQ(result.exitCode, 1);
        const std::string log = ReadAll(out + "/qorel.log");
        const std::string end = "Slow operation error : User break \r\n"
                                "Batch processing was interrupted.";
        ASSERT_GE(log.size(), end.size()) << log;
        EXPECT_EQ(log.substr(log.size() - end.size()), end) << "jobs " << jobs << ": " << log;
        EXPECT_EQ(log.find("Finish batch processing"), std::string::npos);
    }
}

// ------------------------------------------------------ hostile and unusual input

TEST_F(Cli, PixelLimitRefusesLargePicturesNamingTheLimit) {
    const std::string jpg = dir + "/in.jpg";
    SaveThroughProgram(jpg, 80, 50);
    // A 300-byte file declaring 30000 x 30000: refused at once by default.
    std::string huge = ReadAll(jpg);
    const size_t sof = huge.find("\xFF\xC0");
    ASSERT_NE(sof, std::string::npos);
    huge.replace(sof + 5, 4, std::string("\x75\x30\x75\x30", 4));
    std::ofstream(dir + "/huge.jpg", std::ios::binary) << huge;
    const Result info = RunReal({"info", dir + "/huge.jpg"});
    EXPECT_EQ(info.exitCode, 1);
    EXPECT_NE(info.err.find("30000 x 30000 pixels is more than the limit of 268435456"),
              std::string::npos)
        << info.err;

    const Result small = RunReal({"info", jpg, "--max-pixels", "3999"});
    EXPECT_EQ(small.exitCode, 1);
    EXPECT_NE(small.err.find("limit of 3999 pixels"), std::string::npos) << small.err;
    EXPECT_EQ(RunReal({"info", jpg, "--max-pixels", "4000"}).exitCode, 0);
    EXPECT_EQ(RunReal({"convert", jpg, dir + "/o.tif", "--max-pixels", "3999"}).exitCode, 1);
    EXPECT_FALSE(fs::exists(dir + "/o.tif"));
    EXPECT_EQ(RunReal({"convert", jpg, dir + "/o.tif", "--max-pixels", "4000"}).exitCode, 0);
    EXPECT_EQ(RunReal({"batch", jpg, "--out", dir + "/b", "--max-pixels", "3999", "-q"}).exitCode,
              1);
    EXPECT_FALSE(fs::exists(dir + "/b/in.jpg"));
    EXPECT_EQ(RunReal({"info", jpg, "--max-pixels", "0"}).exitCode, 2);
    EXPECT_EQ(RunReal({"info", jpg, "--max-pixels", "many"}).exitCode, 2);
}

TEST_F(Cli, DamagedJpegFailsUnlessAllowed) {
    const std::string jpg = dir + "/whole.jpg";
    SaveThroughProgram(jpg, 120, 80);
    const std::string whole = ReadAll(jpg);
    const std::string cut = dir + "/cut.jpg";
    std::ofstream(cut, std::ios::binary) << whole.substr(0, whole.size() / 2);

    const Result refused = RunReal({"convert", cut, dir + "/out.tif"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("the file ends before the JPEG picture does (cut short)"),
              std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find("--allow-damaged"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(dir + "/out.tif"));

    const Result kept = RunReal({"convert", cut, dir + "/out.tif", "--allow-damaged"});
    EXPECT_EQ(kept.exitCode, 0) << kept.err;
    EXPECT_NE(kept.err.find("warning: The picture may be incomplete: the file ends before the "
                            "JPEG picture does (cut short)."),
              std::string::npos)
        << kept.err;
    EXPECT_TRUE(fs::exists(dir + "/out.tif"));
    const Result good = RunReal({"convert", jpg, dir + "/good.tif"});
    EXPECT_EQ(good.exitCode, 0);
    EXPECT_EQ(good.err, "");

    const Result batch = RunReal({"batch", cut, jpg, "--out", dir + "/b", "--jobs", "1", "-q"});
    EXPECT_EQ(batch.exitCode, 1);
    EXPECT_NE(ReadAll(dir + "/b/qorel.log").find("the file ends before the JPEG picture does"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(dir + "/b/cut.jpg"));
    const Result allowed =
        RunReal({"batch", cut, "--out", dir + "/a", "--allow-damaged", "--jobs", "1", "-q"});
    EXPECT_EQ(allowed.exitCode, 0) << allowed.err;
    EXPECT_TRUE(fs::exists(dir + "/a/cut.jpg"));
}

TEST_F(Cli, OutputNeedsAnExactExtensionAndAWritableFile) {
    const std::string in = dir + "/in.tif";
    SaveThroughProgram(in, 20, 10);
    for (const char* name : {"x.j", "x.", "x.jp", "x.t", "x", "x.tiff.bak"}) {
        const Result result = RunReal({"convert", in, dir + "/" + name});
        EXPECT_EQ(result.exitCode, 1) << name;
        EXPECT_NE(result.err.find(".jpg .jif .jpeg .jfif .jpe"), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(".tif .tiff"), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(dir + "/" + name)) << name;
    }
    EXPECT_EQ(RunReal({"convert", in, dir + "/x.JPEG"}).exitCode, 0) << "any case";

    const std::string locked = dir + "/locked.jpg";
    std::ofstream(locked) << "keep me";
    fs::permissions(locked, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const Result refused = RunReal({"convert", in, locked});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("read-only (use --force"), std::string::npos) << refused.err;
    EXPECT_EQ(ReadAll(locked), "keep me");
    EXPECT_EQ(RunReal({"convert", in, locked, "--force"}).exitCode, 0);
    EXPECT_NE(ReadAll(locked), "keep me");
}

TEST_F(Cli, SettingsFilesAreCheckedAndClampedOnLoad) {
    const std::string missing = dir + "/missing.ini";
    const Result absent = RunReal({"formats", "--settings", missing});
    EXPECT_EQ(absent.exitCode, 2);
    EXPECT_NE(absent.err.find("no such settings file"), std::string::npos) << absent.err;
    const std::string fifo = dir + "/fifo.ini";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& odd : {fifo, dir}) {
        const Result result = RunReal({"formats", "--settings", odd});
        EXPECT_EQ(result.exitCode, 2) << odd;
        EXPECT_NE(result.err.find("not a regular file"), std::string::npos) << result.err;
    }
    const std::string garbage = dir + "/garbage.ini";
    std::ofstream(garbage, std::ios::binary) << std::string("\x7f\x45LF\0\x01\x02 junk\n", 12);
    const Result noted = RunReal({"formats", "--settings", garbage});
    EXPECT_EQ(noted.exitCode, 0);
    EXPECT_NE(noted.err.find("not a settings file; the defaults apply"), std::string::npos)
        << noted.err;

    // Stored values beyond their ranges are used as the plug-ins load them,
    // and Qt's own complaint about an unknown stored type stays unseen.
    const std::string stored = dir + "/stored.ini";
    {
        pixmill::QSettingsStore store(stored);
        const int32_t resample[3] = {0, -7, 0}; // width 0, height -7, aspect not kept
        const auto* bytes = reinterpret_cast<const uint8_t*>(resample);
        store.WriteBinary("Settings", "Resample", pixmill::Bytes(bytes, bytes + sizeof resample));
    }
    std::ofstream(stored, std::ios::app)
        << "JPEG_Parameters=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\x5ghost)\n";
    const Result listing = RunReal({"settings", "--settings", stored});
    EXPECT_EQ(listing.exitCode, 0);
    EXPECT_NE(listing.out.find("Resample.width                       i32   1..32767         = 1 "),
              std::string::npos)
        << listing.out;
    EXPECT_EQ(listing.err, "") << "nothing of Qt's own";
    const std::string in = dir + "/in.tif";
    SaveThroughProgram(in, 20, 10);
    const Result converted =
        RunReal({"convert", in, dir + "/tiny.tif", "--op", "Resample", "--settings", stored});
    EXPECT_EQ(converted.exitCode, 0) << converted.err;
    EXPECT_NE(converted.out.find("1 x 1, 24 bit"), std::string::npos) << converted.out;
}

// The help's own example makes what it says: 800 wide with the aspect kept.
TEST_F(Cli, HelpExampleResamplesAsItSays) {
    const std::string help = Run({"--help"}).out;
    EXPECT_NE(help.find("positive values raise the quality"), std::string::npos);
    const std::string example = "--set Resample.width=800\n                            --set "
                                "Resample.height=32767\n                            --set "
                                "Resample.keepAspect=1";
    ASSERT_NE(help.find(example), std::string::npos) << help;
    const std::string in = dir + "/in.tif";
    SaveThroughProgram(in, 160, 100);
    const Result result = RunReal({"convert", in, dir + "/wide.tif", "--op", "Resample", "--set",
                                   "Resample.width=800", "--set", "Resample.height=32767", "--set",
                                   "Resample.keepAspect=1"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_NE(result.out.find("800 x 500"), std::string::npos) << result.out;
}

// Refusals say why: which image kinds an operation needs, which pictures a
// compression is for.
TEST_F(Cli, RefusalsSayWhy) {
    const std::string in = dir + "/in.tif";
    SaveThroughProgram(in, 30, 20);
    const Result filter = RunReal(
        {"convert", in, dir + "/f.tif", "--op", "Convert to Paletted", "--op", "Filter Sharpen"});
    EXPECT_EQ(filter.exitCode, 1);
    EXPECT_NE(filter.err.find("'Filter Sharpen' cannot be applied to an 8-bit paletted image; it "
                              "needs an 8-bit grey or 24-bit colour image"),
              std::string::npos)
        << filter.err;
    const Result ccitt =
        RunReal({"convert", in, dir + "/c.tif", "--set", "TIFF_Parameters.compressionChoice=3"});
    EXPECT_EQ(ccitt.exitCode, 1);
    EXPECT_NE(ccitt.err.find("CCITT and Huffman compression are only for 1-bit"), std::string::npos)
        << ccitt.err;
    EXPECT_EQ(ccitt.err.find("Image error:"), std::string::npos) << "said once, by the program";
}

// Names that are not UTF-8 are kept as the bytes they are, in and out.
TEST_F(Cli, FileNamesAreBytes) {
    const std::string in = dir + "/l-\xe9.tif";
    SaveThroughProgram(in, 12, 8);
    const std::string out = dir + "/o-\xe9\xff.jpg";
    const Result converted = RunReal({"convert", in, out});
    EXPECT_EQ(converted.exitCode, 0) << converted.err;
    EXPECT_TRUE(fs::exists(out));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    EXPECT_NE(std::find(names.begin(), names.end(), "o-\xe9\xff.jpg"), names.end());
    EXPECT_EQ(std::count_if(names.begin(), names.end(),
                            [](const std::string& name) {
                                return name.find("\xEF\xBF\xBD") != std::string::npos;
                            }),
              0)
        << "no name was changed to U+FFFD";
    const Result batch = RunReal({"batch", in, "--out", dir + "/b-\xe9", "-q"});
    EXPECT_EQ(batch.exitCode, 0) << batch.err;
    EXPECT_TRUE(fs::exists(dir + "/b-\xe9/l-\xe9.tif"));
}

TEST_F(CliBatch, MaxBytesWritesTheBestLevelThatFitsOrSaysItCannot) {
    const std::string out = dir + "/budget.jpg";
    ASSERT_EQ(RunReal({"convert", in + "/a.tif", out, "-q"}).exitCode, 0);
    const auto finest = static_cast<long long>(fs::file_size(out));
    for (long long budget : {finest - 1, finest / 2, finest / 4}) {
        const Result fitted =
            RunReal({"convert", in + "/a.tif", out, "--max-bytes", std::to_string(budget)});
        ASSERT_EQ(fitted.exitCode, 0) << fitted.err;
        EXPECT_LE(static_cast<long long>(fs::file_size(out)), budget);
        EXPECT_GT(static_cast<long long>(fs::file_size(out)), budget / 2) << "not needlessly small";
    }
    const Result unreachable = RunReal({"convert", in + "/a.tif", out, "--max-bytes", "300"});
    EXPECT_EQ(unreachable.exitCode, 1);
    EXPECT_NE(unreachable.err.find("can't be made 300 bytes or smaller"), std::string::npos)
        << unreachable.err;

    const std::string folder = dir + "/budgeted";
    const Result batch =
        RunReal({"batch", in + "/a.tif", in + "/b.tif", "--out", folder, "--format", "JPEG",
                 "--max-bytes", std::to_string(finest / 3), "--jobs", "1", "-q"});
    EXPECT_EQ(batch.exitCode, 0) << batch.err;
    for (const char* name : {"a.jpg", "b.jpg"}) {
        EXPECT_LE(static_cast<long long>(fs::file_size(folder + "/" + name)), finest / 3) << name;
    }
    EXPECT_EQ(RunReal({"convert", in + "/a.tif", out, "--max-bytes", "0"}).exitCode, 2);
}

TEST_F(CliBatch, DitherLevelIsASettingOfConvertAndBatch) {
    // Reduced to 16 colours: the error diffusion changes pixels, level 0 maps
    // each pixel to its nearest entry, and a batch takes the same setting.
    auto reduce = [&](const std::string& level, const std::string& out) {
        return RunReal({"convert", in + "/a.tif", out, "--op", "Convert to Paletted", "--set",
                        "QorelColorInfo.colorCount=16", "--set", "QorelColorInfo.conversionCode=32",
                        "--set", "QorelColorMapping.ditherLevel=" + level, "-q"});
    };
    ASSERT_EQ(reduce("0", dir + "/plain.tif").exitCode, 0);
    ASSERT_EQ(reduce("10", dir + "/dithered.tif").exitCode, 0);
    EXPECT_NE(ReadAll(dir + "/plain.tif"), ReadAll(dir + "/dithered.tif"));
    EXPECT_EQ(reduce("11", dir + "/never.tif").exitCode, 2);

    const Result batch = RunReal({"batch", in + "/a.tif", "--out", dir + "/batched", "--op",
                                  "Convert to Paletted", "--set", "QorelColorMapping.ditherLevel=0",
                                  "--set", "QorelColorInfo.colorCount=16", "--set",
                                  "QorelColorInfo.conversionCode=32", "--jobs", "1", "-q"});
    ASSERT_EQ(batch.exitCode, 0) << batch.err;
    EXPECT_EQ(ReadAll(dir + "/batched/a.tif"), ReadAll(dir + "/plain.tif"));
}

// A gallery spread over shards: each shard leaves its pictures, the pages
// step writes the pages once, and the folder ends up as one process leaves
// it; the pages step refuses while a shard is missing. The classic pages,
// and the modern ones with further sizes in two formats and sharp
// thumbnails, which the parts carry to the pages step.
TEST_F(CliBatch, ShardedGalleryEqualsOneRun) {
    std::ofstream(dir + "/modern.vhb") << "[Project settings]\nModern pages\n"
                                          "[Thumbnail Cell]\nWidth=20\nHeight=20\n";
    for (const bool modern : {false, true}) {
        SCOPED_TRACE(modern ? "modern" : "classic");
        std::vector<std::string> gallery = {"--dest",   "HTML pages", "--format", "jpeg",
                                            "--thumbs", "40x40",      "-q"};
        if (modern) {
            gallery.insert(gallery.end(), {"--dest-profile", dir + "/modern.vhb", "--format", "png",
                                           "--sizes", "30,60,400"});
        }
        const auto batch = [&](std::vector<std::string> args) {
            args.insert(args.begin(), {"batch", in});
            args.insert(args.end(), gallery.begin(), gallery.end());
            return RunReal(args);
        };
        const std::string one = dir + (modern ? "/one-modern" : "/one"),
                          three = dir + (modern ? "/three-modern" : "/three");
        EXPECT_EQ(batch({"--out", one, "--log", dir + "/one.log"}).exitCode, 1) << "broken.jpg";

        EXPECT_EQ(batch({"--out", three, "--pages-only"}).exitCode, 1) << "no shard has run";
        for (const char* shard : {"2/3", "0/3"}) {
            batch({"--out", three, "--shard", shard, "--log", dir + "/shard" + shard[0] + ".log"});
        }
        const Result early = batch({"--out", three, "--pages-only", "--log", dir + "/pages.log"});
        EXPECT_EQ(early.exitCode, 1);
        EXPECT_NE(early.err.find("shard 1/3 of the gallery has not finished"), std::string::npos)
            << early.err;
        batch({"--out", three, "--shard", "1/3", "--log", dir + "/shard1.log"});
        EXPECT_EQ(batch({"--out", three, "--pages-only", "--log", dir + "/pages.log"}).exitCode, 0);

        const std::vector<std::string> files = Tree(one);
        EXPECT_EQ(files, Tree(three)) << "no part is left behind";
        EXPECT_GT(files.size(), 6u) << "pictures, thumbnails and pages";
        for (const std::string& name : files) {
            if (fs::is_regular_file(one + "/" + name)) {
                EXPECT_EQ(ReadAll(one + "/" + name), ReadAll(three + "/" + name)) << name;
            }
        }
        // Every picture was done once: the shards' logs name each failure once
        // and count the two pictures once.
        std::string logs;
        for (const char* log : {"/shard0.log", "/shard1.log", "/shard2.log"}) {
            logs += ReadAll(dir + log);
        }
        for (const char* name : {"broken.jpg", "readme.txt"}) {
            const size_t first = logs.find(name);
            EXPECT_NE(first, std::string::npos) << name;
            EXPECT_EQ(logs.find(name, first + 1), std::string::npos) << name << " twice";
        }
        int saved = 0;
        for (size_t at = logs.find("successfuly processed images : "); at != std::string::npos;
             at = logs.find("successfuly processed images : ", at + 1)) {
            saved += std::atoi(logs.c_str() + at + 31);
        }
        EXPECT_EQ(saved, 2) << logs;
        if (modern) {
            // 30 and 60 below the pictures' 91 and 92 pixels, in both formats;
            // 400 is the full picture. The pages list them.
            for (const char* name : {"a-30.jpg", "a-60.jpg", "a-30.png", "b-60.png",
                                     "a_thumbnail@2x.jpg", "b_thumbnail@2x.jpg"}) {
                EXPECT_TRUE(fs::is_regular_file(three + "/" + name)) << name;
            }
            EXPECT_FALSE(fs::exists(three + "/a-400.jpg"));
            const std::string page = ReadAll(three + "/index_z1.htm");
            EXPECT_NE(page.find("srcset=\"a-30.jpg 30w, a-60.jpg 60w, a.jpg 91w\""),
                      std::string::npos)
                << page;
            EXPECT_NE(
                ReadAll(three + "/index.htm").find("a_thumbnail.jpg 1x, a_thumbnail%402x.jpg 2x"),
                std::string::npos);
        }
    }
    EXPECT_EQ(RunReal({"batch", in, "--out", dir + "/three", "--pages-only"}).exitCode, 2)
        << "the file destination writes no pages";
    EXPECT_EQ(RunReal({"batch", in, "--out", dir + "/three", "--dest", "HTML pages", "--pages-only",
                       "--shard", "0/2"})
                  .exitCode,
              2);
    // Sizes that are no widths are refused before any picture is read.
    const Result bad =
        RunReal({"batch", in, "--out", dir + "/bad", "--dest", "HTML pages", "--sizes", "480,big"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("--sizes: picture sizes: \"big\" is not a width"), std::string::npos)
        << bad.err;
    EXPECT_EQ(RunReal({"batch", in, "--out", dir + "/bad", "--sizes", "480"}).exitCode, 2);
    EXPECT_FALSE(fs::exists(dir + "/bad/a.jpg"));
}

// The modern gallery over a partly transparent picture (64 x 48, alpha
// running from 0 to 255) with further sizes: in PNG, WebP and AVIF the
// picture, each size, the thumbnail and its 2x file keep the alpha channel,
// and match ImageMagick's Lanczos-3 of the picture at their size (colour
// weighted by alpha, and alpha); in JPEG they are flattened on white.
TEST_F(CliBatch, GalleryKeepsAlphaInEverySize) {
    using pixmill::test::Judge;
    for (const char* tool : {"convert", "dwebp", "avifdec"}) {
        if (!pixmill::test::HasTool(tool)) {
            GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh)";
        }
    }
    const std::string pictures = dir + "/transparent", input = pictures + "/ramp.png";
    fs::create_directories(pictures);
    ASSERT_EQ(pixmill::test::Shell(std::string(pixmill::test::kAlphaRamp) + " PNG32:" + input), 0);
    std::ofstream(dir + "/modern.vhb") << "[Project settings]\nModern pages\n"
                                          "[Thumbnail Cell]\nWidth=20\nHeight=20\n";
    // The files a gallery of ramp.png holds, with their widths.
    const std::pair<const char*, int> files[] = {{"ramp", 64},
                                                 {"ramp-24", 24},
                                                 {"ramp-48", 48},
                                                 {"ramp_thumbnail", 20},
                                                 {"ramp_thumbnail@2x", 40}};
    for (const char* format : {"png", "webp", "avif", "jpeg"}) {
        SCOPED_TRACE(format);
        const std::string out = dir + "/gallery-" + format;
        const Result run =
            RunReal({"batch", pictures, "--out", out, "--dest", "HTML pages", "--dest-profile",
                     dir + "/modern.vhb", "--format", format, "--sizes", "24,48", "--set",
                     "WebP_Parameters.lossless=1", "--set", "AVIF_Parameters.quality=100",
                     "--quality-offset", "100", "-q"});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const bool flat = std::string(format) == "jpeg";
        for (const auto& [name, width] : files) {
            SCOPED_TRACE(name);
            const std::string file = out + "/" + name + "." + (flat ? "jpg" : format);
            const pixmill::test::Rgba got = Judge(file);
            ASSERT_EQ(got.width, width) << file;
            const std::string judged = file + ".judge.png";
            ASSERT_EQ(pixmill::test::Shell("convert " + input + " -filter Lanczos -resize " +
                                           std::to_string(got.width) + "x" +
                                           std::to_string(got.height) + "! PNG32:" + judged),
                      0);
            const pixmill::test::Rgba expected = Judge(judged);
            EXPECT_LE(flat ? pixmill::test::RmseOnWhite(expected, got, false)
                           : pixmill::test::RmseWithAlpha(expected, got),
                      0.01);
        }
    }
}

TEST_F(CliBatch, VersionAndFormatNamesInAnyCase) {
    const Result version = RunReal({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("pixmill-cli ") + PIXMILL_VERSION + "\n");
    for (const char* name : {"WEBP", "webp", "WebP"}) {
        const Result result =
            RunReal({"batch", in + "/a.tif", "--out", dir + "/" + name, "--format", name, "-q"});
        EXPECT_EQ(result.exitCode, 0) << name << ": " << result.err;
        EXPECT_TRUE(fs::exists(dir + "/" + name + "/a.webp")) << name;
    }
}

// Gallery profiles and pages from someone else: files outside the folders
// the gallery may read, names that are paths and sizes past the pixel limit
// are refused with the key or object named; nothing is written outside --out.
TEST_F(CliBatch, HostileProfilesAndPagesAreRefused) {
    std::string demo = ReadAll(PIXMILL_TEST_DATA_DIR "/../../scripts/demo-gallery.vhb");
    ASSERT_FALSE(demo.empty());
    // The classic page set, which reads header and footer files.
    if (const size_t modern = demo.find("Modern pages\n"); modern != std::string::npos) {
        demo.erase(modern, std::string("Modern pages\n").size());
    }
    const auto profile = [&](const std::string& name, const std::string& from,
                             const std::string& to) {
        std::string text = demo;
        const size_t at = text.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        fs::create_directories(dir + "/profiles");
        std::ofstream(dir + "/profiles/" + name, std::ios::binary) << text;
        return dir + "/profiles/" + name;
    };
    std::ofstream(dir + "/secret.txt") << "SECRET";
    const std::vector<std::string> before = Tree(dir);
    const auto gallery = [&](const std::string& vhb, const std::string& out) {
        return RunReal({"batch", in + "/a.tif", "--out", dir + "/" + out, "--dest", "HTML pages",
                        "--dest-profile", vhb, "-q"});
    };

    const Result header =
        gallery(profile("header.vhb", "Header file=\n", "Header file=" + dir + "/secret.txt\n"),
                "header");
    EXPECT_EQ(header.exitCode, 1);
    EXPECT_NE(header.err.find("[Thumbnail page] Header file \"" + dir + "/secret.txt\" lies outside"),
              std::string::npos)
        << header.err;
    const Result escape = gallery(profile("escape.vhb", "Thumbnail name expansion=_Thumb",
                                          "Thumbnail name expansion=/../../escape"),
                                  "escape");
    EXPECT_EQ(escape.exitCode, 1);
    EXPECT_NE(escape.err.find("[Thumbnail Cell] Thumbnail name expansion \"/../../escape\" is "
                              "not a name"),
              std::string::npos)
        << escape.err;
    // Beside the profile is fine: the header is part of the gallery's own files.
    std::ofstream(dir + "/profiles/head.htm") << "<P>Our header</P>";
    EXPECT_EQ(gallery(profile("near.vhb", "Header file=\n", "Header file=" + dir +
                                                                "/profiles/head.htm\n"),
                      "near")
                  .exitCode,
              0);
    EXPECT_NE(ReadAll(dir + "/near/index.htm").find("Our header"), std::string::npos);

    // 100000 x 100000 is brought to the page's 32000 x 32000, which the pixel
    // limit then refuses for the picture, quickly and with the reason.
    const Result huge = gallery(
        profile("huge.vhb", "Width=150\nHeight=150", "Width=100000\nHeight=100000"), "huge");
    EXPECT_EQ(huge.exitCode, 1);
    EXPECT_NE(ReadAll(dir + "/huge/qorel.log").find("32000 x 32000 pixels is more than the limit"),
              std::string::npos)
        << ReadAll(dir + "/huge/qorel.log");

    std::vector<std::string> after = Tree(dir);
    std::erase_if(after, [](const std::string& name) {
        return name.rfind("header", 0) == 0 || name.rfind("escape", 0) == 0 ||
               name.rfind("near", 0) == 0 || name.rfind("huge", 0) == 0 ||
               name.rfind("profiles", 0) == 0 || name == "stdout" || name == "stderr";
    });
    std::erase_if(after, [&](const std::string& name) {
        return std::find(before.begin(), before.end(), name) != before.end();
    });
    EXPECT_EQ(after, std::vector<std::string>{}) << "nothing written outside --out";

    // A page's canvas is a picture: refused by its size before it is made.
    std::ofstream(dir + "/applet.htm")
        << "<HTML><BODY><APPLET CODE=getpara.class WIDTH=20000 HEIGHT=20000>"
           "<PARAM NAME=0t0 VALUE=hi><PARAM NAME=0TCOOR VALUE=\"3,4\"></APPLET></BODY></HTML>";
    for (const char* command : {"render", "convert"}) {
        const Result page =
            std::string(command) == "render"
                ? RunReal({"page", "render", dir + "/applet.htm", "1", dir + "/canvas.png"})
                : RunReal({"page", "convert", dir + "/applet.htm", "1", "--form", "image-map",
                           "--out", dir + "/converted.htm"});
        EXPECT_EQ(page.exitCode, 1) << command;
        EXPECT_NE(page.err.find("object 1 is 20000 x 20000 pixels, more than the limit of "
                                "268435456 pixels"),
                  std::string::npos)
            << command << ": " << page.err;
    }
    EXPECT_FALSE(fs::exists(dir + "/canvas.png") || fs::exists(dir + "/converted.htm"));

    // "%00" in a picture's address would cut the name at that byte and read
    // another file; a picture that cannot be read leaves nothing to render.
    // Both are refused with the reason, and no empty picture is written.
    SaveThroughProgram(dir + "/pic.png", 40, 30);
    const std::pair<const char*, const char*> pictures[] = {
        {"pic.png%00.jpg", "holds a NUL byte"}, {"missing.png", "cannot find the file"}};
    for (const auto& [source, reason] : pictures) {
        std::ofstream(dir + "/img.htm")
            << "<HTML><BODY><IMG SRC=\"" << source << "\" WIDTH=40 HEIGHT=30></BODY></HTML>";
        const Result render = RunReal({"page", "render", dir + "/img.htm", "1", dir + "/img.png"});
        EXPECT_EQ(render.exitCode, 1) << source;
        EXPECT_NE(render.err.find("object 1 has nothing to render: its picture cannot be read"),
                  std::string::npos)
            << render.err;
        EXPECT_NE(render.err.find(reason), std::string::npos) << render.err;
        EXPECT_FALSE(fs::exists(dir + "/img.png")) << source;
        // Flattened into a new page, the picture would be 0 x 0 there.
        const Result convert = RunReal({"page", "convert", dir + "/img.htm", "1", "--form",
                                        "image-map", "--out", dir + "/img-map.htm"});
        EXPECT_EQ(convert.exitCode, 1) << source;
        EXPECT_NE(convert.err.find(reason), std::string::npos) << convert.err;
        EXPECT_FALSE(fs::exists(dir + "/img-map.htm")) << source;
    }
}

// Faults during a batch: workers killed, two Ctrl+C in a row. Every image
// not written is named, the log keeps its last line, and what a killed
// worker was writing is removed by its parent.
TEST_F(Cli, BatchFaultsLeaveACompleteLogAndNoTemporaryFiles) {
    std::vector<std::string> args = {"batch"};
    for (int i = 1; i <= 6; ++i) {
        args.push_back(MakeImage(std::to_string(i) + ".trw"));
    }
    const auto children = [](pid_t pid) {
        std::vector<pid_t> found;
        std::ifstream list("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) +
                           "/children");
        for (pid_t child = 0; list >> child;) {
            found.push_back(child);
        }
        return found;
    };
    std::vector<std::string> killed = args;
    killed.insert(killed.end(), {"--out", dir + "/killed", "--op", "Slow", "--jobs", "2"});
    const Result result = RunWith(PIXMILL_TEST_PLUGIN_DIR "/document", killed, true,
                                  [&](pid_t pid) {
                                      for (const pid_t worker : children(pid)) {
                                          kill(worker, SIGKILL);
                                      }
                                  });
    EXPECT_EQ(result.exitCode, 1);
    const std::string log = ReadAll(dir + "/killed/qorel.log");
    for (int i = 1; i <= 6; ++i) {
        EXPECT_NE(log.find(std::to_string(i) + ".trw save error : "), std::string::npos)
            << i << " is not named: " << log;
    }
    EXPECT_NE(log.find("The number of unprocessed images : 6"), std::string::npos) << log;

    fs::remove(dir + "/slow-started");
    std::vector<std::string> twice = args;
    twice.insert(twice.end(), {"--out", dir + "/twice", "--op", "Slow", "--jobs", "2"});
    const Result broken = RunWith(PIXMILL_TEST_PLUGIN_DIR "/document", twice, true,
                                  [](pid_t pid) {
                                      kill(pid, SIGINT);
                                      usleep(20 * 1000);
                                      kill(pid, SIGINT);
                                  });
    EXPECT_EQ(broken.exitCode, 130);
    const std::string cut = ReadAll(dir + "/twice/qorel.log");
    const std::string last = "Batch processing was interrupted.";
    ASSERT_GE(cut.size(), last.size()) << cut;
    EXPECT_EQ(cut.substr(cut.size() - last.size()), last) << cut;

    // A writer killed mid-file: its parent removes the temporary file.
    const int journal = open(dir.c_str(), O_TMPFILE | O_RDWR | O_APPEND, 0600);
    ASSERT_GE(journal, 0);
    const pid_t writer = fork();
    if (writer == 0) {
        pixmill::temporary_files::JournalTo(journal);
        pixmill::AtomicFile output(dir + "/half.png");
        kill(getpid(), SIGKILL);
    }
    waitpid(writer, nullptr, 0);
    const auto leftovers = [&] {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(dir)) {
            count += entry.path().filename().string().find(".pixmill-") != std::string::npos;
        }
        return count;
    };
    EXPECT_EQ(leftovers(), 1) << "the killed writer's file";
    EXPECT_EQ(pixmill::temporary_files::RemoveJournaled(journal), 1);
    EXPECT_EQ(leftovers(), 0);
    close(journal);
}
