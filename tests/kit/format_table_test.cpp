// The table format base: the defaults a description may leave out, the
// blocks it binds and saves, the panes it deletes, and the codec library
// version it copies into the caller's buffers.
#include "pixmill/format_table.h"
#include "pixmill/pane.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

using namespace pixmill;
using namespace pixmill::test;

namespace {

struct Block {
    int32_t level; // 0..9, default 6
};
const SettingsField kFields[] = {{"level", offsetof(Block, level), FieldType::I32, 0, 9, 6, ""}};
const SettingsBlockSchema kSchema{"TableFormatProbe", sizeof(Block), 1, kFields, 1};

const StringEntry kTexts[] = {{1, "XYZ"}, {2, "*.xyz"}};
const StringTable kStringTable{kTexts};

// The pane made last sees the bound block and counts its deletion.
int g_deleted = 0;
class CountedPane : public CPluginPane {
  public:
    explicit CountedPane(CPaneSite*, Block* block) : level(block->level) {}
    ~CountedPane() override { ++g_deleted; }
    QWidget* Create() override { return nullptr; }
    void SetImage(const CVImage*) override {}
    bool Commit() override { return true; }
    int GetResultMemorySize() override { return 0; }
    int level;
};

std::string Version() {
    return "1.2.3-with-a-long-suffix";
}

constexpr FormatDescription<Block> kProbe{
    .format = {.strings = &kStringTable,
               .name = 1,
               .longName = 1,
               .extensions = 2,
               .signatureSize = 1,
               .recognize = [](const uint8_t* bytes) { return bytes[0] == 'X'; },
               .id = 0,
               .capabilities = CapOptionsPane,
               .saveModes = KindAll,
               .canSave = nullptr,
               .acceptsKinds = nullptr,
               .helpTopic = 0,
               .codecLibrary = "libxyz",
               .codecVersion = Version},
    .schemas = &kSchema,
    .createCodec = nullptr,
    .createPane = MakePane<CountedPane>,
};

} // namespace

TEST(FormatTable, DefaultsBlocksPanesAndVersion) {
    TestHost host;
    {
        CTableFormatPlugin<Block> format(kProbe);
        CFormatPlugin* out = nullptr;
        ASSERT_EQ(format.Attach(host.get(), &out), 1);
        EXPECT_EQ(out, &format);
        EXPECT_STREQ(format.GetName(true), "XYZ");
        EXPECT_STREQ(format.GetExtensions(), "*.xyz");
        EXPECT_TRUE(format.CanSave(nullptr)) << "no canSave: every picture";
        const ImageKindSet ordinary{KindRgb24, 0, 0, 0};
        const ImageKindSet special{KindRgb24, 1, 0, 0};
        EXPECT_TRUE(format.AcceptsKinds(&ordinary));
        EXPECT_FALSE(format.AcceptsKinds(&special));

        // The pane is made over the bound block (its declared default).
        g_deleted = 0;
        CPluginPane* pane = format.CreateOptionsPane(nullptr);
        ASSERT_NE(pane, nullptr);
        EXPECT_EQ(static_cast<CountedPane*>(pane)->level, 6);
        format.DestroyOptionsPane(pane);
        EXPECT_EQ(g_deleted, 1);

        // The version is cut to the buffer and always terminated.
        char name[16];
        char version[6];
        ASSERT_EQ(format.LibraryVersion(name, sizeof name, version, sizeof version), 1);
        EXPECT_STREQ(name, "libxyz");
        EXPECT_STREQ(version, "1.2.3");
        char untouched = '#';
        EXPECT_EQ(format.LibraryVersion(name, sizeof name, &untouched, 0), 1);
        EXPECT_EQ(untouched, '#');
    }
    // The block is saved when the format object goes.
    EXPECT_TRUE(host.settings.ReadBinary(SettingsStore::kSettingsSection, "TableFormatProbe"));
}
