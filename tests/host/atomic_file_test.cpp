// Files written whole or not at all: a replaced file is flushed to the disk
// before the rename and keeps its permissions; a new name is not flushed;
// an uncommitted file leaves nothing behind.
#include "host/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace fs = std::filesystem;
using pixmill::AtomicFile;

namespace {
std::string Contents(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}
} // namespace

TEST(AtomicFile, FlushesOnlyWhenReplacingAndLeavesNothingUncommitted) {
    char pattern[] = "/tmp/pixmill-atomic-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string target = dir + "/picture.jpg";
    {
        AtomicFile file(target);
        std::ofstream(file.Temporary()) << "first";
        file.Commit();
        EXPECT_FALSE(file.Flushed()) << "a new name has nothing to lose";
    }
    EXPECT_EQ(Contents(target), "first");
    chmod(target.c_str(), 0600);
    {
        AtomicFile file(target);
        std::ofstream(file.Temporary()) << "second";
        file.Commit();
        EXPECT_TRUE(file.Flushed());
    }
    EXPECT_EQ(Contents(target), "second");
    struct stat info {};
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    {
        AtomicFile file(target);
        std::ofstream(file.Temporary()) << "never";
    }
    EXPECT_EQ(Contents(target), "second");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
    fs::remove_all(dir);
}
