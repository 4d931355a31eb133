// Writing within a byte budget: the bisection on its own (sizes that fall,
// with plateaus and bumps) and the codec on real pictures, judged by libjpeg.
#include "jpeg_codec.h"
#include "jpeg_judge.h"
#include "size_target.h"

#include "pixmill/errors.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace pixmill;
using namespace pixmill::alder;
using namespace pixmill::test;

TEST(SizeBudget, BisectionFindsTheSmallestFittingLevelInNineTrials) {
    std::mt19937 random(5);
    for (int shape = 0; shape < 40; ++shape) {
        // Falling sizes with plateaus; every other shape has bumps, where
        // the answer is a level whose neighbour below does not fit.
        std::vector<int64_t> sizes(256);
        int64_t size = 100000;
        for (int level = 0; level < 256; ++level) {
            size -= static_cast<int64_t>(random() % 700);
            sizes[level] = size + (shape % 2 == 1 ? static_cast<int64_t>(random() % 900) : 0);
        }
        for (int64_t budget : {sizes[0] + 1, sizes[0], sizes[17], sizes[128] - 1, sizes[255],
                               sizes[255] - 1, int64_t{0}}) {
            std::vector<bool> tried(256, false);
            const LevelSearch found = FindLevelForBudget(budget, [&](int level) {
                tried[level] = true;
                return sizes[level];
            });
            EXPECT_LE(found.encodes, 9);
            if (found.level < 0) {
                EXPECT_GT(sizes[255], budget);
                EXPECT_EQ(found.bytes, sizes[255]);
                continue;
            }
            EXPECT_LE(found.bytes, budget);
            EXPECT_EQ(found.bytes, sizes[found.level]);
            if (found.level > 0) {
                EXPECT_TRUE(tried[found.level - 1]) << "the level above was tried";
                EXPECT_GT(sizes[found.level - 1], budget);
            }
            if (shape % 2 == 0) { // sizes that never rise: the true best
                EXPECT_EQ(found.level, std::find_if(sizes.begin(), sizes.end(), [&](int64_t s) {
                                           return s <= budget;
                                       }) - sizes.begin());
            }
        }
    }
}

TEST(SizeBudget, CodecWritesTheBestLevelThatFits) {
    TestHost host;
    CVImage image(host.get());
    image.Create(120, 90, 24, 0, nullptr);
    FillPicture(image, 3);
    auto encode = [&](int level, int32_t budget, bool progressive, CVImage* preview = nullptr) {
        JpegSettings settings{};
        settings.luminance = level;
        settings.chrominance = level + 20;
        settings.progressive = progressive ? 1 : 0;
        JpegTargetSettings target{};
        target.targetBytes = budget;
        JpegCodec codec(nullptr, host.get(), &settings, &target);
        codec.BeginWrite(&image, nullptr);
        MemoryStream stream(host.get(), 4096, 65536);
        EXPECT_TRUE(codec.Write(&stream, nullptr, preview));
        EXPECT_EQ(codec.GetWrittenSize(), static_cast<int>(stream.Length()));
        codec.FreeWorkBuffer();
        return StreamBytes(stream);
    };
    for (bool progressive : {false, true}) {
        std::vector<std::vector<uint8_t>> plain(256);
        for (int level = 0; level < 256; ++level) {
            plain[level] = encode(level, 0, progressive);
        }
        const size_t finest = plain[0].size();
        const size_t coarsest = plain[255].size();
        for (size_t budget : {finest, (finest + coarsest) / 2, coarsest + 200, coarsest}) {
            const auto file = encode(0, static_cast<int32_t>(budget), progressive);
            ASSERT_LE(file.size(), budget);
            const JudgedImage judged = JudgeDecode(file);
            ASSERT_TRUE(judged.ok) << judged.error;
            EXPECT_EQ(judged.warnings, 0);
            // The same file as the plain write at the level found, and one
            // level better is too big.
            const auto same = std::find(plain.begin(), plain.end(), file);
            ASSERT_NE(same, plain.end());
            const auto level = same - plain.begin();
            if (level > 0) {
                EXPECT_GT(plain[level - 1].size(), budget);
            }
            // A preview asked for gives the same file.
            CVImage preview(host.get());
            EXPECT_EQ(encode(0, static_cast<int32_t>(budget), progressive, &preview), file);
            EXPECT_EQ(preview.Width(), image.Width());
        }
        try {
            encode(0, static_cast<int32_t>(coarsest - 1), progressive);
            FAIL() << "an unreachable budget is an error";
        } catch (const CQorelError& error) {
            EXPECT_NE(std::string(error.Message()).find("can't be made"), std::string::npos);
        }
    }
}

namespace {

// Records where each progress range starts on the bar; asked to, throws a
// user break from the first step after a number of ranges.
class TrialRecorder : public CVProgress {
  public:
    int Begin(int barFirst, int, int, int workFirst) override {
        firsts.push_back(barFirst);
        return workFirst;
    }
    int Step(const char*) override {
        if (breakAfter > 0 && static_cast<int>(firsts.size()) >= breakAfter) {
            throw CVImageError(CVImageError::UserBreak);
        }
        return 1 << 30;
    }
    void End() override { ++ends; }
    std::vector<int> firsts;
    int breakAfter = 0;
    int ends = 0;
};

} // namespace

TEST(SizeBudget, TheBarMovesPerTrialAndAStopEndsTheSearch) {
    TestHost host;
    CVImage image(host.get());
    image.Create(96, 64, 24, 0, nullptr);
    FillPicture(image, 5);
    JpegSettings settings{};
    settings.progressive = 1;
    JpegTargetSettings target{};
    target.targetBytes = 2500;
    for (int breakAfter : {0, 4}) {
        TrialRecorder progress;
        progress.breakAfter = breakAfter;
        JpegCodec codec(nullptr, host.get(), &settings, &target);
        codec.BeginWrite(&image, nullptr);
        MemoryStream stream(host.get(), 4096, 65536);
        if (breakAfter == 0) {
            EXPECT_TRUE(codec.Write(&stream, &progress, nullptr));
            EXPECT_LE(stream.Length(), 2500u);
            EXPECT_EQ(progress.ends, 1) << "the bar ends once, after the last trial";
            EXPECT_TRUE(std::is_sorted(progress.firsts.begin(), progress.firsts.end()));
            EXPECT_GT(progress.firsts.back(), 50) << "later trials fill the bar";
        } else {
            try {
                codec.Write(&stream, &progress, nullptr);
                FAIL() << "the stop reaches the caller";
            } catch (const CVImageError& error) {
                EXPECT_EQ(error.Code(), CVImageError::UserBreak);
            }
            EXPECT_EQ(stream.Length(), 0u) << "nothing written before the search ends";
        }
        codec.FreeWorkBuffer();
    }
}
