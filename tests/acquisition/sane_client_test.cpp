// Scanning from the scanner library's virtual test device, enabled through a
// private configuration folder: sizes, depths and the device's test
// pictures in every mode, the ways colour can arrive, feeders, failures and
// a scan cancelled half-way.
#include "acquisition/sane_client.h"
#include "host/progress.h"
#include "pixmill/cv_image.h"
#include "support/sane_test_device.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

using namespace pixmill;
using namespace pixmill::test;
namespace fs = std::filesystem;

namespace {

// The test device with the library's stock settings, and nothing else.
class SaneEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        char pattern[] = "/tmp/pixmill-sane-XXXXXX";
        dir = mkdtemp(pattern);
        UseSaneTestDevice(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string dir;
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new SaneEnvironment);

uint32_t ColorAt(const CVImage& image, int x, int y) {
    uint32_t value = PixelAt(image, x, y);
    if (image.BitCount() <= 8) {
        const RGBQUAD& c = image.palette[value];
        value = uint32_t(c.rgbRed) << 16 | uint32_t(c.rgbGreen) << 8 | c.rgbBlue;
    }
    return value;
}

struct Mode {
    const char* mode;
    int depth;
    int bitCount;
};
constexpr Mode kModes[] = {{"Color", 8, 24}, {"Gray", 8, 8}, {"Gray", 1, 1}};

class Sane : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::vector<SaneDeviceInfo> devices = client.Devices(true);
        ASSERT_EQ(devices.size(), 1u);
        ASSERT_EQ(devices[0].name, "test:0");
        device = client.Open(devices[0].name);
        device->SetNumber("resolution", 50);
        device->SetNumber("tl-x", 0);
        device->SetNumber("tl-y", 0);
        device->SetNumber("br-x", 80);
        device->SetNumber("br-y", 100);
    }
    void SetMode(const Mode& mode) {
        device->SetString("mode", mode.mode);
        device->SetNumber("depth", mode.depth);
    }
    // Every page of one scan, each as its own picture.
    std::vector<std::unique_ptr<CVImage>> Scan(CVProgress* progress = nullptr) {
        std::vector<std::unique_ptr<CVImage>> pages;
        device->Scan(*host.host, progress, [&](CVImage& page) {
            auto copy = std::make_unique<CVImage>(host.get());
            CVImage::CopyImage(copy.get(), &page, nullptr);
            pages.push_back(std::move(copy));
        });
        return pages;
    }

    TestHost host;
    SaneClient client;
    std::unique_ptr<SaneDevice> device;
};

TEST_F(Sane, TheDeviceDescribesItsOptions) {
    const std::vector<SaneOption> options = device->Options();
    const SaneOption* mode = device->Find(options, "mode");
    ASSERT_NE(mode, nullptr);
    EXPECT_EQ(mode->kind, SaneOption::Kind::String);
    EXPECT_EQ(mode->strings, (std::vector<std::string>{"Gray", "Color"}));
    const SaneOption* resolution = device->Find(options, "resolution");
    ASSERT_NE(resolution, nullptr);
    EXPECT_EQ(resolution->constraint, SaneOption::Constraint::Range);
    EXPECT_EQ(resolution->UnitText(), "dpi");
    EXPECT_GT(resolution->maximum, resolution->minimum);
    const SaneOption* right = device->Find(options, "br-x");
    ASSERT_NE(right, nullptr);
    EXPECT_EQ(right->UnitText(), "mm");
    EXPECT_DOUBLE_EQ(device->GetNumber("br-x"), 80.0);
    EXPECT_EQ(device->GetString("mode"), "Gray");
    EXPECT_THROW(device->SetString("mode", "Infrared"), SaneError);
    EXPECT_THROW(device->GetNumber("no-such-option"), SaneError);
}

TEST_F(Sane, EveryModeGivesTheAreasSizeDepthAndTestPicture) {
    // 80 x 100 mm at 50 dpi.
    const double expectedWidth = 80 / 25.4 * 50;
    const double expectedHeight = 100 / 25.4 * 50;
    std::vector<std::unique_ptr<CVImage>> grids;
    for (const Mode& mode : kModes) {
        SetMode(mode);
        for (const char* picture : {"Solid black", "Solid white", "Grid"}) {
            device->SetString("test-picture", picture);
            auto pages = Scan();
            ASSERT_EQ(pages.size(), 1u) << mode.mode << mode.depth << picture;
            const CVImage& image = *pages[0];
            EXPECT_NEAR(image.Width(), expectedWidth, 1.0);
            EXPECT_NEAR(image.Height(), expectedHeight, 1.0);
            EXPECT_EQ(image.BitCount(), mode.bitCount);
            EXPECT_EQ(image.header.biXPelsPerMeter, 1969) << "50 dpi";
            const std::string name = picture;
            if (name == "Grid") {
                grids.push_back(std::move(pages[0]));
                continue;
            }
            const uint32_t expected = name == "Solid black" ? 0 : 0xFFFFFF;
            for (int y = 0; y < image.Height(); ++y) {
                for (int x = 0; x < image.Width(); ++x) {
                    ASSERT_EQ(ColorAt(image, x, y), expected)
                        << mode.mode << mode.depth << picture << " at " << x << "," << y;
                }
            }
        }
    }
    // The grid: squares of 10 mm alternating black and white, the same in
    // every mode.
    const CVImage& reference = *grids[0];
    const double square = 10 / 25.4 * 50;
    const uint32_t first = ColorAt(reference, int(square / 2), int(square / 2));
    ASSERT_TRUE(first == 0 || first == 0xFFFFFF);
    for (int j = 0; (j + 1) * square < reference.Height(); ++j) {
        for (int i = 0; (i + 1) * square < reference.Width(); ++i) {
            const uint32_t expected = (i + j) % 2 == 0 ? first : (first ^ 0xFFFFFF);
            EXPECT_EQ(ColorAt(reference, int((i + 0.5) * square), int((j + 0.5) * square)),
                      expected)
                << "square " << i << "," << j;
        }
    }
    for (size_t k = 1; k < grids.size(); ++k) {
        ASSERT_EQ(grids[k]->Width(), reference.Width());
        ASSERT_EQ(grids[k]->Height(), reference.Height());
        int differences = 0;
        for (int y = 0; y < reference.Height(); ++y) {
            for (int x = 0; x < reference.Width(); ++x) {
                differences += ColorAt(*grids[k], x, y) != ColorAt(reference, x, y);
            }
        }
        EXPECT_EQ(differences, 0) << kModes[k].mode << kModes[k].depth;
    }
}

TEST_F(Sane, ColourIsTheSameHoweverTheDeviceSendsIt) {
    struct Variant {
        const char* what;
        const char* picture; // the colour pattern itself differs with the depth
        std::function<void()> set;
    };
    const Variant variants[] = {
        {"16 bits per sample", "Grid", [&] { device->SetNumber("depth", 16); }},
        {"three frames RGB", "Color pattern",
         [&] {
             device->SetNumber("three-pass", 1);
             device->SetString("three-pass-order", "RGB");
         }},
        {"three frames BGR", "Color pattern",
         [&] {
             device->SetNumber("three-pass", 1);
             device->SetString("three-pass-order", "BGR");
         }},
        {"small reads", "Color pattern", [&] {
             device->SetNumber("read-limit", 1);
             device->SetNumber("read-limit-size", 7);
         }}};
    for (const Variant& variant : variants) {
        SetMode(kModes[0]);
        device->SetNumber("three-pass", 0);
        device->SetNumber("read-limit", 0);
        device->SetString("test-picture", variant.picture);
        const auto reference = Scan();
        variant.set();
        const auto pages = Scan();
        ASSERT_EQ(pages.size(), 1u) << variant.what;
        std::string why;
        EXPECT_TRUE(SamePixels(*pages[0], *reference[0], &why)) << variant.what << ": " << why;
    }
}

TEST_F(Sane, AScannerWithoutAKnownHeightStillGivesThePage) {
    device->SetNumber("hand-scanner", 1);
    device->SetString("test-picture", "Solid white");
    const auto pages = Scan();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_NEAR(pages[0]->Width(), 110 / 25.4 * 50, 1.0); // the hand scanner is 11 cm wide
    EXPECT_GT(pages[0]->Height(), 0);
    EXPECT_EQ(ColorAt(*pages[0], 3, pages[0]->Height() - 1), 0xFFFFFFu);
}

TEST_F(Sane, AFeederGivesOnePicturePerPageUntilItIsEmpty) {
    device->SetNumber("resolution", 10);
    device->SetString("source", "Automatic Document Feeder");
    EXPECT_EQ(Scan().size(), 10u);
    device->SetString("source", "Flatbed");
    EXPECT_EQ(Scan().size(), 1u);
}

TEST_F(Sane, AFailingReadGivesTheLibrarysMessageAndNoPicture) {
    device->SetString("read-return-value", "SANE_STATUS_JAMMED");
    try {
        Scan();
        FAIL() << "the scan did not fail";
    } catch (SaneError& error) {
        EXPECT_NE(std::string(error.Message()).find("jammed"), std::string::npos)
            << error.Message();
    }
    device->SetString("read-return-value", "Default");
    EXPECT_EQ(Scan().size(), 1u) << "the device scans again";
}

TEST_F(Sane, EscapeCancelsTheScanAndLeavesNoPicture) {
    device->SetNumber("read-limit", 1);
    device->SetNumber("read-limit-size", 512);
    RecordingProgressDisplay display;
    display.breakAfterPolls = 3;
    {
        HostProgress progress(&display, "Scanning");
        int pages = 0;
        try {
            device->Scan(*host.host, &progress, [&](CVImage&) { ++pages; });
            FAIL() << "the scan was not cancelled";
        } catch (CVImageError& error) {
            EXPECT_EQ(error.Code(), CVImageError::UserBreak);
        }
        EXPECT_EQ(pages, 0);
        EXPECT_EQ(display.polls, 4) << "the fourth poll breaks";
    }
    EXPECT_EQ(display.starts, 1);
    EXPECT_EQ(display.finished, 1);
    // The device is free again.
    display.breakAfterPolls = -1;
    HostProgress progress(&display, "Scanning");
    EXPECT_EQ(Scan(&progress).size(), 1u);
    EXPECT_EQ(display.position, 100);
}

} // namespace
