#include "host/streams.h"
#include "pixmill/errors.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

using namespace pixmill;
using namespace pixmill::test;
namespace fs = std::filesystem;

TEST(FileStream, WritesReadsAndSeeks) {
    const std::string path = fs::temp_directory_path() / "pixmill-stream-test.bin";
    {
        FileStream out(path, FileStream::ForWriting);
        EXPECT_EQ(out.Write("abcdef", 6), 6u);
        EXPECT_EQ(out.Seek(2, CVStream::FromStart), 2);
        out.Write("X", 1);
        EXPECT_EQ(out.Seek(0, CVStream::FromEnd), 6);
    }
    FileStream in(path, FileStream::ForReading);
    char buffer[16] = {};
    EXPECT_EQ(in.Read(buffer, 16), 6u) << "reads stop at the end";
    EXPECT_STREQ(buffer, "abXdef");
    EXPECT_EQ(in.Seek(-2, CVStream::FromCurrent), 4);
    EXPECT_EQ(in.Read(buffer, 1), 1u);
    EXPECT_EQ(buffer[0], 'e');
    fs::remove(path);
}

TEST(FileStream, FailuresAreFileErrorsWithTheName) {
    try {
        FileStream in("/nonexistent-pixmill/x.tif", FileStream::ForReading);
        FAIL();
    } catch (CVFileError& e) {
        EXPECT_EQ(e.Code(), 3 == e.Code() ? 3 : 2);
        EXPECT_NE(std::string(e.Report(false)).find("/nonexistent-pixmill/x.tif"),
                  std::string::npos);
    }
    try {
        FileStream in("/tmp/definitely-missing-pixmill.tif", FileStream::ForReading);
        FAIL();
    } catch (CVFileError& e) {
        EXPECT_STREQ(e.Report(false),
                     "The system cannot find the file /tmp/definitely-missing-pixmill.tif");
    }
    // Only regular files are read: a device or FIFO would never end or
    // would wait for a writer.
    for (const char* device : {"/dev/null", "/dev/zero"}) {
        try {
            FileStream in(device, FileStream::ForReading);
            FAIL() << device;
        } catch (CVFileError& e) {
            EXPECT_EQ(std::string(e.Report(false)), std::string(device) +
                                                        ": a file to read must be a regular "
                                                        "file, not a device");
        }
    }
    const std::string name = fs::temp_directory_path() / ("pixmill-ro-" + std::to_string(getpid()));
    std::ofstream(name) << "x";
    FileStream in(name, FileStream::ForReading);
    EXPECT_THROW(in.Write("x", 1), CVFileError);
    fs::remove(name);
}

TEST(FileStream, FullDiskIsReported) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    FileStream out("/dev/full", FileStream::ForWriting);
    try {
        out.Write("x", 1);
        FAIL();
    } catch (CVFileError& e) {
        EXPECT_STREQ(e.Report(false), "The disk is full.");
    }
}

TEST(MemoryStream, GrowsByTheStepAndCopiesInOneWrite) {
    TestHost host;
    {
        MemoryStream stream(host.get(), 10, 100);
        stream.Write("0123456789", 10);
        EXPECT_EQ(stream.Capacity(), 10u);
        stream.Write("a", 1);
        EXPECT_EQ(stream.Capacity(), 110u) << "grows by the step when that is larger";
        std::string big(500, 'z');
        stream.Write(big.data(), big.size());
        EXPECT_EQ(stream.Capacity(), 511u) << "or by the missing bytes";
        EXPECT_EQ(stream.Seek(0, CVStream::FromStart), 0);
        char buffer[4] = {};
        EXPECT_EQ(stream.Read(buffer, 3), 3u);
        EXPECT_STREQ(buffer, "012");
        EXPECT_EQ(stream.Seek(600, CVStream::FromStart), 600);
        EXPECT_EQ(stream.Length(), 600u);
        EXPECT_EQ(stream.Data()[550], 0) << "a gap reads as zeros";
        stream.Seek(598, CVStream::FromStart);
        EXPECT_EQ(stream.Read(buffer, 4), 2u) << "reads stop at the length";

        MemoryStream copy(host.get(), 1, 1);
        stream.CopyTo(copy);
        EXPECT_EQ(copy.Length(), 600u);
        EXPECT_EQ(copy.Data()[11], 'z');
    }
    EXPECT_EQ(host->Memory().LiveOrdinaryBlocks(), 0u);
}
