// The image document with real plug-in libraries: the raw test formats and
// the stand-in colour plug-in from tests/test-plugins/document.
#include "host/doc_template.h"
#include "host/image_doc.h"
#include "host/plugin_manager.h"
#include "host/save_session.h"
#include "host/size_text.h"
#include "host/streams.h"
#include "pixmill/alpha_rule.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

using namespace pixmill;
using namespace pixmill::test;
namespace fs = std::filesystem;

namespace {

class Document : public ::testing::Test, public DocumentFrontEnd {
  protected:
    void SetUp() override {
        plugins = std::make_unique<PluginManager>(host.get());
        plugins->LoadFormats(PIXMILL_TEST_PLUGIN_DIR "/document/Formats/");
        plugins->LoadProcessing(PIXMILL_TEST_PLUGIN_DIR "/document/Processing/");
        ASSERT_EQ(plugins->FormatCount(), 2);
        ASSERT_EQ(plugins->ProcessorCount(), 1);
        char pattern[] = "/tmp/pixmill-doc-XXXXXX";
        dir = mkdtemp(pattern);
        temp = dir + "/tmp/";
        fs::create_directory(temp);
    }
    void TearDown() override {
        plugins.reset();
        fs::remove_all(dir);
    }
    std::unique_ptr<ImageDoc> NewDocument() {
        auto doc = std::make_unique<ImageDoc>(*host.host, *plugins);
        doc->SetFrontEnd(this);
        doc->SetProgressDisplay(&display);
        return doc;
    }
    // A document holding a random image of the given depth, saved as path.
    std::unique_ptr<ImageDoc> DocumentWith(int width, int height, int bitCount, int colors = 0) {
        CVImage image(host.get());
        image.Create(width, height, bitCount, colors, nullptr);
        for (int i = 0; i < image.paletteCount; ++i) {
            image.palette[i] = RGBQUAD{static_cast<uint8_t>(i * 7), static_cast<uint8_t>(i * 3),
                                       static_cast<uint8_t>(255 - i), 0};
        }
        FillRandom(image, random);
        auto doc = NewDocument();
        doc->TakeImage(image, plugins->FindFormatByExtension("x.trw"));
        return doc;
    }
    void UpdateAllViews(int hint) override { hints.push_back(hint); }
    size_t FilesIn(const std::string& folder) const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(folder), {}));
    }

    TestHost host;
    std::unique_ptr<PluginManager> plugins;
    RecordingProgressDisplay display;
    std::vector<int> hints;
    std::mt19937 random{17};
    std::string dir, temp;
};

int NegateCommand() {
    return PluginManager::kFirstCommandId;
}

} // namespace

TEST_F(Document, SaveAndOpenRoundTrip) {
    auto doc = DocumentWith(21, 9, 4, 16);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(doc->Title(), "Untitled.trw") << "a title without a dot gets the extension";
    const std::string path = dir + "/picture.trw";
    ASSERT_TRUE(doc->OnSaveDocument(path)) << doc->LastError();
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(doc->Title(), "picture.trw");
    EXPECT_EQ(doc->WrittenSize(), static_cast<int>(fs::file_size(path)));
    EXPECT_EQ(display.caption, "Save " + path);
    EXPECT_EQ(hints.back(), kHintImageChanged);
    EXPECT_EQ(FilesIn(dir), 2u) << "no temporary file left beside the picture";

    auto opened = NewDocument();
    ASSERT_TRUE(opened->OnOpenDocument(path)) << opened->LastError();
    EXPECT_EQ(display.caption, "Open " + path);
    EXPECT_FALSE(opened->IsModified());
    EXPECT_EQ(opened->Path(), path);
    std::string why;
    EXPECT_TRUE(SamePixels(opened->Image(), doc->Image(), &why)) << why;
    EXPECT_EQ(opened->Image().paletteCount, 16);
}

TEST_F(Document, FailedOpenKeepsThePreviousImageAndSaysWhy) {
    auto doc = DocumentWith(5, 5, 24);
    uint8_t* before = doc->Image().bits;
    EXPECT_FALSE(doc->OnOpenDocument(dir + "/missing.trw"));
    EXPECT_EQ(doc->LastError(), "The system cannot find the file " + dir + "/missing.trw");
    EXPECT_EQ(host.ui.messages.back().caption, "File error");
    EXPECT_EQ(doc->Image().bits, before);

    std::ofstream(dir + "/short.trw") << "RW\x05";
    EXPECT_FALSE(doc->OnOpenDocument(dir + "/short.trw"));
    EXPECT_EQ(doc->LastError(), "Image file read error: the file ends before the Test Photo "
                                "picture does (3 bytes: cut short, or damaged)");
    std::ofstream(dir + "/notes.xyz") << "hello";
    EXPECT_FALSE(doc->OnOpenDocument(dir + "/notes.xyz"));
    EXPECT_EQ(doc->LastError(), "Unsupported image format: the file's content is not a picture "
                                "in a format Pixmill reads");
    EXPECT_EQ(doc->Image().bits, before);
    EXPECT_EQ(doc->Image().Width(), 5);
}

TEST_F(Document, FailedSavesLeaveTheOldFileIntact) {
    auto doc = DocumentWith(6, 4, 8);
    const std::string path = dir + "/keep.trw";
    ASSERT_TRUE(doc->OnSaveDocument(path));
    const auto goodSize = fs::file_size(path);

    EXPECT_FALSE(doc->OnSaveDocument(dir + "/keep.unknown"));
    EXPECT_EQ(doc->LastError(), "Unsupported image format");
    EXPECT_FALSE(fs::exists(dir + "/keep.unknown"));

    // A write that fails half-way (a full disk) replaces nothing.
    auto failing = DocumentWith(13, 4, 8);
    EXPECT_FALSE(failing->OnSaveDocument(path));
    EXPECT_EQ(failing->LastError(), "Image file write error");
    EXPECT_TRUE(failing->IsModified());
    EXPECT_EQ(fs::file_size(path), goodSize);
    EXPECT_EQ(FilesIn(dir), 2u) << "the temporary file is gone";

    EXPECT_FALSE(doc->OnSaveDocument(dir + "/no/such/folder/x.trw"));
    EXPECT_NE(doc->LastError().find("The system cannot find the"), std::string::npos)
        << doc->LastError();
}

TEST_F(Document, StorableConversionsFollowTheSaveModes) {
    struct Case {
        int bitCount, colors;
        bool grey;
        int expectedBits;
        bool expectRamp;
    };
    const Case cases[] = {
        {24, 0, false, 24, false}, // no conversion needed
        {4, 16, false, 24, false}, // colour palette -> RGB
        {1, 2, false, 24, false},  // two colours -> RGB, not grey
        {1, 2, true, 8, true},     // black and white -> grey
        {4, 16, true, 8, true},    // grey but not the ramp -> grey
        {8, 256, false, 24, false},
    };
    for (const Case& c : cases) {
        auto doc = DocumentWith(9, 7, c.bitCount, c.colors);
        if (c.grey) {
            for (int i = 0; i < doc->Image().paletteCount; ++i) {
                const auto v = static_cast<uint8_t>(i * 17);
                doc->Image().palette[i] = RGBQUAD{v, v, v, 0};
            }
        }
        const std::string path = dir + "/c" + std::to_string(c.bitCount) + ".tjp";
        ASSERT_TRUE(doc->OnSaveDocument(path)) << c.bitCount << ": " << doc->LastError();
        EXPECT_EQ(doc->Image().BitCount(), c.bitCount) << "only the written copy is converted";
        EXPECT_EQ(doc->SavedConverted(), c.expectedBits != c.bitCount);
        EXPECT_FALSE(doc->IsModified());
        auto written = std::make_unique<ImageDoc>(*host.host, *plugins);
        ASSERT_TRUE(written->OnOpenDocument(path)) << written->LastError();
        EXPECT_EQ(written->Image().BitCount(), c.expectedBits);
        EXPECT_EQ(written->Image().IsGrayRamp(), c.expectRamp);
        if (c.bitCount != 24) {
            EXPECT_EQ(display.caption, "Save " + path);
        }
    }
    // 24-bit into a format storing every kind: kept as it is.
    auto doc = DocumentWith(4, 4, 24);
    ASSERT_TRUE(doc->OnSaveDocument(dir + "/x.trw"));
    EXPECT_EQ(doc->Image().BitCount(), 24);
}

TEST_F(Document, ConversionBlockAndMissingColourPlugin) {
    PluginManager bare(host.get());
    bare.LoadFormats(PIXMILL_TEST_PLUGIN_DIR "/document/Formats/");
    ImageDoc doc(*host.host, bare);
    CVImage image(host.get());
    image.Create(3, 3, 1, 0, nullptr);
    doc.TakeImage(image, bare.FindFormatByExtension("a.tjp"));
    EXPECT_EQ(doc.Title(), "Untitled.tjp");
    EXPECT_FALSE(doc.OnSaveDocument(dir + "/bilevel.tjp"))
        << "without a colour plug-in a bilevel image cannot become storable";
    EXPECT_EQ(doc.LastError(), "Unsupported image format");
    EXPECT_FALSE(fs::exists(dir + "/bilevel.tjp"));
}

TEST_F(Document, SixOperationsKeepFiveUndoLevels) {
    host->Memory(); // the undo files go to the host's temporary directory
    auto doc = DocumentWith(8, 8, 24);
    std::vector<std::string> files;
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(doc->ApplyCommand(NegateCommand()));
        files.push_back(doc->History()
                            .At(UndoHistory::UndoStack, doc->History().Top(UndoHistory::UndoStack))
                            .fileName);
    }
    EXPECT_EQ(doc->History().Top(UndoHistory::UndoStack), 4);
    EXPECT_FALSE(fs::exists(files[0])) << "the oldest entry's file is gone";
    EXPECT_TRUE(fs::exists(files[5]));
    EXPECT_EQ(doc->UndoMenuText(), "&Undo Negate");
    int undone = 0;
    while (doc->OnUndo()) {
        ++undone;
    }
    EXPECT_EQ(undone, 5);
    doc.reset();
    for (const auto& file : files) {
        EXPECT_FALSE(fs::exists(file)) << "destroying the document deletes " << file;
    }
}

TEST_F(Document, UndoRedoRestoreImageSelectionAndModifiedState) {
    auto doc = DocumentWith(10, 6, 4, 16);
    const std::string path = dir + "/u.trw";
    ASSERT_TRUE(doc->OnSaveDocument(path));
    CVImage original(host.get());
    CVImage::CopyImage(&original, &doc->Image(), nullptr);
    doc->SetSelection(RECT{1, 1, 4, 5});
    ASSERT_TRUE(doc->ApplyCommand(NegateCommand()));
    EXPECT_TRUE(doc->IsModified());
    doc->SetSelection(RECT{0, 0, 2, 2});
    CVImage negated(host.get());
    CVImage::CopyImage(&negated, &doc->Image(), nullptr);

    ASSERT_TRUE(doc->OnUndo());
    EXPECT_TRUE(SamePixels(doc->Image(), original));
    EXPECT_EQ(doc->Selection().right, 4);
    EXPECT_FALSE(doc->IsModified()) << "back at the saved state";
    EXPECT_EQ(doc->RedoMenuText(), "&Redo Negate");

    ASSERT_TRUE(doc->OnRedo());
    EXPECT_TRUE(SamePixels(doc->Image(), negated));
    EXPECT_EQ(doc->Selection().right, 2);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_FALSE(doc->CanRedo());
}

TEST_F(Document, CropAndSelectAll) {
    auto doc = DocumentWith(12, 10, 1);
    CVImage original(host.get());
    CVImage::CopyImage(&original, &doc->Image(), nullptr);
    EXPECT_FALSE(doc->OnCrop()) << "no selection: nothing happens";
    doc->SetSelection(RECT{5, 5, 5, 9});
    EXPECT_FALSE(doc->OnCrop()) << "an empty selection changes nothing";
    EXPECT_EQ(doc->Image().Width(), 12);
    EXPECT_FALSE(doc->CanUndo());

    doc->SetSelection(RECT{11, 8, 3, 1}); // dragged up-left: normalised
    ASSERT_TRUE(doc->OnCrop());
    EXPECT_EQ(doc->Image().Width(), 8);
    EXPECT_EQ(doc->Image().Height(), 7);
    EXPECT_EQ(PixelAt(doc->Image(), 0, 0), PixelAt(original, 3, 1));
    EXPECT_EQ(PixelAt(doc->Image(), 7, 6), PixelAt(original, 10, 7));
    EXPECT_EQ(doc->UndoMenuText(), "&Undo Crop");
    EXPECT_EQ(doc->Selection().right, 8);
    ASSERT_TRUE(doc->OnUndo());
    EXPECT_TRUE(SamePixels(doc->Image(), original));

    doc->OnSelectAll();
    EXPECT_EQ(doc->Selection().right, 12);
    EXPECT_EQ(doc->Selection().bottom, 10);
}

TEST_F(Document, CopyBuildsABitExactPackedDib) {
    for (int bits : {1, 4, 8, 24}) {
        auto doc = DocumentWith(19, 11, bits);
        doc->SetSelection(RECT{3, 2, 16, 9});
        PackedDib dib = doc->OnCopy();
        ASSERT_NE(dib.block, nullptr);
        const size_t colors = doc->Image().paletteCount;
        EXPECT_EQ(dib.size, 40 + 4 * colors + CVImage::StrideOf(bits, 13) * 7);
        CVImage pasted(host.get());
        ASSERT_TRUE(pasted.AttachDib(static_cast<uint8_t*>(dib.block)));
        host->Free(dib.block);
        ASSERT_EQ(pasted.Width(), 13);
        for (int y = 0; y < 7; ++y) {
            for (int x = 0; x < 13; ++x) {
                ASSERT_EQ(PixelAt(pasted, x, y), PixelAt(doc->Image(), x + 3, y + 2))
                    << bits << "-bit at " << x << "," << y;
            }
        }
    }
    auto doc = DocumentWith(4, 4, 8);
    EXPECT_EQ(doc->OnCopy().block, nullptr) << "nothing to copy without a selection";
}

TEST_F(Document, StreamsProgressiveViewAndTemplates) {
    auto source = DocumentWith(7, 3, 8);
    const std::string path = dir + "/s.trw";
    ASSERT_TRUE(source->OnSaveDocument(path));

    ImageDocTemplate raw(*host.host, *plugins, plugins->FindFormatByExtension("a.trw"));
    EXPECT_EQ(raw.Strings().filterName, "Test Raw (*.trw)");
    EXPECT_EQ(raw.Strings().filterExtension, ".trw");
    EXPECT_EQ(raw.Strings().typeName, "Test_Raw");
    EXPECT_EQ(raw.Strings().full, "\nTest Raw\n\nTest Raw (*.trw)\n.trw\nTest_Raw\nTest_Raw");

    FileStream stream(path, FileStream::ForReading);
    auto pasted = NewDocument();
    ASSERT_TRUE(pasted->ReadFromStream(&stream));
    EXPECT_EQ(display.caption, "Open image form clipboard");
    EXPECT_TRUE(pasted->IsModified()) << "a document without a path is modified";
    EXPECT_TRUE(SamePixels(pasted->Image(), source->Image()));

    auto fromImage = raw.OpenFromImage(source->Image());
    EXPECT_EQ(fromImage->Title(), "Untitled1.trw");
    EXPECT_EQ(fromImage->Path(), "Untitled1.trw");
    EXPECT_TRUE(fromImage->IsModified());

    auto progressive = NewDocument();
    progressive->SetProgressiveView(true);
    ASSERT_TRUE(progressive->OnOpenDocument(path));
    EXPECT_TRUE(progressive->PixelsPending());
    EXPECT_EQ(progressive->Image().Width(), 7) << "the header is there at once";
    ASSERT_TRUE(progressive->ReadPendingPixels());
    EXPECT_TRUE(SamePixels(progressive->Image(), source->Image()));
}

TEST(SizeText, AlwaysCarriesItsUnitInThreeDigits) {
    const std::pair<uint64_t, const char*> cases[] = {
        {0, "0 bytes"},
        {1, "1 byte"},
        {1023, "1023 bytes"},
        {1024, "1.00 KB"},
        {1536, "1.50 KB"},
        {123456, "121 KB"},
        {102297, "99.9 KB"},
        {1048575, "1.00 MB"},
        {3 * 1048576 + 1, "3.00 MB"},
        {5ull * 1073741824ull, "5.00 GB"},
        {uint64_t{1} << 62, "4194304 TB"},
    };
    for (const auto& [bytes, text] : cases) {
        EXPECT_EQ(SizeText(bytes), text) << bytes;
    }
}

TEST_F(Document, AnUnreadableUndoFileKeepsTheImageAndTheStacks) {
    auto doc = DocumentWith(6, 5, 24);
    ASSERT_TRUE(doc->ApplyCommand(NegateCommand()));
    CVImage negated(host.get());
    CVImage::CopyImage(&negated, &doc->Image(), nullptr);
    const auto& entry = doc->History().At(UndoHistory::UndoStack, 0);
    fs::resize_file(entry.fileName, 100); // damaged: the pixels are missing
    EXPECT_FALSE(doc->OnUndo());
    EXPECT_EQ(doc->LastError(), "Image file read error");
    EXPECT_TRUE(SamePixels(doc->Image(), negated));
    EXPECT_TRUE(doc->CanUndo());
    EXPECT_FALSE(doc->CanRedo()) << "the redo entry made for the failed step is gone";
}

TEST_F(Document, AnAlphaPlaneIsFlattenedForWhatCannotTakeItAndKeptInTheHistory) {
    CVImage picture(host.get());
    picture.CreateWithAlpha(5, 3);
    for (int y = 0; y < 3; ++y) {
        for (int i = 0; i < 20; ++i) {
            picture.Row(y)[i] = static_cast<uint8_t>(y * 80 + i * 9); // alpha of every kind
        }
    }
    auto doc = NewDocument();
    doc->TakeImage(picture, plugins->FindFormatByExtension("x.trw"));
    CVImage flat(host.get());
    CVImage::CopyImage(&flat, &picture, nullptr);
    FlattenAlphaPlane(flat);

    // The raw test format stores no alpha: the written copy is flattened.
    const std::string path = dir + "/a.trw";
    ASSERT_TRUE(doc->OnSaveDocument(path)) << doc->LastError();
    EXPECT_TRUE(doc->Image().HasAlphaPlane()) << "only the written copy is flattened";
    EXPECT_TRUE(doc->SavedConverted());
    auto written = NewDocument();
    ASSERT_TRUE(written->OnOpenDocument(path)) << written->LastError();
    EXPECT_TRUE(SamePixels(written->Image(), flat));

    // Negate takes no alpha: it works on the flattened picture; undo (an
    // undo file of the 32-bit record) gives the plane back.
    ASSERT_TRUE(doc->ApplyCommand(NegateCommand())) << doc->LastError();
    EXPECT_EQ(doc->Image().BitCount(), 24);
    ASSERT_TRUE(doc->OnUndo());
    ASSERT_TRUE(doc->Image().HasAlphaPlane());
    for (int y = 0; y < 3; ++y) {
        EXPECT_EQ(std::memcmp(doc->Image().Row(y), picture.Row(y), 20), 0) << "row " << y;
    }
}
