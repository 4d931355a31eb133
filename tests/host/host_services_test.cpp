#include "host/host_services.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "support/test_host.h"
#include "support/test_images.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace pixmill;
using namespace pixmill::test;

TEST(HostServices, FitSize) {
    auto fit = [](int w, int h, int W, int H) {
        const SIZE s = FitSizeInBox(w, h, W, H);
        return std::make_pair(s.cx, s.cy);
    };
    EXPECT_EQ(fit(400, 200, 100, 100), std::make_pair(100, 50));
    EXPECT_EQ(fit(200, 400, 100, 100), std::make_pair(50, 100));
    EXPECT_EQ(fit(100, 100, 100, 100), std::make_pair(100, 100));
    EXPECT_EQ(fit(10, 10, 300, 200), std::make_pair(200, 200)) << "small images grow";
    EXPECT_EQ(fit(1000, 1, 100, 100), std::make_pair(100, 1)) << "at least one pixel";
    EXPECT_EQ(fit(3, 2, 100, 100), std::make_pair(100, 67)) << "66.67 rounds up";
    EXPECT_EQ(fit(101, 100, 100, 100), std::make_pair(100, 99));
    EXPECT_EQ(fit(0, 5, 100, 100), std::make_pair(0, 0)) << "no division by zero";
}

TEST(HostServices, TempNamesShareTheCounter) {
    MemorySettingsStore store;
    HostServices host(store, nullptr, "/var/tmp");
    char name[300];
    host.MakeTempName(name, sizeof name);
    EXPECT_STREQ(name, "/var/tmp/~qorel0.tmp");
    host.MakeTempName(name, sizeof name);
    EXPECT_STREQ(name, "/var/tmp/~qorel1.tmp");
    char tiny[8];
    host.MakeTempName(tiny, sizeof tiny);
    EXPECT_EQ(std::strlen(tiny), 7u) << "never written past the buffer";
}

TEST(HostServices, SettingsOfTheRightLengthOnly) {
    TestHost host;
    struct Block {
        int32_t width, height;
        uint8_t flag, pad[3];
    } block{100, 100, 1, {}};
    host->SaveSettings("Resample", &block, sizeof block, 3);
    Block loaded{1, 2, 3, {}};
    host->LoadSettings("Resample", &loaded, sizeof loaded, 3);
    EXPECT_EQ(loaded.width, 100);
    EXPECT_EQ(loaded.flag, 1);
    host.settings.WriteBinary("Settings", "Resample", Bytes(11, 0xEE));
    Block defaults{100, 100, 1, {}};
    host->LoadSettings("Resample", &defaults, sizeof defaults, 3);
    EXPECT_EQ(defaults.width, 100) << "an 11-byte value leaves the 12-byte defaults";
    Block missing{5, 6, 7, {}};
    host->LoadSettings("Nothing", &missing, sizeof missing, 3);
    EXPECT_EQ(missing.width, 5);
}

TEST(HostServices, RaiseImageErrorThrows) {
    TestHost host;
    EXPECT_THROW(host->RaiseImageError(6), CVImageError);
    EXPECT_TRUE(host->IsHostReady());
}

TEST(HostServices, OperationDialogGoesToTheUserInterface) {
    TestHost host;
    host.ui.dialogResult = false;
    EXPECT_FALSE(host->RunOperationDialog(nullptr, nullptr));
    EXPECT_EQ(host.ui.dialogCalls, 1);
    MemorySettingsStore store;
    HostServices headless(store);
    EXPECT_TRUE(headless.RunOperationDialog(nullptr, nullptr)) << "headless: stored settings";
}

TEST(HostServices, ScratchSlotsAndTail) {
    TestHost host;
    EXPECT_EQ(host->GetScratchTail(), host->GetScratch() + 800000);
    host->ScratchReset();
    EXPECT_EQ(host->ScratchAlloc(600000), host->GetScratch());
    EXPECT_EQ(host->ScratchAlloc(600000), nullptr);
    host->ScratchReset();
    EXPECT_NE(host->ScratchAlloc(600000), nullptr);
}

TEST(BandScaler, ScalesBandsOfEveryDepthLikeNearestPixel) {
    TestHost host;
    std::mt19937 random(11);
    for (int bitCount : {1, 4, 8, 24}) {
        for (bool bottomUp : {false, true}) {
            CVImage source(host.get());
            source.Create(53, 41, bitCount, 0, nullptr);
            FillRandom(source, random);
            CVImage target(host.get());
            target.Create(17, 9, bitCount, 0, nullptr);
            host->ScaleBegin(&target, SIZE{53, 41}, bottomUp);
            const size_t stride = source.Stride();
            // Deliver the source rows in bands of 6, laid out as the codec would.
            std::vector<uint8_t> chunk(stride * 6);
            for (int top = 0; top < 41; top += 6) {
                const int rows = std::min(6, 41 - top);
                for (int i = 0; i < rows; ++i) {
                    const size_t slot = bottomUp ? static_cast<size_t>(5 - i) : i;
                    std::memcpy(chunk.data() + slot * stride, source.Row(top + i), stride);
                }
                const RECT band{0, top, 53, top + rows};
                host->ScaleLines(&band, bottomUp ? chunk.data() + 5 * stride : chunk.data());
            }
            const uint32_t stepX = (53u << 16) / 17, stepY = (41u << 16) / 9;
            for (int y = 0; y < 9; ++y) {
                for (int x = 0; x < 17; ++x) {
                    const int sx = static_cast<int>((x * stepX) >> 16);
                    const int sy = static_cast<int>((y * stepY) >> 16);
                    ASSERT_EQ(PixelAt(target, x, y), PixelAt(source, sx, sy))
                        << bitCount << "-bit, bottomUp " << bottomUp << " at " << x << "," << y;
                }
            }
        }
    }
}

// A settings file may raise the pixel limit but never switch it off.
TEST(HostServices, StoredPixelLimitIsAWholeNumberInRange) {
    const std::pair<const char*, uint64_t> cases[] = {
        {"1000000000", 1000000000},
        {"17179869184", uint64_t{1} << 34},
        {"-1", CPluginHost::kDefaultMaxImagePixels},
        {"0", CPluginHost::kDefaultMaxImagePixels},
        {"17179869185", CPluginHost::kDefaultMaxImagePixels},
        {"18446744073709551615", CPluginHost::kDefaultMaxImagePixels},
        {" 5", CPluginHost::kDefaultMaxImagePixels},
        {"1e99", CPluginHost::kDefaultMaxImagePixels},
    };
    for (const auto& [text, limit] : cases) {
        MemorySettingsStore store;
        store.WriteText(SettingsStore::kSettingsSection, "MaxImagePixels", text);
        HostServices host(store, nullptr, "/var/tmp");
        EXPECT_EQ(host.MaxImagePixels(), limit) << text;
    }
}
