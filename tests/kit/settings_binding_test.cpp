// Binding a stored settings block: defaults, the stored value, clamping to
// the declared ranges, and the save when the binding ends.
#include "pixmill/settings_binding.h"
#include "support/stored_block.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace pixmill;
using namespace pixmill::test;

namespace {

struct Block {
    double gamma;    // 0.1..10, default 1
    int32_t width;   // 1..500, default 100
    int16_t offset;  // -5..5, default -3
    uint8_t flag;    // Bool, default 1
    uint8_t unnamed; // not declared
};
static_assert(sizeof(Block) == 16);

const SettingsField kFields[] = {
    {"width", offsetof(Block, width), FieldType::I32, 1, 500, 100, ""},
    {"gamma", offsetof(Block, gamma), FieldType::F64, 0.1, 10, 1, ""},
    {"flag", offsetof(Block, flag), FieldType::Bool, 0, 1, 1, ""},
    {"offset", offsetof(Block, offset), FieldType::I16, -5, 5, -3, ""},
};
const SettingsBlockSchema kSchema{"BindProbe", sizeof(Block), 3, kFields, 4};

} // namespace

TEST(SettingsBinding, LoadsDefaultsThenTheStoredBlockClampedToItsRanges) {
    TestHost host;
    { CSettingsBinding unbound; }
    EXPECT_FALSE(host.settings.ReadBinary(SettingsStore::kSettingsSection, "BindProbe"))
        << "a binding without a block saves nothing";

    Block block;
    std::memset(&block, 0x5A, sizeof block);
    {
        CSettingsBinding binding;
        binding.Bind(host.get(), kSchema, block);
        EXPECT_EQ(block.width, 100);
        EXPECT_EQ(block.gamma, 1.0);
        EXPECT_EQ(block.flag, 1);
        EXPECT_EQ(block.unnamed, 0) << "bytes not declared start as zeros";
        EXPECT_EQ(block.offset, -3);
        block.width = 321;
    }
    ASSERT_TRUE(StoredBlock<Block>(host.settings, "BindProbe"));
    EXPECT_EQ(StoredBlock<Block>(host.settings, "BindProbe")->width, 321) << "saved at the end";

    const Block wild{std::numeric_limits<double>::quiet_NaN(), -7, 12, 9, 44};
    StoreBlock(host.settings, "BindProbe", wild);
    CSettingsBinding binding;
    binding.Bind(host.get(), kSchema, block);
    EXPECT_EQ(block.width, 1);
    EXPECT_EQ(block.gamma, 1.0) << "not a number: the default";
    EXPECT_EQ(block.flag, 1);
    EXPECT_EQ(block.unnamed, 44) << "undeclared bytes come back as stored";
    EXPECT_EQ(block.offset, 5);

    // In-range values keep their bytes; a stored value of another length is
    // ignored and binding again reloads.
    const Block inRange{0.1, 500, -5, 0, 3};
    StoreBlock(host.settings, "BindProbe", inRange);
    binding.Bind(host.get(), kSchema, block);
    EXPECT_EQ(std::memcmp(&block, &inRange, sizeof block), 0);
    host.settings.WriteBinary(SettingsStore::kSettingsSection, "BindProbe", Bytes(7, 0x11));
    binding.Bind(host.get(), kSchema, block);
    EXPECT_EQ(block.width, 100);
}
