// The table-driven processing base: answers from the table, the one rule
// for a null image and for an operation number beyond the table, and the
// panes it deletes for its plug-ins.
#include "pixmill/cv_image.h"
#include "pixmill/operation_table.h"
#include "pixmill/pane.h"
#include "support/test_host.h"

#include <gtest/gtest.h>

using namespace pixmill;
using namespace pixmill::test;

namespace {

const StringEntry kTexts[] = {{1, "Invert"}, {2, "&Invert"}, {3, "Invert the picture"},
                              {4, "Blur"},   {5, "&Blur"},   {6, "Blur the picture"},
                              {7, "Tools"},  {8, "&Tools"}};
constexpr OperationEntry kOperations[] = {
    {1, 2, 3, 0, KindFilter, 0},
    {4, 5, 6, OpHasSettings | OpLivePreview, KindImageOperation, 42},
};

// Counts the hook calls so that the tests see which ones the base makes.
class TablePlugin : public CTableProcessingPlugin {
  public:
    explicit TablePlugin(CPluginHost* host,
                         std::span<const OperationEntry> operations = kOperations)
        : CTableProcessingPlugin(host, kTexts, operations, {7, 8}) {}
    int runs = 0;
    int accepts = 0;
    int panes = 0;

  private:
    bool Run(const CVImage*, CVImage*, CVProgress*) override { return ++runs > 0; }
    bool Accepts(const CVImage&) override { return ++accepts > 0; }
    ImageKindSet OutputKinds(const ImageKindSet& input) override { return {input.kinds, 0, 0, 9}; }
    CPluginPane* CreatePane(CPaneSite*) override {
        ++panes;
        return nullptr;
    }
};

// A pane that counts its deletions.
class CountedPane : public CPluginPane {
  public:
    explicit CountedPane(int& deleted) : deleted(deleted) {}
    ~CountedPane() override { ++deleted; }
    QWidget* Create() override { return nullptr; }
    void SetImage(const CVImage*) override {}
    bool Commit() override { return true; }
    int GetResultMemorySize() override { return 0; }

  private:
    int& deleted;
};

} // namespace

TEST(OperationTable, AnswersComeFromTheTable) {
    TestHost host;
    TablePlugin plugin(host.get());
    EXPECT_EQ(plugin.GetOperationCount(), 2);
    EXPECT_STREQ(plugin.GetGroupName(false), "Tools");
    EXPECT_STREQ(plugin.GetGroupName(true), "&Tools");
    plugin.SetOperation(1);
    EXPECT_STREQ(plugin.GetName(false), "Blur");
    EXPECT_STREQ(plugin.GetName(true), "&Blur");
    EXPECT_STREQ(plugin.GetDescription(), "Blur the picture");
    EXPECT_EQ(plugin.GetFlags(), OpHasSettings | OpLivePreview);
    EXPECT_EQ(plugin.GetKind(), KindImageOperation);
    EXPECT_EQ(plugin.HelpTopic(), 42);
    ImageKindSet input{KindGray8 | KindRgb24, 0, 0, 0};
    ASSERT_NE(plugin.GetOutputKinds(&input), nullptr);
    EXPECT_EQ(plugin.GetOutputKinds(&input)->kinds, KindGray8 | KindRgb24);
    EXPECT_EQ(plugin.GetOutputKinds(&input)->traits, 9);
    input.special = 1;
    EXPECT_EQ(plugin.GetOutputKinds(&input), nullptr);
    plugin.CreateSettingsPane(nullptr);
    EXPECT_EQ(plugin.panes, 1);

    plugin.SetOperation(0);
    EXPECT_EQ(plugin.CreateSettingsPane(nullptr), nullptr);
    EXPECT_EQ(plugin.panes, 1) << "no pane for an operation without settings";
}

TEST(OperationTable, NullImagesAndUnknownOperationsRunNothing) {
    TestHost host;
    TablePlugin plugin(host.get());
    CVImage image(host.get());
    image.Create(4, 4, 24, 0, nullptr);
    ImageKindSet input{KindAll, 0, 0, 0};

    EXPECT_FALSE(plugin.CanApply(nullptr));
    EXPECT_EQ(plugin.accepts, 0) << "a null image never reaches the plug-in";
    EXPECT_TRUE(plugin.CanApply(&image));

    for (uint16_t beyond : {uint16_t{2}, uint16_t{0xFFFF}}) {
        plugin.SetOperation(beyond);
        EXPECT_EQ(plugin.GetOperation(), beyond);
        EXPECT_STREQ(plugin.GetName(false), "");
        EXPECT_STREQ(plugin.GetName(true), "");
        EXPECT_STREQ(plugin.GetDescription(), "");
        EXPECT_EQ(plugin.GetFlags(), 0);
        EXPECT_EQ(plugin.GetKind(), KindImageOperation);
        EXPECT_EQ(plugin.HelpTopic(), 0);
        EXPECT_EQ(plugin.CurrentEntry(), nullptr);
        EXPECT_FALSE(plugin.CanApply(&image));
        EXPECT_FALSE(plugin.Apply(&image, &image, nullptr));
        EXPECT_EQ(plugin.GetOutputKinds(&input), nullptr);
        EXPECT_EQ(plugin.CreateSettingsPane(nullptr), nullptr);
    }
    EXPECT_EQ(plugin.accepts, 1);
    EXPECT_EQ(plugin.runs, 0);
    EXPECT_EQ(plugin.panes, 0);
}

// A plug-in that does not override DestroySettingsPane still frees its panes:
// the base deletes them through the pane's own destructor.
TEST(OperationTable, BaseDeletesThePanesOfItsPlugin) {
    TestHost host;
    TablePlugin plugin(host.get());
    int deleted = 0;
    plugin.DestroySettingsPane(new CountedPane(deleted));
    EXPECT_EQ(deleted, 1);
    plugin.DestroySettingsPane(nullptr);
    EXPECT_EQ(deleted, 1);
}

// Texts written in the entries need no string table; entries may mix them
// with string ids.
TEST(OperationTable, EntriesCarryTheirOwnTexts) {
    static constexpr OperationEntry kWritten[] = {{"Emboss", 2, "Filter Image", 0, KindFilter, 0}};
    TestHost host;
    TablePlugin plugin(host.get(), kWritten);
    EXPECT_STREQ(plugin.GetName(false), "Emboss");
    EXPECT_STREQ(plugin.GetName(true), "&Invert");
    EXPECT_STREQ(plugin.GetDescription(), "Filter Image");
}
