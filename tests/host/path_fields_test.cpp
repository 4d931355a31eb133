// Path helpers and the file-name and directory field checks.
#include "host/path_fields.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace pixmill;
namespace fs = std::filesystem;

namespace {

struct ScratchFolder {
    ScratchFolder()
        : path(fs::path(testing::TempDir()) / ("pixmill-path-fields-" + std::to_string(getpid()))) {
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~ScratchFolder() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return (path / name).string(); }
    fs::path path;
};

// Answers the creation question and remembers it.
struct Asker {
    explicit Asker(bool answer) : answer(answer) {}
    bool answer;
    std::vector<std::string> questions;
    std::function<bool(const std::string&)> Fn() {
        return [this](const std::string& q) {
            questions.push_back(q);
            return answer;
        };
    }
};

} // namespace

TEST(PathFields, FileNameField) {
    EXPECT_EQ(CheckFileNameField("").message, "This field can't be empty");
    EXPECT_EQ(CheckFileNameField(" \t ").message, "This field can't be empty");
    const FieldCheck trimmed = CheckFileNameField("\t photo.jpg  ");
    EXPECT_TRUE(trimmed.accepted);
    EXPECT_EQ(trimmed.value, "photo.jpg");
    EXPECT_TRUE(CheckFileNameField("what?*.jpg").accepted);

    for (const char* bad : {"a:b", "a\tb", "a/b", "a\\b", "a<b", "a>b", "a|b", "a\"b", "a\x01"}) {
        const FieldCheck check = CheckFileNameField(bad);
        EXPECT_FALSE(check.accepted) << bad;
        EXPECT_EQ(check.message, "File name contains invalid characters") << bad;
    }
    EXPECT_TRUE(CheckFileNameField(std::string(250, 'n')).accepted);
    const FieldCheck tooLong = CheckFileNameField(std::string(251, 'n'));
    EXPECT_FALSE(tooLong.accepted);
    EXPECT_EQ(tooLong.message, "File name is too long");
    EXPECT_TRUE(CheckFileNameField("  " + std::string(250, 'n') + "  ").accepted)
        << "the length counts after trimming";
}

TEST(PathFields, PathParts) {
    const std::string path = "/srv/a.b/photo.tar.gz";
    EXPECT_EQ(DirectoryOf(path), "/srv/a.b/");
    EXPECT_EQ(NameOf(path), "photo.tar");
    EXPECT_EQ(ExtensionOf(path), ".gz");
    EXPECT_EQ(NameWithExtension(path), "photo.tar.gz");
    EXPECT_EQ(NameOf("/srv/a.b/README"), "README");
    EXPECT_EQ(ExtensionOf("/srv/a.b/README"), "");
    EXPECT_EQ(DirectoryOf("README"), "");

    EXPECT_TRUE(IsWebImageName("/x/Photo.JPEG"));
    EXPECT_TRUE(IsWebImageName("a.gif"));
    EXPECT_TRUE(IsWebImageName("a.Png"));
    EXPECT_FALSE(IsWebImageName("a.bmp"));
    EXPECT_FALSE(IsWebImageName("a.jpg.bmp"));
    EXPECT_FALSE(IsWebImageName("/pics.jpg/readme"));

    std::string dir = "/tmp/out  ";
    AddTrailingSlash(dir);
    EXPECT_EQ(dir, "/tmp/out/");
    AddTrailingSlash(dir);
    EXPECT_EQ(dir, "/tmp/out/");
    std::string windows = "c:\\out\\";
    AddTrailingSlash(windows);
    EXPECT_EQ(windows, "c:\\out\\");

    EXPECT_TRUE(isValidDriveInPath("/home"));
    EXPECT_TRUE(isValidDriveInPath("relative/dir"));
    EXPECT_FALSE(isValidDriveInPath("  q:\\out"));
    EXPECT_FALSE(DriveExists('C'));
}

TEST(PathFields, ExistenceAndCreation) {
    ScratchFolder scratch;
    const std::string file = scratch / "file.txt";
    std::ofstream(file) << "x";
    EXPECT_TRUE(dirExists(scratch.path.c_str()));
    EXPECT_FALSE(dirExists(file.c_str()));
    EXPECT_FALSE(dirExists(nullptr));
    EXPECT_FALSE(dirExists(""));
    EXPECT_TRUE(FileExists(file.c_str()));
    EXPECT_FALSE(FileExists(scratch.path.c_str()));
    EXPECT_FALSE(FileExists(nullptr));
    EXPECT_FALSE(FileExists((scratch / "missing").c_str()));

    const std::string deep = scratch / "one/two//three/";
    EXPECT_TRUE(CreatePath(deep));
    EXPECT_TRUE(dirExists((scratch / "one/two/three").c_str()));
    EXPECT_FALSE(CreatePath(deep)) << "an existing directory";
    EXPECT_FALSE(CreatePath(""));
    EXPECT_FALSE(CreatePath("q:/pixmill-test")) << "no such drive";
    EXPECT_FALSE(CreatePath(file + "/below")) << "a level is a file";
}

TEST(PathFields, DirectoryField) {
    ScratchFolder scratch;
    Asker yes(true);
    Asker no(false);

    EXPECT_TRUE(CheckDirectoryField("", no.Fn()).accepted);
    const FieldCheck blank = CheckDirectoryField("   ", no.Fn());
    EXPECT_TRUE(blank.accepted);
    EXPECT_EQ(blank.value, "") << "a blank field is no directory, not the root";

    const FieldCheck existing = CheckDirectoryField(scratch.path.string() + " ", no.Fn());
    EXPECT_TRUE(existing.accepted);
    EXPECT_EQ(existing.value, scratch / "");
    EXPECT_TRUE(no.questions.empty());

    const FieldCheck noDrive = CheckDirectoryField("q:/out", yes.Fn());
    EXPECT_FALSE(noDrive.accepted);
    EXPECT_EQ(noDrive.message, "Path\n q:/out/ \nisn't valid");
    EXPECT_TRUE(yes.questions.empty()) << "no question for an invalid path";

    const std::string missing = scratch / "new/level";
    const FieldCheck refused = CheckDirectoryField(missing, no.Fn());
    EXPECT_FALSE(refused.accepted);
    EXPECT_EQ(refused.message, "You should specify directory or leave this field empty");
    ASSERT_EQ(no.questions.size(), 1u);
    EXPECT_EQ(no.questions[0],
              "Directory:\n " + missing + "/\n doesn't exist.\n Do you want to create it?");
    EXPECT_FALSE(fs::exists(missing));

    const FieldCheck created = CheckDirectoryField(missing, yes.Fn());
    EXPECT_TRUE(created.accepted);
    EXPECT_EQ(created.value, missing + "/");
    EXPECT_TRUE(dirExists(missing.c_str()));

    const std::string file = scratch / "file.txt";
    std::ofstream(file) << "x";
    const FieldCheck failed = CheckDirectoryField(file + "/sub", yes.Fn());
    EXPECT_FALSE(failed.accepted);
    EXPECT_EQ(failed.message, "Fail to create directory " + file + "/sub/");
}
