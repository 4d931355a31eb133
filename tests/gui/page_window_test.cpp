// The HTML page window: its document's logic (listing, editor questions,
// deleting, saving a compound image into the page in each form, writing the
// page) and the window itself offscreen, on real pages and pictures in a
// temporary folder with the real format plug-ins. Compound image windows
// are stood in for by plain widgets that call the page's save function as
// the editor does when the user saves.
#include "../compound/compound_test_util.h"
#include "app/main_frame.h"
#include "app/pixmill_app.h"
#include "compound/gui/compound_image_commands.h"
#include "compound/gui/compound_image_frame.h"
#include "compound/page_window/html_page_frame.h"
#include "compound/page_window/page_commands.h"
#include "compound/page_window/page_preview.h"
#include "compound/page_window/page_template.h"
#include "compound/page_window/page_tree_view.h"
#include "compound/page_window/write_form_dialog.h"
#include "desktop/commands.h"
#include "desktop/gui/gui_services.h"
#include "desktop/gui/image_frame.h"
#include "host/image_doc.h"
#include "html/html_url.h"
#include "support/test_pane_site.h"

#include <QAction>

#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

#include <unistd.h>

namespace pixmill {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

const char* kSecondCompound =
    "<!-- QorelCompoundImage -->\r\n"
    "<DIV STYLE=\"position:relative;width:60px;height:40px;\">"
    "<SPAN STYLE=\"position:absolute;left:0px;top:0px;width:30px;\"><IMG SRC=\"b.png\"></SPAN>"
    "</DIV>\r\n";

// Two compound images in the HTML form (the first with a rectangle and a
// polygon over its picture), an applet without NAME and two pictures, one
// with an image map of its own. The page is in the form the program writes
// pages in (every container's end tag ends its line), so what the program
// leaves alone comes back byte for byte.
std::string PageText() {
    return std::string("<HTML><HEAD><TITLE>Shop</TITLE>\r\n</HEAD>\r\n<BODY>\r\n"
                       "<P>Before the pictures.</P>\r\n"
                       "<!-- QorelCompoundImage -->\r\n"
                       "<DIV STYLE=\"position:relative;width:120px;height:80px;\">"
                       "<SPAN STYLE=\"position:absolute;left:10px;top:10px;width:40px;\">"
                       "<IMG SRC=\"a.png\" USEMAP=\"#a0\"></SPAN>\r\n"
                       "<MAP NAME=\"a0\"><AREA SHAPE=RECT COORDS=\"2,3,12,15\" HREF=\"x.htm\">"
                       "<AREA SHAPE=POLY COORDS=\"20,20,30,22,25,30\" HREF=\"y.htm\"></MAP>"
                       "</DIV>\r\n") +
           kSecondCompound +
           "<APPLET CODE=\"getpara.class\" WIDTH=60 HEIGHT=50><PARAM NAME=0image "
           "VALUE=\"c.png\"><PARAM NAME=0imcoor VALUE=\"5,5\"></APPLET>\r\n"
           "<P>After <IMG SRC=\"photo.png\" USEMAP=\"#photo0\"> and <IMG "
           "SRC=\"logo.png\"></P>\r\n"
           "<MAP NAME=\"photo0\"><AREA SHAPE=RECT COORDS=\"1,1,5,5\" HREF=\"z.htm\"></MAP>\r\n"
           "</BODY></HTML>\r\n";
}

// The program's dialogs with scripted answers.
class ScriptedPageServices : public PageWindowServices {
  public:
    CUserInterface& Ui() override { return ui; }
    int RunDialog(QDialog& dialog) override {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            okCancelQuestions.push_back(box->text().toStdString());
            const bool ok = okAnswers.empty() ? false : okAnswers.front();
            if (!okAnswers.empty()) {
                okAnswers.erase(okAnswers.begin());
            }
            box->button(ok ? QMessageBox::Ok : QMessageBox::Cancel)->click();
            return ok ? QDialog::Accepted : QDialog::Rejected;
        }
        if (auto* forms = qobject_cast<WriteFormDialog*>(&dialog)) {
            offeredForms.push_back(forms->Form());
            if (!chosenForm) {
                return QDialog::Rejected;
            }
            forms->SetForm(*chosenForm);
            return QDialog::Accepted;
        }
        return QDialog::Rejected;
    }
    QString GetSaveFileName(QWidget*, const QString& suggested, const QString&) override {
        suggestedNames.push_back(suggested.toStdString());
        return saveName;
    }
    SaveAnswer AskSaveChanges(QWidget*, const QString&) override { return SaveAnswer::No; }

    // Every question and message text, in order.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& message : ui.messages) {
            texts.push_back(message.text);
        }
        return texts;
    }

    test::ScriptedUserInterface ui;
    std::vector<bool> okAnswers; // Cancel when exhausted
    std::vector<std::string> okCancelQuestions;
    std::optional<CompoundForm> chosenForm;
    std::vector<CompoundForm> offeredForms;
    std::vector<std::string> suggestedNames;
    QString saveName;
};

// Compound image windows and image windows stood in for by plain widgets.
struct StandInEditors {
    PageWindowHooks Hooks() {
        PageWindowHooks hooks;
        hooks.openCompoundEditor = [this](CompoundImage image, const QString& title,
                                          SaveIntoPage save, QWidget*) -> QWidget* {
            auto* window = new QWidget;
            window->setAttribute(Qt::WA_DeleteOnClose);
            window->setWindowTitle(title);
            images.push_back(std::move(image));
            saves.push_back(std::move(save));
            windows.push_back(window);
            return window;
        };
        hooks.openImageFile = [this](const QString& path) -> QWidget* {
            auto* window = new QWidget;
            window->setAttribute(Qt::WA_DeleteOnClose);
            imageFiles.push_back(path.toStdString());
            windows.push_back(window);
            return window;
        };
        return hooks;
    }
    ~StandInEditors() {
        for (QPointer<QWidget>& window : windows) {
            delete window.data();
        }
    }
    std::vector<CompoundImage> images;
    std::vector<SaveIntoPage> saves;
    std::vector<std::string> imageFiles;
    std::vector<QPointer<QWidget>> windows;
};

struct PageWindow : ::testing::Test {
    void SetUp() override {
        test::EnsureApplication();
        fixture.Picture("a.png", 40, 40, 1);
        fixture.Picture("b.png", 30, 20, 2);
        fixture.Picture("c.png", 30, 20, 3);
        fixture.Picture("photo.png", 20, 20, 4);
        fixture.Picture("logo.png", 16, 16, 5);
        page = fixture.Path("page.htm");
        WriteFile(page, PageText());
    }
    // The preview copy of the page text: a BASE to the page's folder first.
    std::string PreviewOf(const std::string& text) const {
        return "<BASE HREF=\"" + HtmlUrl::FromLocalPath(page).Full() + "\">" + text;
    }
    HtmlPageFrame* OpenFrame(const std::string& path) {
        frame = std::make_unique<HtmlPageFrame>(*fixture.files, services, editors.Hooks());
        if (!frame->Open(QString::fromStdString(path))) {
            return nullptr;
        }
        return frame.get();
    }
    void Select(size_t index) { frame->Tree()->SelectObject(index); }

    test::CompoundFixture fixture;
    std::string page;
    ScriptedPageServices services;
    StandInEditors editors;
    std::unique_ptr<HtmlPageFrame> frame;
};

struct Region {
    int kind;
    RECT rect;
    std::string url;
    bool operator==(const Region& other) const {
        return kind == other.kind && rect.left == other.rect.left && rect.top == other.rect.top &&
               rect.right == other.rect.right && rect.bottom == other.rect.bottom &&
               url == other.url;
    }
};

std::vector<Region> RegionsOf(const CompoundImage& image) {
    std::vector<Region> regions;
    for (const CompoundObject& object : image.Objects()) {
        if (object.IsRegion()) {
            regions.push_back({object.kind, object.rect, object.link.url});
        }
    }
    return regions;
}

TEST(PageTemplate, OffersHtmlPagesUnderTheirOwnFilter) {
    EXPECT_EQ(PageTemplateOf().fileTypeName, "HTML Files");
    EXPECT_EQ(PageTemplateOf().filterText, "HTML Files (*.htm *.html)");
    for (const char* name : {"a.htm", "/x/B.HTML", "c.Htm"}) {
        EXPECT_TRUE(IsPagePath(name)) << name;
    }
    for (const char* name : {"a.png", "html", "a.htmx", "a html"}) {
        EXPECT_FALSE(IsPagePath(name)) << name;
    }
}

TEST_F(PageWindow, ListsTheObjectsGroupedWithTheirNames) {
    ASSERT_NE(OpenFrame(page), nullptr);
    EXPECT_EQ(frame->Tree()->Texts(),
              (QStringList{"Compound images", "Compound image 1", "Compound image 2", "Applets",
                           "Applet 1", "Images", "photo.png", "logo.png"}));
    // The preview copy was written in a temporary folder of its own (never
    // the web folder), resolves references in the page's folder and is
    // what the pane shows.
    const std::string preview = frame->Document().Page().PreviewPath();
    ASSERT_FALSE(preview.empty());
    EXPECT_NE(fs::path(preview).parent_path(), fixture.dir);
    EXPECT_EQ(ReadFile(preview), PreviewOf(PageText()));
    EXPECT_EQ(frame->Preview()->File().toStdString(), preview);
    if (!PagePreview::HasWebView()) {
        EXPECT_TRUE(frame->Preview()->OpenButton()->isEnabled());
        EXPECT_EQ(frame->Preview()->ObjectPicture()->pixmap().size(), QSize(120, 80));
    }
    // The objects as they look on the page: a compound image's canvas, a
    // picture's own size.
    EXPECT_EQ(frame->Document().PictureOf(0)->size(), QSize(120, 80));
    EXPECT_EQ(frame->Document().PictureOf(3)->size(), QSize(20, 20));
    // The first object is selected; "Edit as image file" only on pictures.
    EXPECT_EQ(frame->Tree()->SelectedObject(), 0u);
    for (size_t i = 0; i < 5; ++i) {
        Select(i);
        EXPECT_TRUE(frame->Action(pagecmd::EditCompound)->isEnabled()) << i;
        EXPECT_EQ(frame->Action(pagecmd::EditImageFile)->isEnabled(), i >= 3) << i;
        EXPECT_TRUE(frame->Action(pagecmd::DeleteObject)->isEnabled()) << i;
    }
}

TEST_F(PageWindow, DeletingAPictureAsksAboutItsOwnMapAndKeepsASharedOne) {
    // Two pictures share a map, a third has its own.
    WriteFile(page, "<BODY><IMG SRC=\"a.png\" USEMAP=\"#shared\"><IMG SRC=\"b.png\" "
                    "USEMAP=\"#shared\"><IMG SRC=\"photo.png\" USEMAP=\"#own\">\r\n"
                    "<MAP NAME=\"shared\"><AREA SHAPE=RECT COORDS=\"1,1,4,4\"></MAP>\r\n"
                    "<MAP NAME=\"own\"><AREA SHAPE=RECT COORDS=\"1,1,4,4\"></MAP>\r\n"
                    "</BODY>\r\n");
    ASSERT_NE(OpenFrame(page), nullptr);
    const std::string mapQuestion = "Image has imagemap regions.\nDo you want to delete it also ?";

    Select(0); // the other user keeps the map: no question
    frame->RunCommand(pagecmd::DeleteObject);
    EXPECT_TRUE(services.Texts().empty());
    EXPECT_NE(frame->Document().Page().Document().ToString().find("NAME=\"shared\""),
              std::string::npos);

    Select(1); // the own map goes on Yes
    services.ui.answers = {true};
    frame->RunCommand(pagecmd::DeleteObject);
    EXPECT_EQ(services.Texts(), (std::vector<std::string>{mapQuestion}));
    std::string text = frame->Document().Page().PageText();
    EXPECT_EQ(text.find("NAME=\"own\""), std::string::npos);
    EXPECT_NE(text.find("NAME=\"shared\""), std::string::npos);
    // Now its last user: asked, and kept on No.
    Select(0);
    services.ui.answers = {false};
    frame->RunCommand(pagecmd::DeleteObject);
    EXPECT_EQ(services.Texts().size(), 2u);
    text = frame->Document().Page().PageText();
    EXPECT_NE(text.find("NAME=\"shared\""), std::string::npos);
    EXPECT_EQ(text.find("<IMG"), std::string::npos);

    // The preview follows the edits; the page file waits for the update.
    EXPECT_EQ(ReadFile(frame->Document().Page().PreviewPath()), PreviewOf(text));
    EXPECT_TRUE(frame->Document().IsModified());
    EXPECT_EQ(frame->Tree()->Texts(), QStringList{PageTreeView::kEmptyText});
    EXPECT_FALSE(frame->Tree()->SelectedObject());
    EXPECT_FALSE(frame->Action(pagecmd::DeleteObject)->isEnabled());
    EXPECT_FALSE(frame->Action(pagecmd::EditCompound)->isEnabled());
}

TEST_F(PageWindow, DeletesUntilEmpty) {
    ASSERT_NE(OpenFrame(page), nullptr);
    services.ui.answers = {true};
    while (!frame->Document().Page().Objects().empty()) {
        Select(frame->Document().Page().Objects().size() - 1);
        frame->RunCommand(pagecmd::DeleteObject);
    }
    EXPECT_EQ(frame->Tree()->Texts(), QStringList{PageTreeView::kEmptyText});
    // The page around the objects is left; the compound markers went with theirs.
    const std::string text = frame->Document().Page().Document().ToString();
    EXPECT_NE(text.find("Before the pictures."), std::string::npos);
    EXPECT_EQ(text.find("QorelCompoundImage"), std::string::npos);
    EXPECT_EQ(text.find("<MAP"), std::string::npos);
}

TEST_F(PageWindow, SavesACompoundImageIntoThePageInEachForm) {
    struct Case {
        CompoundForm form;
        int kind;
    };
    for (const Case& c : {Case{CompoundForm::ImageMap, HtmlPageObject::Image},
                          Case{CompoundForm::Applet, HtmlPageObject::Applet},
                          Case{CompoundForm::Html, HtmlPageObject::Compound},
                          Case{CompoundForm::Responsive, HtmlPageObject::Image}}) {
        SCOPED_TRACE(static_cast<int>(c.form));
        WriteFile(page, PageText());
        editors.images.clear();
        editors.saves.clear();
        ASSERT_NE(OpenFrame(page), nullptr);
        Select(0);
        frame->RunCommand(pagecmd::EditCompound);
        ASSERT_EQ(editors.saves.size(), 1u);
        const CompoundImage edited = editors.images[0];
        const std::vector<Region> regions = RegionsOf(edited);
        ASSERT_EQ(regions.size(), 2u);
        EXPECT_EQ(editors.windows.back()->windowTitle(), "page.htm - Compound image 1");

        // Cancelling the form writes nothing and reports no error.
        services.chosenForm.reset();
        std::string error = "unset";
        EXPECT_FALSE(editors.saves[0](edited, &error));
        EXPECT_TRUE(error.empty());
        EXPECT_FALSE(frame->Document().IsModified());

        services.chosenForm = c.form;
        services.saveName = QString::fromStdString(fixture.Path("flat"));
        ASSERT_TRUE(editors.saves[0](edited, &error)) << error;
        EXPECT_EQ(frame->Document().Page().Objects()[0].kind, c.kind);
        EXPECT_EQ(frame->Document().LastForm(0), c.form);
        // A second save offers the form chosen before.
        services.chosenForm.reset();
        editors.saves[0](edited, &error);
        EXPECT_EQ(services.offeredForms.back(), c.form);

        frame->RunCommand(pagecmd::UpdateWebProject);
        EXPECT_FALSE(frame->Document().IsModified());
        PageWindowDoc again(fixture.files.get(), &fixture.host.ui, nullptr);
        ASSERT_TRUE(again.Open(page));
        ASSERT_EQ(again.Page().Objects().size(), 5u);
        EXPECT_EQ(again.Page().Objects()[0].kind, c.kind);
        const std::optional<CompoundImage> read = again.CompoundOf(0);
        ASSERT_TRUE(read);
        EXPECT_EQ(RegionsOf(*read), regions);
        if (WritesFlatPicture(c.form)) {
            // The flattened picture: named after the one picture, beside the
            // page; a name without extension is a PNG.
            EXPECT_EQ(services.suggestedNames.back(), fixture.Path("a.png"));
            EXPECT_EQ(again.Entries()[0].name, "flat.png");
            EXPECT_TRUE(fs::exists(fixture.Path("flat.png")));
        }
        frame.reset();
    }
}

TEST_F(PageWindow, UpdateWebProjectLeavesTheRestOfThePageAsWritten) {
    ASSERT_NE(OpenFrame(page), nullptr);
    // Unchanged, the page is written back byte for byte.
    frame->RunCommand(pagecmd::UpdateWebProject);
    EXPECT_EQ(ReadFile(page), PageText());

    // The second compound image rewritten: everything around it unchanged.
    Select(1);
    frame->RunCommand(pagecmd::EditCompound);
    ASSERT_EQ(editors.saves.size(), 1u);
    CompoundImage edited = editors.images[0];
    edited.Insert(CompoundObject::MakeRectangle(RECT{2, 2, 10, 10}), 0);
    edited.Objects()[0].link.url = "new.htm";
    services.chosenForm = CompoundForm::Html;
    std::string error;
    ASSERT_TRUE(editors.saves[0](edited, &error)) << error;
    const std::string before = ReadFile(page);
    EXPECT_EQ(before, PageText()); // not written until asked
    frame->RunCommand(pagecmd::UpdateWebProject);
    const std::string original = PageText();
    const std::string after = ReadFile(page);
    const size_t start = original.find(kSecondCompound);
    const std::string tail = original.substr(start + std::string(kSecondCompound).size());
    ASSERT_GT(after.size(), start + tail.size());
    EXPECT_EQ(after.substr(0, start), original.substr(0, start));
    EXPECT_EQ(after.substr(after.size() - tail.size()), tail);
    EXPECT_NE(after.find("new.htm"), std::string::npos);
    // The preview shows the written page.
    EXPECT_EQ(ReadFile(frame->Document().Page().PreviewPath()), PreviewOf(after));
}

TEST_F(PageWindow, AsksBeforeOpeningAnotherEditorOrDeletingAnEditedObject) {
    ASSERT_NE(OpenFrame(page), nullptr);
    const size_t photo = 3;
    Select(photo);
    frame->RunCommand(pagecmd::EditImageFile);
    ASSERT_EQ(editors.imageFiles, (std::vector<std::string>{fixture.Path("photo.png")}));
    QPointer<QWidget> imageWindow = frame->EditorWindow(photo);
    ASSERT_TRUE(imageWindow);
    // The same command again brings the window forward; nothing new opens.
    frame->RunCommand(pagecmd::EditImageFile);
    EXPECT_EQ(editors.imageFiles.size(), 1u);

    // As a compound image: OK/Cancel; Cancel keeps the image window.
    services.okAnswers = {false};
    frame->RunCommand(pagecmd::EditCompound);
    EXPECT_EQ(services.okCancelQuestions,
              (std::vector<std::string>{"Image is already opened for editing.\nClose it and "
                                        "reopen ?"}));
    EXPECT_TRUE(editors.saves.empty());
    EXPECT_EQ(frame->Document().EditorKindOf(photo), PageEditorKind::ImageFile);
    services.okAnswers = {true};
    frame->RunCommand(pagecmd::EditCompound);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(imageWindow);
    ASSERT_EQ(editors.saves.size(), 1u);
    EXPECT_EQ(frame->Document().EditorKindOf(photo), PageEditorKind::Compound);
    // The picture with its map's region.
    EXPECT_EQ(RegionsOf(editors.images[0]).size(), 1u);

    // As an image file again: Yes/No; No keeps the compound image window.
    services.ui.answers = {false};
    frame->RunCommand(pagecmd::EditImageFile);
    EXPECT_EQ(services.Texts().back(),
              "Image is already open in Compound image.\nClose it and reopen ?");
    EXPECT_EQ(frame->Document().EditorKindOf(photo), PageEditorKind::Compound);
    QPointer<QWidget> compoundWindow = frame->EditorWindow(photo);
    services.ui.answers = {true};
    frame->RunCommand(pagecmd::EditImageFile);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(compoundWindow);
    EXPECT_EQ(editors.imageFiles.size(), 2u);

    // Deleting it while edited: No keeps both, Yes closes the editor first.
    services.ui.messages.clear();
    services.ui.answers = {false};
    frame->RunCommand(pagecmd::DeleteObject);
    EXPECT_EQ(services.Texts(),
              (std::vector<std::string>{"Image is opened in edit window.\nDo you want to "
                                        "delete it?"}));
    EXPECT_EQ(frame->Document().Page().Objects().size(), 5u);
    imageWindow = frame->EditorWindow(photo);
    services.ui.answers = {true, true}; // and its map goes too
    frame->RunCommand(pagecmd::DeleteObject);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(imageWindow);
    EXPECT_EQ(frame->Document().Page().Objects().size(), 4u);
    EXPECT_EQ(frame->Document().Page().Document().ToString().find("photo0"), std::string::npos);

    // An editor that outlives its object hears that the page no longer has it.
    Select(0);
    frame->RunCommand(pagecmd::EditCompound);
    ASSERT_EQ(editors.saves.size(), 2u);
    services.ui.answers = {true};
    frame->RunCommand(pagecmd::DeleteObject);
    std::string error;
    EXPECT_FALSE(editors.saves[1](editors.images[1], &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(PageWindow, CompoundWindowsCloseWithThePageAndCannotSaveIntoItAfter) {
    ASSERT_NE(OpenFrame(page), nullptr);
    Select(0);
    frame->RunCommand(pagecmd::EditCompound);
    ASSERT_EQ(editors.saves.size(), 1u);
    QPointer<QWidget> window = editors.windows.back();
    frame->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
    frame.release(); // deleted on close
    std::string error;
    EXPECT_FALSE(editors.saves[0](editors.images[0], &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(PageWindow, ReportsAPreviewCopyThatCannotBeWritten) {
    // The temporary folder is where the copy goes: one that takes no files.
    const fs::path locked = fixture.dir / "locked";
    fs::create_directories(locked);
    WriteFile(fixture.Path("plain.htm"), "<BODY><IMG SRC=\"a.png\"></BODY>");
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    if (::access(locked.c_str(), W_OK) == 0) {
        fs::permissions(locked, fs::perms::owner_all);
        GTEST_SKIP() << "the folder stays writable (running as root)";
    }
    const char* was = std::getenv("TMPDIR");
    const std::string saved = was ? was : "";
    ::setenv("TMPDIR", locked.c_str(), 1);
    ASSERT_NE(OpenFrame(fixture.Path("plain.htm")), nullptr);
    was ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR");
    EXPECT_EQ(services.Texts(), (std::vector<std::string>{PageWindowDoc::kPreviewFailed}));
    EXPECT_TRUE(frame->Preview()->File().isEmpty());
    fs::permissions(locked, fs::perms::owner_all);
}

// The program's service with the answers a person would give.
class ScriptedGuiServices : public GuiServices {
  public:
    void ShowMessage(const char*, const char* text, MessageIcon) override {
        messages << QString::fromUtf8(text);
    }
    bool AskYesNo(const char*, const char*, bool defaultAnswer) override { return defaultAnswer; }
    SaveAnswer AskSaveChanges(QWidget*, const QString&) override { return SaveAnswer::No; }
    QStringList GetOpenFileNames(QWidget*, const QString& filters, const QString&) override {
        lastFilters = filters;
        return openNames;
    }
    int RunDialog(QDialog& dialog) override {
        if (auto* forms = qobject_cast<WriteFormDialog*>(&dialog)) {
            forms->SetForm(CompoundForm::Html);
            return QDialog::Accepted;
        }
        return QDialog::Rejected;
    }

    QStringList messages;
    QStringList openNames;
    QString lastFilters;
};

TEST(PageWindowInProgram, FileOpenOpensPagesInPageWindowsAndPicturesInImageWindows) {
    test::EnsureApplication();
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    setenv("PIXMILL_SETTINGS", folder.filePath("Pixmill.ini").toLocal8Bit().constData(), 1);
    QImage picture(20, 20, QImage::Format_RGB32);
    picture.fill(qRgb(200, 120, 40));
    ASSERT_TRUE(picture.save(folder.filePath("photo.png"), "PNG"));
    const QString page = folder.filePath("page.html");
    WriteFile(page.toStdString(), "<BODY><P>Hello</P><IMG SRC=\"photo.png\"></BODY>\r\n");

    ScriptedGuiServices services;
    PixmillApp app(&services, PIXMILL_BIN_DIR);
    ASSERT_TRUE(app.InitInstance({}));
    MainFrame* main = app.Frame();
    services.openNames = {page};
    main->RunCommand(cmd::Open);
    EXPECT_TRUE(services.lastFilters.split(";;").contains("HTML Files (*.htm *.html)"));
    ASSERT_EQ(main->Pages().size(), 1);
    EXPECT_TRUE(main->Frames().isEmpty());
    HtmlPageFrame* pageFrame = main->Pages()[0];
    EXPECT_EQ(pageFrame->windowTitle(), "page.html");
    const std::vector<std::string>& recent = app.Recent().Files();
    EXPECT_NE(std::find(recent.begin(), recent.end(), page.toStdString()), recent.end());

    pageFrame->Tree()->SelectObject(0);
    pageFrame->RunCommand(pagecmd::EditImageFile);
    ASSERT_EQ(main->Frames().size(), 1);
    EXPECT_EQ(main->Frames()[0]->Document().Path(), folder.filePath("photo.png").toStdString());
    EXPECT_EQ(pageFrame->Document().EditorKindOf(0), PageEditorKind::ImageFile);
    main->Frames()[0]->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(pageFrame->Document().EditorKindOf(0), PageEditorKind::None);

    // The program's compound image window edits the picture; its Update
    // Page writes it into the page in the form chosen (here the HTML form).
    ASSERT_TRUE(pageFrame->Action(pagecmd::EditCompound)->isEnabled());
    pageFrame->RunCommand(pagecmd::EditCompound);
    auto* editor = qobject_cast<CompoundImageFrame*>(main->MdiArea()->activeSubWindow());
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(pageFrame->Document().EditorKindOf(0), PageEditorKind::Compound);
    ASSERT_EQ(editor->Document().Image().Objects().size(), 1u);
    editor->RunCommand(editcmd::SaveIntoPage);
    EXPECT_EQ(pageFrame->Document().Page().Objects()[0].kind, HtmlPageObject::Compound);
    EXPECT_TRUE(pageFrame->Document().IsModified());
    editor->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(pageFrame->Document().EditorKindOf(0), PageEditorKind::None);

    // With another opener, pages opened after offer it.
    int opened = 0;
    main->SetCompoundEditorOpener([&](CompoundImage, const QString&, SaveIntoPage, QWidget*) {
        ++opened;
        return static_cast<QWidget*>(nullptr);
    });
    main->OpenFiles({page});
    ASSERT_EQ(main->Pages().size(), 2);
    HtmlPageFrame* second = qobject_cast<HtmlPageFrame*>(main->MdiArea()->activeSubWindow());
    ASSERT_NE(second, nullptr);
    second->Tree()->SelectObject(0);
    second->RunCommand(pagecmd::EditCompound);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(second->Document().EditorKindOf(0), PageEditorKind::None); // none opened
    EXPECT_TRUE(services.messages.isEmpty()) << services.messages.join("|").toStdString();

    // A picture opened by hand in an image window counts as being edited:
    // brought forward rather than opened twice, and asked about (here
    // cancelled) before a compound image window opens on it.
    main->OpenFiles({folder.filePath("photo.png")});
    ASSERT_EQ(main->Frames().size(), 1);
    second->RunCommand(pagecmd::EditImageFile);
    EXPECT_EQ(main->Frames().size(), 1);
    EXPECT_EQ(second->Document().EditorKindOf(0), PageEditorKind::ImageFile);
    second->RunCommand(pagecmd::EditCompound);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(main->Frames().size(), 1);
    main->close();
}

} // namespace
} // namespace pixmill
