#include "pixmill/errors.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

using namespace pixmill;
using namespace pixmill::test;

TEST(Errors, ImageErrorMessages) {
    const char* expected[] = {"Image file write error",
                              "Image file read error",
                              "Mismatched image format",
                              "Unsupported image format",
                              "Out of memory",
                              "File open error",
                              "Image dimensions too large",
                              "User break"};
    for (int code = 0; code < 8; ++code) {
        CVImageError error(code);
        EXPECT_STREQ(error.Report(false), expected[code]);
        EXPECT_EQ(error.Code(), code);
    }
}

TEST(Errors, MemoryErrorMessages) {
    EXPECT_STREQ(CVMemoryError::Allocation(1234).Report(false),
                 "Insufficient memory for allocation 1234 bytes");
    int anchor = 0;
    char expected[128];
    std::snprintf(expected, sizeof expected,
                  "Insufficient memory for reallocation %p memory for 77 bytes",
                  static_cast<void*>(&anchor));
    EXPECT_STREQ(CVMemoryError::Reallocation(&anchor, 77).Report(false), expected);
    std::snprintf(expected, sizeof expected, "Can't share memory block %p",
                  static_cast<void*>(&anchor));
    EXPECT_STREQ(CVMemoryError::CantShare(&anchor).Report(false), expected);
}

TEST(Errors, FileErrorMessagesFromErrno) {
    EXPECT_STREQ(CVFileError::FromErrno(ENOENT, "a.tif").Report(false),
                 "The system cannot find the file a.tif");
    EXPECT_STREQ(CVFileError::FromErrno(ENOTDIR, "x/y").Report(false),
                 "The system cannot find the path x/y");
    EXPECT_STREQ(CVFileError::FromErrno(EACCES, "b").Report(false), "Access to b is denied.");
    EXPECT_STREQ(CVFileError::FromErrno(EINTR, "p").Report(false),
                 "p: the work was interrupted before the file could be opened, read or written");
    EXPECT_STREQ(CVFileError::FromErrno(ENAMETOOLONG, "n").Report(false),
                 "The name n is too long (a file name may have at most 255 bytes, a path 4095).");
    EXPECT_STREQ(CVFileError::FromErrno(EPERM, "b").Report(false), "Access to b is denied.");
    EXPECT_STREQ(CVFileError::FromErrno(EEXIST, "c").Report(false),
                 "Cannot create a file c when that file already exists.");
    EXPECT_STREQ(CVFileError::FromErrno(EROFS, "d").Report(false),
                 "The file d is write protected.");
    EXPECT_STREQ(CVFileError::FromErrno(ENOSPC, "e").Report(false), "The disk is full.");
    EXPECT_STREQ(CVFileError::FromErrno(EBUSY, "f").Report(false),
                 "The file f is being used by another process.");
    EXPECT_EQ(CVFileError::FromErrno(ENOSPC, "e").Code(), 39);
    EXPECT_STREQ(CVFileError(38, "g").Report(false), "Reached the end of the file g.");
    EXPECT_STREQ(CVFileError(29, "h").Report(false), "The system cannot write to the h.");
    EXPECT_STRNE(CVFileError::FromErrno(EXDEV, "z").Report(false), "");
}

TEST(Errors, ReportShowsThroughTheUserInterfaceWithTheCaption) {
    TestHost host; // installs the scripted interface
    CVImageError(7).Report(true);
    CVMemoryError::Allocation(5).Report(true);
    CVFileError(2, "q").Report(true);
    CQorelError("plain").Report(true); // the base class only returns its text
    ASSERT_EQ(host.ui.messages.size(), 3u);
    EXPECT_EQ(host.ui.messages[0].caption, "Image error");
    EXPECT_EQ(host.ui.messages[0].text, "User break");
    EXPECT_EQ(host.ui.messages[1].caption, "Memory Error");
    EXPECT_EQ(host.ui.messages[2].caption, "File error");
}

TEST(Errors, ThrownByValueCaughtAsTheBase) {
    TestHost host;
    try {
        host->RaiseImageError(4);
    } catch (CQorelError& e) {
        EXPECT_STREQ(e.Report(false), "Out of memory");
        EXPECT_NE(dynamic_cast<CVImageError*>(&e), nullptr);
        return;
    }
    FAIL() << "RaiseImageError returned";
}

TEST(Errors, LongFileNamesAreTruncatedNotOverflowed) {
    const std::string name(5000, 'n');
    CVFileError error(2, name.c_str());
    EXPECT_EQ(std::strlen(error.Report(false)), CQorelError::kMessageSize - 1);
    EXPECT_EQ(error.FileName(), name);
}
