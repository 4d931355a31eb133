// Every reader of the runnable tree against files that lie about their size
// or are damaged: the host's pixel limit refuses large pictures before
// anything is allocated for them, a header commits no memory for pixels,
// declared sizes up to 65535 x 65535 end cleanly under a memory limit, and a
// damaged file's picture is kept with a warning or refused, as the host says.
#include "host/plugin_manager.h"
#include "host/streams.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define PIXMILL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PIXMILL_ASAN 1
#endif
#endif

using namespace pixmill;
using namespace pixmill::test;

namespace {

using FileBytes = std::vector<uint8_t>;

void Put16(FileBytes& file, size_t at, uint16_t value) {
    std::memcpy(file.data() + at, &value, 2);
}
void Put32(FileBytes& file, size_t at, uint32_t value) {
    std::memcpy(file.data() + at, &value, 4);
}

// A little-endian uncompressed grey or RGB TIFF declaring width x height
// with one strip of only 64 bytes.
FileBytes TiffDeclaring(uint32_t width, uint32_t height, bool rgb) {
    constexpr uint16_t kEntries = 9;
    const size_t ifd = 8, bitsAt = ifd + 2 + kEntries * 12 + 4, dataAt = bitsAt + 8;
    FileBytes file(dataAt + 64, 0x80);
    file[0] = file[1] = 'I';
    Put16(file, 2, 42);
    Put32(file, 4, static_cast<uint32_t>(ifd));
    Put16(file, ifd, kEntries);
    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    };
    const Entry entries[kEntries] = {
        {256, 4, 1, width},
        {257, 4, 1, height},
        {258, 3, rgb ? 3u : 1u, rgb ? static_cast<uint32_t>(bitsAt) : 8u},
        {259, 3, 1, 1},
        {262, 3, 1, rgb ? 2u : 1u},
        {273, 4, 1, static_cast<uint32_t>(dataAt)},
        {277, 3, 1, rgb ? 3u : 1u},
        {278, 4, 1, height},
        {279, 4, 1, 64},
    };
    for (uint16_t i = 0; i < kEntries; ++i) {
        const size_t at = ifd + 2 + i * 12;
        Put16(file, at, entries[i].tag);
        Put16(file, at + 2, entries[i].type);
        Put32(file, at + 4, entries[i].count);
        Put32(file, at + 8, entries[i].value);
    }
    Put32(file, ifd + 2 + kEntries * 12, 0);
    for (int i = 0; i < 3; ++i) {
        Put16(file, bitsAt + 2 * i, 8);
    }
    return file;
}

class HostileInput : public ::testing::Test {
  protected:
    void SetUp() override {
        manager = std::make_unique<PluginManager>(host.get());
        manager->LoadFormats(PIXMILL_BIN_DIR "/Formats/");
        ASSERT_GT(manager->FormatCount(), 0);
    }
    void TearDown() override { manager.reset(); }

    CFormatPlugin* Format(const char* name) {
        for (int i = 0; i < manager->FormatCount(); ++i) {
            if (std::strcmp(manager->FormatAt(i)->GetName(false), name) == 0) {
                return manager->FormatAt(i);
            }
        }
        return nullptr;
    }

    // A small picture written by the format itself.
    FileBytes Written(CFormatPlugin* format, int width, int height) {
        CVImage image(host.get());
        image.Create(width, height, 24, 0, nullptr);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                SetPixelAt(image, x, y, static_cast<uint32_t>(x * 0x030507 + y * 0x110000));
            }
        }
        CFormatCodec* codec = format->CreateCodec();
        MemoryStream stream(host.get(), 4096, 4096);
        codec->BeginWrite(&image, nullptr);
        codec->Write(&stream, nullptr, nullptr);
        codec->FreeWorkBuffer();
        codec->Release();
        const size_t size = static_cast<size_t>(stream.Seek(0, CVStream::FromEnd));
        FileBytes bytes(size);
        stream.Seek(0, CVStream::FromStart);
        stream.Read(bytes.data(), size);
        return bytes;
    }

    // A file of the format declaring width x height (not holding the data),
    // or nothing for a format this test cannot make such a file for.
    FileBytes Declaring(const std::string& format, uint32_t width, uint32_t height) {
        if (format == "TIFF") {
            return TiffDeclaring(width, height, (width + height) % 2 == 0);
        }
        if (format == "JPEG") {
            FileBytes file = Written(Format("JPEG"), 16, 16);
            for (size_t i = 0; i + 9 < file.size(); ++i) {
                if (file[i] == 0xFF && (file[i + 1] == 0xC0 || file[i + 1] == 0xC2)) {
                    file[i + 5] = static_cast<uint8_t>(height >> 8);
                    file[i + 6] = static_cast<uint8_t>(height);
                    file[i + 7] = static_cast<uint8_t>(width >> 8);
                    file[i + 8] = static_cast<uint8_t>(width);
                    return file;
                }
            }
        }
        return {};
    }

    // Reads the whole picture; the image error's code, or -1 for success.
    int Read(CFormatPlugin* format, const FileBytes& file, CVImage& image,
             std::string* message = nullptr, bool headerOnly = false) {
        MemoryStream stream(host.get(), file.size() + 1, 4096);
        stream.Write(file.data(), file.size());
        stream.Seek(0, CVStream::FromStart);
        CFormatCodec* codec = format->CreateCodec();
        try {
            codec->ReadHeader(&image, &stream, nullptr);
            if (!headerOnly) {
                codec->ReadPixels(nullptr);
            }
            codec->Release();
            return -1;
        } catch (const CVImageError& error) {
            codec->Release();
            if (message != nullptr) {
                *message = error.Message();
            }
            return error.Code();
        }
    }

    TestHost host;
    std::unique_ptr<PluginManager> manager;
};

// Pages of memory this process has resident.
long ResidentPages() {
    long size = 0, resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &size, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return resident;
}

} // namespace

TEST_F(HostileInput, PicturesAboveThePixelLimitAreRefusedNamingTheLimit) {
    for (const char* name : {"JPEG", "TIFF"}) {
        CFormatPlugin* format = Format(name);
        ASSERT_NE(format, nullptr) << name;
        // The default limit: 2^28 pixels.
        CVImage image(host.get());
        std::string message;
        EXPECT_EQ(Read(format, Declaring(name, 16385, 16384), image, &message, true),
                  CVImageError::DimensionsTooLarge)
            << name;
        EXPECT_NE(message.find("16385 x 16384"), std::string::npos) << message;
        EXPECT_NE(message.find("268435456"), std::string::npos) << message;
        EXPECT_EQ(image.bits, nullptr) << name << ": nothing allocated for a refused picture";

        // A limit of the host's own: one pixel more is refused, the limit
        // itself is read.
        host->SetMaxImagePixels(40 * 25);
        const FileBytes small = Written(format, 40, 25);
        const FileBytes tall = Written(format, 40, 26);
        CVImage fits(host.get()), over(host.get());
        EXPECT_EQ(Read(format, small, fits), -1) << name;
        EXPECT_EQ(fits.Width(), 40);
        EXPECT_EQ(Read(format, tall, over, &message), CVImageError::DimensionsTooLarge) << name;
        EXPECT_NE(message.find("limit of 1000 pixels"), std::string::npos) << message;
        host->SetMaxImagePixels(CPluginHost::kDefaultMaxImagePixels);
    }
}

TEST_F(HostileInput, AHeaderCommitsNoMemoryForPixels) {
    const long pageSize = sysconf(_SC_PAGESIZE);
    for (const char* name : {"JPEG", "TIFF"}) {
        // 16000 x 16000 in 24 bits: 768 MB if the rows were touched.
        const FileBytes file = Declaring(name, 16000, 16000);
        CVImage image(host.get());
        const long before = ResidentPages();
        ASSERT_EQ(Read(Format(name), file, image, nullptr, true), -1) << name;
        const long grown = (ResidentPages() - before) * pageSize;
        EXPECT_LT(grown, 64L << 20) << name << ": the header read touched the pixel rows";
        EXPECT_EQ(image.Width(), 16000);
    }
}

// In a child process, so that the address-space limit stays there.
TEST_F(HostileInput, DeclaredSizesEndCleanlyUnderAMemoryLimit) {
#ifdef PIXMILL_ASAN
    GTEST_SKIP() << "the address sanitizer reserves terabytes of shadow address space, so no "
                    "address-space limit can be set under it";
#endif
    struct Size {
        uint32_t width, height;
    };
    const Size sizes[] = {{65535, 65535}, {65535, 1},     {1, 65535},  {65535, 4097},
                          {20000, 20000}, {16385, 16384}, {3000, 2000}};
    std::vector<std::pair<std::string, FileBytes>> files;
    for (const char* name : {"JPEG", "TIFF"}) {
        for (const Size& size : sizes) {
            files.emplace_back(name, Declaring(name, size.width, size.height));
        }
    }
    fflush(nullptr);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{1500L << 20, 1500L << 20};
        setrlimit(RLIMIT_AS, &limit);
        int status = 0;
        // With the default limit and with none to speak of: then the memory
        // service itself must fail cleanly.
        for (const uint64_t pixelLimit : {CPluginHost::kDefaultMaxImagePixels, uint64_t{1} << 33}) {
            host->SetMaxImagePixels(pixelLimit);
            for (const auto& [name, file] : files) {
                CVImage image(host.get());
                try {
                    Read(Format(name.c_str()), file, image);
                } catch (const CQorelError& error) {
                    // Memory and file errors are clean ends too.
                } catch (...) {
                    std::fprintf(stderr, "%s: not an error of the program\n", name.c_str());
                    status = 3;
                }
            }
        }
        _exit(status);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(HostileInput, DamagedJpegIsKeptWithAWarningOrRefused) {
    CFormatPlugin* jpeg = Format("JPEG");
    ASSERT_NE(jpeg, nullptr);
    const FileBytes good = Written(jpeg, 64, 64);
    const FileBytes truncated(good.begin(), good.begin() + static_cast<long>(good.size() * 6 / 10));
    FileBytes extraneous = good; // junk before the start-of-scan marker
    for (size_t i = 0; i + 1 < extraneous.size(); ++i) {
        if (extraneous[i] == 0xFF && extraneous[i + 1] == 0xDA) {
            extraneous.insert(extraneous.begin() + static_cast<long>(i), {0x12, 0x34, 0x56});
            break;
        }
    }

    CVImage image(host.get());
    EXPECT_EQ(Read(jpeg, good, image), -1);
    EXPECT_TRUE(host->TakeDamageReports().empty());
    EXPECT_TRUE(host.ui.messages.empty());

    struct Case {
        const FileBytes* file;
        const char* words;
    };
    for (const Case& c : {Case{&truncated, "the file ends before the JPEG picture does"},
                          Case{&extraneous, "3 stray bytes stand before a marker"}}) {
        host.ui.messages.clear();
        host->SetDamagePolicy(HostServices::DamagePolicy::Keep);
        CVImage kept(host.get());
        EXPECT_EQ(Read(jpeg, *c.file, kept), -1) << c.words;
        EXPECT_EQ(kept.Width(), 64);
        const auto reports = host->TakeDamageReports();
        ASSERT_EQ(reports.size(), 1u) << c.words;
        EXPECT_NE(reports[0].find(c.words), std::string::npos) << reports[0];
        ASSERT_EQ(host.ui.messages.size(), 1u);
        EXPECT_NE(host.ui.messages[0].text.find(c.words), std::string::npos);

        host->SetDamagePolicy(HostServices::DamagePolicy::Refuse);
        CVImage refused(host.get());
        std::string message;
        EXPECT_EQ(Read(jpeg, *c.file, refused, &message), CVImageError::ReadError) << c.words;
        EXPECT_NE(message.find(c.words), std::string::npos) << message;
        EXPECT_EQ(host->TakeDamageReports().size(), 1u);
    }
}

// A full disk says so in the same words from every writer.
TEST_F(HostileInput, AFullDiskIsTheSameMessageFromEveryWriter) {
    int writers = 0;
    for (int i = 0; i < manager->FormatCount(); ++i) {
        CFormatPlugin* format = manager->FormatAt(i);
        if (!(format->GetCapabilities() & CapCanSave)) {
            continue;
        }
        CVImage image(host.get());
        image.Create(300, 200, 24, 0, nullptr);
        std::mt19937 random(5);
        FillRandom(image, random);
        if (!format->CanSave(&image)) {
            continue; // a palette-only writer (GIF) never gets a 24-bit picture
        }
        ++writers;
        CFormatCodec* codec = format->CreateCodec();
        try {
            FileStream full("/dev/full", FileStream::ForWriting);
            codec->BeginWrite(&image, nullptr);
            codec->Write(&full, nullptr, nullptr);
            full.Close();
            ADD_FAILURE() << format->GetName(false) << ": wrote to a full disk";
        } catch (const CQorelError& error) {
            EXPECT_STREQ(error.Message(), "The disk is full.") << format->GetName(false);
        }
        codec->FreeWorkBuffer();
        codec->Release();
    }
    EXPECT_GE(writers, 2);
}
