// Side files and the regular-file guard, on real files, a FIFO and devices:
// every refusal comes at once (a FIFO with no writer must not wait).
#include "pixmill/side_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;
using pixmill::CVFileError;

namespace {

std::string Refusal(const std::string& path, size_t limit = pixmill::kSideFileLimit) {
    try {
        pixmill::ReadSideFile(path, "a profile", limit);
    } catch (CVFileError& error) {
        return error.Message();
    }
    return "";
}

} // namespace

TEST(SideFile, ReadsSmallTextsAndRefusesEverythingElse) {
    char pattern[] = "/tmp/pixmill-side-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string text = dir + "/a.prf";
    std::ofstream(text, std::ios::binary) << "[Formats]\r\nJPEG\r\n\tindented\f\n";
    EXPECT_EQ(pixmill::ReadSideFile(text, "a profile"), "[Formats]\r\nJPEG\r\n\tindented\f\n");
    EXPECT_EQ(Refusal(text, 10), text + ": larger than 0 MB; a profile is a small text file");
    ASSERT_EQ(mkfifo((dir + "/pipe").c_str(), 0600), 0);
    EXPECT_EQ(Refusal(dir + "/pipe"), dir + "/pipe: a profile must be a regular file, not a FIFO");
    EXPECT_EQ(Refusal("/dev/zero"), "/dev/zero: a profile must be a regular file, not a device");
    EXPECT_EQ(Refusal(dir), dir + ": a profile must be a regular file, not a folder");
    std::ofstream(dir + "/nul", std::ios::binary) << std::string("ab\0cd", 5);
    std::ofstream(dir + "/controls", std::ios::binary) << std::string(50, 'a') + "\x01";
    for (const char* name : {"/nul", "/controls"}) {
        EXPECT_NE(Refusal(dir + name).find("a binary file, not text"), std::string::npos) << name;
    }
    EXPECT_NE(Refusal(dir + "/missing").find("missing"), std::string::npos);
    // The guard alone leaves the descriptor blocking for the reader.
    const int fd = pixmill::OpenRegularFile(text, "a profile");
    EXPECT_EQ(fcntl(fd, F_GETFL) & O_NONBLOCK, 0);
    close(fd);
    fs::remove_all(dir);
}
