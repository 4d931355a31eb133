// The kit's pixel-loop mechanics: packed pixels against a bit-by-bit
// reference, the colour-order swap, the stepping of WorkProgress, and the
// scope guards.
#include "pixmill/color_order.h"
#include "pixmill/packed_pixels.h"
#include "pixmill/scope_guards.h"
#include "pixmill/work_progress.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <vector>

using namespace pixmill;
using namespace pixmill::test;

namespace {

// A packed row as one string of bits, bit 0 the top bit of byte 0; pixel x
// of a depth is the bits x * depth .. x * depth + depth - 1, the first the
// most significant.
uint32_t ReferenceGet(const std::vector<uint8_t>& row, int x, int bits) {
    if (bits == 24) { // blue, green, red bytes as 0xRRGGBB
        const size_t at = 3 * static_cast<size_t>(x);
        return row[at] | static_cast<uint32_t>(row[at + 1]) << 8 |
               static_cast<uint32_t>(row[at + 2]) << 16;
    }
    uint32_t value = 0;
    for (int b = 0; b < bits; ++b) {
        const size_t at = static_cast<size_t>(x) * bits + b;
        value = value << 1 | ((row[at / 8] >> (7 - at % 8)) & 1u);
    }
    return value;
}

void ReferenceSet(std::vector<uint8_t>& row, int x, int bits, uint32_t value) {
    if (bits == 24) {
        const size_t at = 3 * static_cast<size_t>(x);
        row[at] = static_cast<uint8_t>(value);
        row[at + 1] = static_cast<uint8_t>(value >> 8);
        row[at + 2] = static_cast<uint8_t>(value >> 16);
        return;
    }
    for (int b = 0; b < bits; ++b) {
        const size_t at = static_cast<size_t>(x) * bits + b;
        const auto mask = static_cast<uint8_t>(0x80u >> (at % 8));
        const bool on = (value >> (bits - 1 - b)) & 1u;
        row[at / 8] = static_cast<uint8_t>(on ? row[at / 8] | mask : row[at / 8] & ~mask);
    }
}

template <int Bits> void CheckDepth(std::mt19937& random) {
    SCOPED_TRACE(Bits);
    // The image depths of palette indices also have run-time accessors.
    constexpr bool kIndices = Bits == 1 || Bits == 4 || Bits == 8;
    std::uniform_int_distribution<int> byte(0, 255);
    const uint32_t limit = Bits == 24 ? 0xFFFFFFu : (1u << Bits) - 1;
    std::uniform_int_distribution<uint32_t> value(0, limit);
    for (int trial = 0; trial < 50; ++trial) {
        const int width = 1 + static_cast<int>(random() % 40);
        std::vector<uint8_t> row((static_cast<size_t>(width) * Bits + 7) / 8);
        for (uint8_t& b : row) {
            b = static_cast<uint8_t>(byte(random));
        }
        // Reading, at compile-time and run-time depths.
        for (int x = 0; x < width; ++x) {
            ASSERT_EQ(GetPixel<Bits>(row.data(), x), ReferenceGet(row, x, Bits)) << x;
            if (kIndices) {
                ASSERT_EQ(static_cast<uint32_t>(GetIndex(row.data(), x, Bits)),
                          ReferenceGet(row, x, Bits));
            }
        }
        // Replacing pixels in random order leaves the others alone.
        std::vector<uint8_t> expected = row;
        for (int n = 0; n < width; ++n) {
            const int x = static_cast<int>(random() % width);
            const uint32_t v = value(random);
            ReferenceSet(expected, x, Bits, v);
            if (kIndices && n % 2 == 1) {
                SetIndex(row.data(), x, Bits, static_cast<int>(v));
            } else {
                SetPixel<Bits>(row.data(), x, v);
            }
            ASSERT_EQ(row, expected);
        }
        // ORing every pixel into a cleared row builds the same pixels, the
        // bits beyond the last one left clear.
        std::vector<uint8_t> clean(row.size(), 0), ored(row.size(), 0), byIndex(row.size(), 0);
        for (int x = 0; x < width; ++x) {
            const uint32_t v = ReferenceGet(expected, x, Bits);
            ReferenceSet(clean, x, Bits, v);
            OrPixel<Bits>(ored.data(), x, v);
            if (kIndices) {
                OrIndex(byIndex.data(), x, Bits, static_cast<int>(v));
            }
        }
        ASSERT_EQ(ored, clean);
        if (kIndices) {
            ASSERT_EQ(byIndex, clean);
        }
    }
}

TEST(PackedPixels, MatchTheBitStringReference) {
    std::mt19937 random(11);
    CheckDepth<1>(random);
    CheckDepth<2>(random);
    CheckDepth<4>(random);
    CheckDepth<8>(random);
    CheckDepth<24>(random);
    int seen = 0;
    for (int bits : {1, 4, 8, 24, 32}) {
        ForDepth(bits, [&](auto depth) { seen = seen * 100 + decltype(depth)::value; });
    }
    EXPECT_EQ(seen, 104082424) << "1, 4, 8, then 24 for anything else";
}

// Checkpoints that start at `first` and move on by `stride` per step; every
// step records the position last reported.
class ScriptedProgress : public CVProgress {
  public:
    ScriptedProgress(int first, int stride) : first(first), stride(stride) {}
    int Begin(int barFirst, int barLast, int workFirst, int workLast) override {
        begins.push_back({barFirst, barLast, workFirst, workLast});
        checkpoint = first;
        return checkpoint;
    }
    int Step(const char*) override {
        steps.push_back(reported);
        checkpoint += stride;
        return checkpoint;
    }
    void End() override { ++ends; }

    int first, stride, checkpoint = 0;
    int64_t reported = 0;
    std::vector<std::vector<int>> begins;
    std::vector<int64_t> steps;
    int ends = 0;
};

std::vector<int64_t> Report(WorkProgress& work, ScriptedProgress& script,
                            std::initializer_list<int64_t> positions) {
    script.steps.clear();
    for (int64_t p : positions) {
        script.reported = p;
        work.At(p);
    }
    return script.steps;
}

TEST(WorkProgress, StepsAtThePaceItWasGiven) {
    using V = std::vector<int64_t>;
    {
        // Catching up within the band: a stalled checkpoint gives at most
        // width / 5 steps in all.
        ScriptedProgress script(2, 0);
        WorkProgress work(&script);
        work.Begin(0, 20, 0, 9);
        EXPECT_EQ(Report(work, script, {1, 5, 6}), (V{5, 5, 5, 5}));
        ScriptedProgress moving(2, 3);
        WorkProgress band(&moving);
        band.Begin(0, 100, 0, 30);
        EXPECT_EQ(Report(band, moving, {1, 7, 8, 30}), (V{7, 7, 8, 30, 30, 30, 30, 30, 30, 30}));
    }
    {
        // Catching up without the band's limit: at most 100 steps a report.
        ScriptedProgress script(0, 0);
        WorkProgress work(&script, WorkProgress::Pace::CatchUp);
        work.Begin(0, 20, 0, 9);
        EXPECT_EQ(Report(work, script, {0}).size(), 100u);
        EXPECT_EQ(Report(work, script, {1}).size(), 100u);
        ScriptedProgress moving(2, 3);
        WorkProgress fast(&moving, WorkProgress::Pace::CatchUp);
        fast.Begin(0, 100, 0, 30);
        EXPECT_EQ(Report(fast, moving, {1, 7, 8}), (V{7, 7, 8}));
    }
    {
        // One step a report; a checkpoint that does not move is passed by one.
        ScriptedProgress script(2, 0);
        WorkProgress work(&script, WorkProgress::Pace::OneStep);
        work.Begin(10, 60, 0, 4);
        EXPECT_EQ(Report(work, script, {1, 2, 2, 3, 3, 9}), (V{2, 3, 9}));
        ScriptedProgress moving(2, 3);
        WorkProgress pass(&moving, WorkProgress::Pace::OneStep);
        pass.Begin(10, 60, 0, 4);
        EXPECT_EQ(Report(pass, moving, {2, 9, 9, 9}), (V{2, 9, 9}));
        EXPECT_EQ(moving.begins, (std::vector<std::vector<int>>{{10, 60, 0, 4}}));
    }
    {
        // Counts beyond int in coarser units: 2^33 bytes as 2^30 eighths.
        ScriptedProgress script(1 << 28, 1 << 28);
        WorkProgress work(&script, WorkProgress::Pace::OneStep);
        work.BeginLarge(0, 100, uint64_t{1} << 33);
        EXPECT_EQ(script.begins.back(), (std::vector<int>{0, 100, 0, 1 << 30}));
        script.steps.clear();
        work.Advance((uint64_t{1} << 31) - 1);
        EXPECT_TRUE(script.steps.empty());
        work.Advance(1);
        EXPECT_EQ(script.steps.size(), 1u);
        work.End();
        EXPECT_EQ(script.ends, 1);
    }
    WorkProgress none(nullptr, WorkProgress::Pace::OneStep);
    none.Begin(0, 100, 0, 10);
    none.At(10);
    none.End(); // no progress object: nothing to step
}

TEST(ScopeGuards, GiveBackOnEveryWayOut) {
    TestHost host;
    MemoryService& memory = host->Memory();
    const size_t before = memory.LiveOrdinaryBlocks();
    int value = 1;
    EXPECT_THROW(
        {
            HostBlock block(host.get(), 100);
            RestoreOnExit<int> restore(value);
            value = 2;
            EXPECT_EQ(memory.LiveOrdinaryBlocks(), before + 1);
            throw std::runtime_error("break");
        },
        std::runtime_error);
    EXPECT_EQ(memory.LiveOrdinaryBlocks(), before);
    EXPECT_EQ(value, 1);

    uint8_t* kept = nullptr;
    {
        HostBlock block(host.get(), 100);
        kept = block.Release();
    }
    EXPECT_EQ(memory.LiveOrdinaryBlocks(), before + 1) << "a released block stays";
    host->Free(kept);

    host->ScratchReset();
    {
        ScratchBlock outer(host.get(), 1000);
        ScratchBlock inner(host.get(), 500);
        EXPECT_EQ(inner.Get(), outer.Get() + 1000);
        EXPECT_EQ(memory.ScratchRemaining(), 1000000 - 1500);
    }
    EXPECT_EQ(memory.ScratchRemaining(), 1000000);
    {
        ScratchBlock tooBig(host.get(), 2000000, ScratchBlock::WhenFull::StayEmpty);
        EXPECT_EQ(tooBig.Get(), nullptr);
    }
    host->ScratchReset();
    EXPECT_THROW(ScratchBlock(host.get(), 2000000), CVImageError);
    host->ScratchReset();

    int cleanups = 0;
    {
        OnExit count([&] { ++cleanups; });
        OnExit dismissed([&] { cleanups += 10; });
        dismissed.Dismiss();
    }
    EXPECT_EQ(cleanups, 1);
}

} // namespace

// Every row length around the shuffled steps (five pixels, six left) and
// every alignment: each pixel's outer bytes exchanged, nothing written past
// the row.
TEST(ColorOrder, ReversesEveryPixelOfAnyRowAndWritesNothingBeyond) {
    std::mt19937 random(7);
    for (size_t pixels = 0; pixels <= 40; ++pixels) {
        for (size_t offset = 0; offset < 4; ++offset) {
            std::vector<uint8_t> from(offset + 3 * pixels + 16);
            for (uint8_t& b : from) {
                b = static_cast<uint8_t>(random());
            }
            std::vector<uint8_t> to(from.size(), 0xA5);
            ReverseColorOrder(from.data() + offset, to.data() + offset, pixels);
            for (size_t i = 0; i < to.size(); ++i) {
                const size_t at = i - offset;
                const bool inRow = i >= offset && at < 3 * pixels;
                const uint8_t expected =
                    !inRow ? 0xA5 : from[offset + at - at % 3 + 2 - at % 3];
                ASSERT_EQ(to[i], expected) << pixels << " pixels, byte " << i;
            }
        }
    }
}
