// The compound image document without its window: insertion order, canvas
// growth, each object's own steps, the defaults questions and the checks
// made before saving, with real picture files through the format plug-ins.
#include "../compound/compound_test_util.h"
#include "compound/gui/compound_image_commands.h"
#include "compound/gui/compound_image_doc.h"
#include "compound/gui/log_font.h"
#include "compound/html_page_doc.h"
#include "host/settings_store.h"
#include "pixmill/user_interface.h"
#include "support/test_pane_site.h"

#include <QFontDatabase>

#include <deque>

namespace pixmill {
namespace {

class ScriptedUi : public CUserInterface {
  public:
    void ShowMessage(const char* caption, const char* text, MessageIcon) override {
        captions.push_back(caption);
        messages.push_back(text);
    }
    bool AskYesNo(const char*, const char* text, bool defaultAnswer) override {
        questions.push_back(text);
        if (answers.empty()) {
            return defaultAnswer;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    bool RunOperationDialog(CProcessingPlugin*, const CVImage*) override { return true; }

    std::vector<std::string> captions, messages, questions;
    std::deque<bool> answers;
};

class EditDoc : public ::testing::Test {
  protected:
    void SetUp() override { test::EnsureApplication(); }
    CompoundImageDoc MakeDoc(CompoundImage image = CompoundImage(CompoundDefaults{})) {
        return CompoundImageDoc(std::move(image),
                                CompoundEditServices{&ui, fx.files.get(), &store});
    }

    test::CompoundFixture fx;
    ScriptedUi ui;
    MemorySettingsStore store;
};

TEST_F(EditDoc, RegionsGoBeforePicturesAndTheCanvasHoldsEveryObject) {
    CompoundDefaults small;
    small.width = 20;
    small.height = 20;
    CompoundImageDoc doc = MakeDoc(CompoundImage(small));
    int changes = 0;
    doc.SetChangedHandler([&] { ++changes; });

    ASSERT_TRUE(doc.InsertImageFile(fx.Picture("photo.png", 60, 40)));
    EXPECT_EQ(doc.Image().Width(), 60); // grown to the picture
    EXPECT_EQ(doc.Image().Height(), 40);
    const int text = doc.InsertText("Hello", 50, 70);
    EXPECT_EQ(text, 1);
    EXPECT_GE(doc.Image().Height(), doc.Image().Objects()[1].rect.bottom);
    EXPECT_EQ(doc.CanvasStatus(),
              std::to_string(doc.Image().Width()) + "x" + std::to_string(doc.Image().Height()));

    const int region = doc.AddRegion(CompoundObject::MakeRectangle(RECT{5, 5, 25, 20}));
    EXPECT_EQ(region, 0);
    EXPECT_EQ(doc.Selected(), 0);
    EXPECT_EQ(doc.Image().FindImageUnder(0), 1) << "the picture comes after its region";
    const int circle = doc.AddRegion(CompoundObject::MakeCircle(30, 20, 5));
    EXPECT_EQ(circle, 1);

    // The background goes after the regions, under every picture and text.
    ASSERT_TRUE(doc.InsertBackgroundImage(fx.Picture("back.png", 120, 120, 3)));
    EXPECT_EQ(doc.Image().Objects()[2].fileName, fx.Path("back.png"));
    EXPECT_EQ(doc.Image().Objects()[3].fileName, fx.Path("photo.png"));
    // Every object was named when it was listed.
    for (const CompoundObject& object : doc.Image().Objects()) {
        EXPECT_FALSE(object.link.name.empty());
    }
    EXPECT_GT(changes, 4);
    EXPECT_TRUE(doc.IsModified());

    // The region on top wins a hit; the topmost picture otherwise.
    EXPECT_EQ(doc.ObjectAt(10, 10), 0);
    EXPECT_EQ(doc.ObjectAt(55, 35), 3);
    EXPECT_EQ(doc.ObjectAt(70, 50), 2);

    EXPECT_FALSE(doc.InsertImageFile(fx.Path("missing.png")));
    EXPECT_EQ(ui.messages.size(), 1u);

    doc.Select(2);
    ASSERT_TRUE(doc.DeleteSelected());
    EXPECT_TRUE(doc.Minimise()); // the background held the canvas at 120 x 120
    long right = 0, bottom = 0;
    for (const CompoundObject& object : doc.Image().Objects()) {
        right = std::max(right, static_cast<long>(object.rect.right));
        bottom = std::max(bottom, static_cast<long>(object.rect.bottom));
    }
    EXPECT_EQ(doc.Image().Width(), right);
    EXPECT_EQ(doc.Image().Height(), bottom);
    EXPECT_FALSE(doc.Minimise());
}

// Every change is a step of the whole image: inserts, region moves, text
// edits and deletes undo in order, redo again, and a new change after an
// undo leaves nothing to redo. Sixteen steps are kept.
TEST_F(EditDoc, UndoAndRedoStepThroughEveryChangeOfTheImage) {
    CompoundImageDoc doc = MakeDoc();
    auto texts = [&doc] {
        std::vector<std::string> all;
        for (const CompoundObject& object : doc.Image().Objects()) {
            all.push_back(object.IsRegion() ? "region@" + std::to_string(object.rect.left)
                                            : object.text);
        }
        return all;
    };
    const int one = doc.InsertText("one", 0, 0);
    doc.InsertText("two", 0, 40);
    const int region = doc.AddRegion(CompoundObject::MakeRectangle(RECT{0, 0, 10, 10}));
    CompoundObject moved = doc.Image().Objects()[static_cast<size_t>(region)];
    moved.rect = RECT{2, 2, 12, 12};
    ASSERT_TRUE(doc.ChangeObject(region, moved));
    CompoundObject longer = doc.Image().Objects()[static_cast<size_t>(one + 1)];
    longer.text = "one, longer";
    ASSERT_TRUE(doc.ChangeObject(one + 1, longer));
    const long width = doc.Image().Objects()[static_cast<size_t>(one + 1)].rect.right;
    doc.Select(one + 1);
    ASSERT_TRUE(doc.DeleteSelected());
    EXPECT_EQ(texts(), (std::vector<std::string>{"region@2", "two"}));

    ASSERT_TRUE(doc.Undo()); // the delete
    EXPECT_EQ(texts(), (std::vector<std::string>{"region@2", "one, longer", "two"}));
    EXPECT_EQ(doc.Selected(), one + 1);
    ASSERT_TRUE(doc.Undo()); // the text edit
    EXPECT_EQ(texts(), (std::vector<std::string>{"region@2", "one", "two"}));
    EXPECT_LT(doc.Image().Objects()[static_cast<size_t>(one + 1)].rect.right, width);
    ASSERT_TRUE(doc.Undo()); // the region's move
    EXPECT_EQ(texts(), (std::vector<std::string>{"region@0", "one", "two"}));
    ASSERT_TRUE(doc.Redo());
    EXPECT_EQ(texts(), (std::vector<std::string>{"region@2", "one", "two"}));
    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.Undo()); // the region's insert
    EXPECT_EQ(texts(), (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(doc.CanRedo());
    doc.InsertText("three", 0, 80);
    EXPECT_FALSE(doc.CanRedo()) << "a new change ends what could be redone";
    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.Undo());
    ASSERT_TRUE(doc.Undo());
    EXPECT_TRUE(doc.Image().Objects().empty());
    EXPECT_FALSE(doc.Undo());

    for (int i = 0; i < 20; ++i) {
        doc.InsertText("t" + std::to_string(i), 0, i);
    }
    int undone = 0;
    while (doc.Undo()) {
        ++undone;
    }
    EXPECT_EQ(undone, 16);
    EXPECT_EQ(doc.Image().Objects().size(), 4u);
}

TEST_F(EditDoc, DefaultsChangeOnlyWhenTheUserAgrees) {
    CompoundImageDoc doc = MakeDoc();
    ui.answers = {false, true};
    doc.SetCanvasProperties(300, 200, MakeColorRef(10, 20, 30));
    EXPECT_EQ(ui.questions.back(),
              "Do you want to change the default compound image size and background color "
              "?\nThis change will affect all new compound images.");
    EXPECT_EQ(CompoundDefaults::Load(store).width, 500);
    doc.SetCanvasProperties(320, 240, MakeColorRef(10, 20, 30));
    const CompoundDefaults stored = CompoundDefaults::Load(store);
    EXPECT_EQ(stored.width, 320);
    EXPECT_EQ(stored.height, 240);
    EXPECT_EQ(stored.background, MakeColorRef(10, 20, 30));
    EXPECT_EQ(doc.Image().Width(), 320);

    // The font of a text, mapped from Qt's font, offered as the default.
    QFont chosen(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    chosen.setPixelSize(22);
    chosen.setBold(true);
    chosen.setItalic(true);
    chosen.setStrikeOut(true);
    const LogFont font = LogFontOf(chosen);
    EXPECT_EQ(font.height, -22);
    EXPECT_EQ(font.weight, 700);
    EXPECT_TRUE(font.italic && font.strikeOut && !font.underline);
    EXPECT_EQ(FaceNameOf(font), chosen.family().toStdString().substr(0, 31));

    const int text = doc.InsertText("Caption", 5, 5);
    ui.answers = {true};
    ASSERT_TRUE(doc.ChangeTextFont(text, font, MakeColorRef(200, 0, 0)));
    EXPECT_EQ(ui.questions.back(),
              FormatMessage("Do you want to change the default font to %s ?\nThis change will "
                            "affect all new text objects in the compound image.",
                            FaceNameOf(font)));
    const int next = doc.InsertText("Next", 5, 60);
    const CompoundObject& made = doc.Image().Objects()[static_cast<size_t>(next)];
    EXPECT_EQ(made.font.height, -22);
    EXPECT_EQ(made.textColor, MakeColorRef(200, 0, 0));
}

TEST_F(EditDoc, SavingChecksStopOrConvertBeforeThePageIsTouched) {
    int saves = 0;
    const SaveIntoPage save = [&](const CompoundImage&, std::string*) {
        ++saves;
        return true;
    };
    // Regions only: nothing to save.
    CompoundImageDoc empty = MakeDoc();
    empty.AddRegion(CompoundObject::MakeRectangle(RECT{0, 0, 10, 10}));
    EXPECT_FALSE(empty.SaveIntoPage(save, {}, nullptr));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.captions[0], "Can`t save Compound image as Html file");
    EXPECT_EQ(ui.messages[0], "The Compound image is empty.");
    EXPECT_FALSE(empty.HtmlSourceText(CompoundForm::Html, {}));
    EXPECT_EQ(saves, 0);

    // A TIFF picture is saved in a web format first; a chosen format that is
    // not one stops saving.
    ui.messages.clear();
    CompoundImageDoc doc = MakeDoc();
    const std::string tiff = fx.Picture("scan.tif", 30, 20);
    ASSERT_TRUE(doc.InsertImageFile(tiff));
    std::vector<std::string> suggested;
    EXPECT_FALSE(doc.SaveIntoPage(
        save,
        [&](const std::string& path) {
            suggested.push_back(path);
            return fx.Path("scan.bmp");
        },
        nullptr));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0], FormatMessage("The %s should be saved\n in to one of the HTML "
                                            "supported formats (GIF, PNG, JPEG)",
                                            tiff));
    EXPECT_EQ(ui.messages[1], "Unsupported image format");
    EXPECT_EQ(suggested.at(0), fx.Path("scan.png"));
    EXPECT_EQ(saves, 0);

    EXPECT_TRUE(doc.SaveIntoPage(
        save, [&](const std::string&) { return fx.Path("web.gif"); }, nullptr));
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(doc.Image().Objects()[0].fileName, fx.Path("web.gif"));
    EXPECT_FALSE(fx.files->Read(fx.Path("web.gif"), nullptr).isNull());
    EXPECT_FALSE(doc.IsModified());

    // A pasted picture has no file: it is saved the same way.
    QImage pasted(12, 8, QImage::Format_RGB888);
    pasted.fill(Qt::red);
    ASSERT_TRUE(doc.PasteImage(pasted));
    const std::optional<std::string> html = doc.HtmlSourceText(
        CompoundForm::Html, [&](const std::string&) { return fx.Path("pasted.png"); });
    ASSERT_TRUE(html);
    EXPECT_NE(html->find("pasted.png"), std::string::npos);
    EXPECT_NE(html->find("web.gif"), std::string::npos);
}

TEST_F(EditDoc, PagesOfTheirOwnAndHtmlTextReadBackTheSameRegions) {
    CompoundImageDoc doc = MakeDoc();
    ASSERT_TRUE(doc.InsertImageFile(fx.Picture("photo.jpg", 90, 60)));
    CompoundObject rect = CompoundObject::MakeRectangle(RECT{10, 10, 40, 30});
    rect.link.url = "http://example.com/a";
    doc.AddRegion(rect);
    CompoundObject circle = CompoundObject::MakeCircle(60, 30, 12);
    circle.link.url = "b.htm";
    circle.link.flags = HtmlLink::NewWindow;
    doc.AddRegion(circle);

    const std::filesystem::path site = fx.dir / "site";
    std::filesystem::create_directories(site);
    std::string error;
    ASSERT_TRUE(doc.SaveAsPage((site / "page.htm").string(), {}, &error)) << error;
    EXPECT_TRUE(std::filesystem::exists(site / "photo.jpg")) << "the picture copied beside";
    EXPECT_FALSE(std::filesystem::exists(site / "page.htm.new"));

    HtmlPageDoc page(fx.files.get(), &ui);
    ASSERT_TRUE(page.Open((site / "page.htm").string(), false));
    ASSERT_EQ(page.Objects().size(), 1u);
    EXPECT_EQ(page.Objects()[0].kind, HtmlPageObject::Compound);
    const CompoundImage read = page.ReadCompound(0);
    std::vector<std::pair<int, std::string>> regions;
    for (const CompoundObject& object : read.Objects()) {
        if (object.IsRegion()) {
            regions.emplace_back(object.kind, object.link.url);
        }
    }
    EXPECT_EQ(regions, (std::vector<std::pair<int, std::string>>{
                           {CompoundKind::Rectangle, "http://example.com/a"},
                           {CompoundKind::Circle, "b.htm"}}));

    // Saving again finds the copied picture there and asks before replacing
    // it; a picture whose file is gone stops saving.
    ui.answers = {false};
    ASSERT_TRUE(doc.SaveAsPage((site / "page.htm").string(), {}, &error)) << error;
    EXPECT_EQ(ui.questions.back(), FormatMessage("File %s already exist.\nOverwrite this file ?",
                                                 (site / "photo.jpg").string()));
    std::filesystem::remove(fx.Path("photo.jpg"));
    std::filesystem::remove(site / "photo.jpg");
    EXPECT_FALSE(doc.SaveAsPage((site / "again.htm").string(), {}, &error));
    EXPECT_EQ(ui.messages.back(), FormatMessage("File %s not found.", fx.Path("photo.jpg")));
    EXPECT_FALSE(std::filesystem::exists(site / "again.htm")) << "no half-written page";

    // The image-map text writes the flattened canvas it refers to.
    const std::optional<std::string> map = doc.HtmlSourceText(
        CompoundForm::ImageMap, [&](const std::string&) { return fx.Path("flat.png"); });
    ASSERT_TRUE(map);
    EXPECT_NE(map->find("<MAP"), std::string::npos);
    EXPECT_NE(map->find("http://example.com/a"), std::string::npos);
    EXPECT_EQ(fx.files->Read(fx.Path("flat.png"), nullptr).size(),
              QSize(doc.Image().Width(), doc.Image().Height()));
}

TEST(EditCommands, PromptsAndFilters) {
    EXPECT_EQ(EditPromptText(editcmd::CopyHtml),
              "Copy Compound Image on Clipboard as HTML Source text.");
    EXPECT_EQ(EditPromptText(editcmd::Minimise), "Minimize Compound image dimensions");
    EXPECT_EQ(EditPromptText(editcmd::Undo), "Undo the last action");
    EditCommandState state;
    EXPECT_FALSE(IsEditCommandEnabled(FindEditCommand(editcmd::Delete)->enabling, state));
    state.selection = true;
    EXPECT_TRUE(IsEditCommandEnabled(FindEditCommand(editcmd::Delete)->enabling, state));
    EXPECT_EQ(QtFilterOf(kHtmlImageFilter),
              "GIF Files (*.gif);;JPEG Files (*.jpg *.jpeg);;PNG Files (*.png);;All Files (*)");
}

} // namespace
} // namespace pixmill
