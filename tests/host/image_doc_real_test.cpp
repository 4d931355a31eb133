// The document with the program's own format and colour plug-ins: the
// storable conversions a JPEG save needs, and the TIFF template strings.
#include "host/doc_template.h"
#include "host/image_doc.h"
#include "host/plugin_manager.h"
#include "pixmill/format_plugin.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

using namespace pixmill;
using namespace pixmill::test;
namespace fs = std::filesystem;

namespace {

class RealPlugins : public ::testing::Test {
  protected:
    void SetUp() override {
        plugins = std::make_unique<PluginManager>(host.get());
        plugins->LoadFormats(PIXMILL_BIN_DIR "/Formats/");
        plugins->LoadProcessing(PIXMILL_BIN_DIR "/Processing/");
        ASSERT_NE(plugins->FindFormatByExtension("a.jpg"), nullptr);
        ASSERT_NE(plugins->FindFormatByExtension("a.tif"), nullptr);
        ASSERT_TRUE(plugins->HasChangeColors());
        char pattern[] = "/tmp/pixmill-realdoc-XXXXXX";
        dir = mkdtemp(pattern);
    }
    void TearDown() override {
        plugins.reset();
        fs::remove_all(dir);
    }
    std::unique_ptr<ImageDoc> DocumentWith(int bitCount, int colors) {
        CVImage image(host.get());
        image.Create(24, 16, bitCount, colors, nullptr);
        for (int i = 0; i < image.paletteCount; ++i) {
            image.palette[i] = RGBQUAD{static_cast<uint8_t>(i * 15), static_cast<uint8_t>(i * 7),
                                       static_cast<uint8_t>(255 - i * 9), 0};
        }
        FillRandom(image, random);
        auto doc = std::make_unique<ImageDoc>(*host.host, *plugins);
        doc->TakeImage(image, plugins->FindFormatByExtension("a.tif"));
        return doc;
    }
    TestHost host;
    std::unique_ptr<PluginManager> plugins;
    std::mt19937 random{5};
    std::string dir;
};

} // namespace

TEST_F(RealPlugins, JpegSavesConvertWhatJpegCannotStore) {
    struct Case {
        int bitCount, colors, expectedBits;
        bool blackAndWhite;
    };
    // Two colours stay colours; only black and white becomes grey.
    for (const Case c : {Case{24, 0, 24, false}, Case{4, 16, 24, false}, Case{1, 2, 24, false},
                         Case{1, 2, 8, true}}) {
        auto doc = DocumentWith(c.bitCount, c.colors);
        if (c.blackAndWhite) {
            doc->Image().palette[0] = RGBQUAD{0, 0, 0, 0};
            doc->Image().palette[1] = RGBQUAD{255, 255, 255, 0};
        }
        const std::string path = dir + "/c" + std::to_string(c.bitCount) + ".jpg";
        ASSERT_TRUE(doc->OnSaveDocument(path)) << doc->LastError();
        EXPECT_EQ(doc->Image().BitCount(), c.bitCount) << "the document keeps its picture";
        auto reopened = std::make_unique<ImageDoc>(*host.host, *plugins);
        ASSERT_TRUE(reopened->OnOpenDocument(path)) << reopened->LastError();
        EXPECT_EQ(reopened->Image().Width(), 24);
        EXPECT_EQ(reopened->Image().BitCount(), c.expectedBits) << c.bitCount << "-bit source";
        if (c.expectedBits == 8) {
            EXPECT_TRUE(reopened->Image().IsGrayRamp());
        }
    }
}

TEST_F(RealPlugins, TiffKeepsEveryKindAndNamesItsTemplate) {
    for (int bits : {1, 4, 8, 24}) {
        auto doc = DocumentWith(bits, 0);
        const std::string path = dir + "/k" + std::to_string(bits) + ".tif";
        ASSERT_TRUE(doc->OnSaveDocument(path)) << doc->LastError();
        auto reopened = std::make_unique<ImageDoc>(*host.host, *plugins);
        ASSERT_TRUE(reopened->OnOpenDocument(path)) << reopened->LastError();
        std::string why;
        EXPECT_TRUE(SamePixels(reopened->Image(), doc->Image(), &why)) << bits << ": " << why;
    }
    const DocumentStrings strings = DocumentStringsOf(plugins->FindFormatByExtension("x.tif"));
    EXPECT_EQ(strings.filterName, "Tagged Image File Format (*.tif;*.tiff)");
    EXPECT_EQ(strings.filterExtension, ".tif;*.tiff");
    EXPECT_EQ(strings.typeName, "Tagged_Image_File_Format");
    EXPECT_EQ(ImageDoc::FirstExtension(plugins->FindFormatByExtension("x.jpeg")), ".jpg");
}

// Every front end reads by content: a picture under another format's
// extension (or none) opens as what it is, progressively too, and bytes no
// format recognises are unsupported whatever the name says.
TEST_F(RealPlugins, OpeningFollowsTheContentNotTheName) {
    auto doc = DocumentWith(24, 0);
    const std::string tiff = dir + "/picture.tif";
    ASSERT_TRUE(doc->OnSaveDocument(tiff)) << doc->LastError();
    for (const std::string name : {"picture.jpg", "picture"}) {
        const std::string path = dir + "/" + name;
        fs::copy_file(tiff, path);
        for (const bool progressive : {false, true}) {
            auto opened = std::make_unique<ImageDoc>(*host.host, *plugins);
            opened->SetProgressiveView(progressive);
            ASSERT_TRUE(opened->OnOpenDocument(path)) << name << ": " << opened->LastError();
            ASSERT_TRUE(opened->ReadPendingPixels()) << opened->LastError();
            EXPECT_EQ(opened->Format(), plugins->FindFormatByExtension("a.tif")) << name;
            std::string why;
            EXPECT_TRUE(SamePixels(opened->Image(), doc->Image(), &why)) << name << ": " << why;
        }
    }
    std::ofstream(dir + "/words.jpg") << "these are words, not a picture";
    auto refused = std::make_unique<ImageDoc>(*host.host, *plugins);
    EXPECT_FALSE(refused->OnOpenDocument(dir + "/words.jpg"));
    EXPECT_EQ(refused->LastError(), "Unsupported image format: the file's content is not a "
                                    "picture in a format Pixmill reads");
}

// Damaged files of every format: cut short, bits flipped, sizes that lie.
// Whatever the reader refuses, the message says why after the described text.
TEST_F(RealPlugins, EveryRefusalOfADamagedFileSaysWhy) {
    auto doc = DocumentWith(24, 0);
    int refusals = 0;
    for (const char* extension : {"jpg", "tif", "png", "gif", "webp", "avif"}) {
        const std::string good = dir + "/good." + extension;
        ASSERT_TRUE(doc->OnSaveDocument(good)) << extension << ": " << doc->LastError();
        std::ifstream in(good, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), {});
        std::vector<std::pair<std::string, std::string>> damaged = {
            {"half", bytes.substr(0, bytes.size() / 2)},
            {"head", bytes.substr(0, std::min<size_t>(bytes.size(), 24))}};
        for (const size_t at : {bytes.size() / 3, bytes.size() / 2, bytes.size() * 3 / 4}) {
            std::string flipped = bytes;
            for (size_t i = at; i < std::min(bytes.size(), at + 16); ++i) {
                flipped[i] = static_cast<char>(~flipped[i]);
            }
            damaged.push_back({"flipped at " + std::to_string(at), flipped});
        }
        std::string sizes = bytes; // the header's numbers made huge
        for (size_t i = 12; i < std::min<size_t>(sizes.size(), 40); ++i) {
            sizes[i] = static_cast<char>(0x7F);
        }
        damaged.push_back({"sizes", sizes});
        for (const auto& [what, content] : damaged) {
            const std::string path = dir + "/damaged." + extension;
            std::ofstream(path, std::ios::binary) << content;
            auto opened = std::make_unique<ImageDoc>(*host.host, *plugins);
            if (opened->OnOpenDocument(path) && opened->ReadPendingPixels()) {
                continue; // some damage still leaves a readable picture
            }
            ++refusals;
            const std::string message = opened->LastError();
            EXPECT_NE(message.find(": "), std::string::npos)
                << extension << ", " << what << ": \"" << message << "\" gives no reason";
            // The reason is the program's: a file cut in half is said to be
            // cut short, and no library's name for the stream shows.
            if (what == "half") {
                EXPECT_NE(message.find("the file ends before the"), std::string::npos)
                    << extension << ": " << message;
            }
            EXPECT_EQ(message.find("stream:"), std::string::npos) << message;
        }
    }
    EXPECT_GT(refusals, 12) << "the damage was refused often enough to mean something";
}
