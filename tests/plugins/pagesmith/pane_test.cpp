// The destination's settings page, offscreen: page kinds, stepping through
// the property pages, profiles, previews and the template editor.
#include "pagesmith.h"
#include "pagesmith_pane.h"
#include "support/test_host.h"
#include "support/test_pane_site.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdlib.h>

namespace pixmill::pagesmith {
namespace {

namespace fs = std::filesystem;

// Hands the test host to the destination as the batch job would.
class HostOnly : public BatchHost {
  public:
    explicit HostOnly(CPluginHost* host) : host(host) {}
    int GetFormatCount() override { return 0; }
    const char* GetFormatName(int) override { return nullptr; }
    const char* GetFormatExtensions(int) override { return nullptr; }
    bool LoadImage(CVStream*, CVImage*, SIZE*) override { return false; }
    bool SaveImage(CVImage*, CVStream*, int, bool) override { return false; }
    bool ConvertColors(const CVImage*, CVImage*, const void*) override { return false; }
    bool ResampleImage(CVImage*, const CVImage*, int, int, bool, int) override { return false; }
    CPluginHost* GetPluginHost() override { return host; }

  private:
    CPluginHost* host;
};

class SettingsPage : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApplication();
        char pattern[] = "/tmp/pixmill-pane-XXXXXX";
        dir = std::string(mkdtemp(pattern)) + "/";
        destination.Attach(&batchHost);
        parent = std::make_unique<QWidget>();
        QWidget* window = destination.CreatePage(parent.get(), RECT{0, 0, 640, 480});
        page = static_cast<PagesmithPage*>(window);
        page->previewFolder = QString::fromStdString(dir + "preview");
        page->defaultPreviewImage = PIXMILL_BIN_DIR "/def.jpg";
        page->openFile = [this](const QString& path) {
            opened.push_back(path.toStdString());
            return true;
        };
    }
    void TearDown() override {
        parent.reset(); // the page goes with its parent
        fs::remove_all(dir);
    }

    template <class T = QAbstractButton> T* Button(const QString& text) {
        for (T* button : page->findChildren<T*>()) {
            if (button->text() == text) {
                return button;
            }
        }
        ADD_FAILURE() << "no control " << text.toStdString();
        return nullptr;
    }

    test::TestHost host;
    HostOnly batchHost{host.get()};
    HtmlPagesDestination destination;
    std::unique_ptr<QWidget> parent;
    PagesmithPage* page = nullptr;
    std::string dir;
    std::vector<std::string> opened;
};

TEST_F(SettingsPage, PageKindsAreCheckedWhenApplied) {
    page->findChild<QLineEdit*>("project")->setText(QString::fromStdString(dir + "site/a.htm"));
    Button<QCheckBox>("&Thumbnail pages")->setChecked(false);
    Button<QCheckBox>("&Zoom images")->setChecked(false);
    EXPECT_FALSE(destination.ApplyPage());
    ASSERT_FALSE(host.ui.messages.empty());
    EXPECT_EQ(host.ui.messages.back().text,
              "You must select:\nCreate thumbnail pages or\nZoomed images");
    Button<QCheckBox>("&Zoom images")->setChecked(true);
    Button("Z&oom page")->click();
    EXPECT_FALSE(destination.Profile().project.pictureZip);
    Button<QCheckBox>("Zip o&f the full-size pictures, linked from the index")->setChecked(true);
    EXPECT_TRUE(destination.ApplyPage());
    EXPECT_TRUE(destination.Profile().project.pictureZip);
    EXPECT_EQ(destination.ProjectPath(), dir + "site/a.htm");
    EXPECT_FALSE(destination.Profile().project.createThumbnailPages);
    EXPECT_EQ(destination.GetMainImageMode(), MainEncoded);
    // The project name is kept for the next start.
    EXPECT_EQ(host.settings.ReadText(SettingsStore::kSettingsSection, "HtmlProjectPath"),
              dir + "site/a.htm");
}

// The Sizes field: for the modern pages only, checked when applied and
// kept in the profile as typed.
TEST_F(SettingsPage, SizesAreForTheModernPagesAndCheckedWhenApplied) {
    page->findChild<QLineEdit*>("project")->setText(QString::fromStdString(dir + "a.htm"));
    auto* sizes = page->findChild<QLineEdit*>("pictureSizes");
    ASSERT_NE(sizes, nullptr);
    QCheckBox* modern =
        Button<QCheckBox>("Mode&rn pages: a grid for phones and wide screens, a page per picture");
    modern->setChecked(false);
    EXPECT_FALSE(sizes->isEnabled());
    modern->setChecked(true);
    EXPECT_TRUE(sizes->isEnabled());
    sizes->setText("480, 960 x");
    EXPECT_FALSE(destination.ApplyPage());
    EXPECT_NE(host.ui.messages.back().text.find("\"x\" is not a width in pixels"),
              std::string::npos);
    sizes->setText("1600,480");
    EXPECT_TRUE(destination.ApplyPage());
    EXPECT_EQ(destination.Profile().project.pictureSizes, "1600,480");
    EXPECT_NE(WriteProfileText(destination.Profile()).find("Picture sizes=1600,480\n"),
              std::string::npos);
}

TEST_F(SettingsPage, NextAndPreviousStepThroughThePagesThatMatter) {
    QAbstractButton* next = Button("&Next  >");
    QAbstractButton* previous = Button("<  &Previous");
    EXPECT_FALSE(previous->isEnabled());
    Button("Te&mplate based")->click(); // thumbnails from a template
    Button<QCheckBox>("&Index page")->setChecked(false);
    Button("&Just image")->click();
    std::vector<int> visited;
    while (next->isEnabled()) {
        next->click();
        visited.push_back(page->CurrentPage());
    }
    // Thumbnail template, then the "just image" page.
    EXPECT_EQ(visited, (std::vector<int>{5, 11}));
    previous->click();
    previous->click();
    EXPECT_EQ(page->CurrentPage(), 0);
}

TEST_F(SettingsPage, ProfilesAreSavedListedAndRemoved) {
    QComboBox* list = page->findChild<QComboBox*>("configurations");
    EXPECT_EQ(list->currentText(), "Default");
    page->chooseFile = [this](bool save, const QString&) {
        EXPECT_TRUE(save);
        return QString::fromStdString(dir + "trip");
    };
    Button<QCheckBox>("&Index page")->setChecked(false);
    Button("&Save profile as")->click();
    ASSERT_TRUE(fs::exists(dir + "trip.vhb"));
    EXPECT_EQ(list->currentText(), "trip");
    std::ifstream file(dir + "trip.vhb");
    std::stringstream text;
    text << file.rdbuf();
    EXPECT_EQ(text.str().find("Create content page"), std::string::npos);

    host.ui.answers = {true};
    Button("&Remove profile")->click();
    EXPECT_EQ(list->currentText(), "Default");
    EXPECT_EQ(list->count(), 1);

    page->chooseFile = [this](bool, const QString&) {
        return QString::fromStdString(dir + "trip.vhb");
    };
    Button("&Load profile")->click();
    EXPECT_EQ(list->currentText(), "trip");
    EXPECT_FALSE(Button<QCheckBox>("&Index page")->isChecked());
}

TEST_F(SettingsPage, PreviewWritesPagesAndALog) {
    Button("Z&oom page")->click();
    page->findChild<QAbstractButton*>("thumbnailPreview")->click();
    page->findChild<QAbstractButton*>("zoomPreview")->click();
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], dir + "preview/preview.htm");
    EXPECT_EQ(opened[1], dir + "preview/preview_z1.htm");
    EXPECT_TRUE(fs::exists(dir + "preview/preview.jpg"));
    EXPECT_TRUE(fs::exists(dir + "preview/Preview.log"));

    // A broken template: nothing to show but the log.
    std::ofstream(dir + "bad.htm") << "<P>no pictures</P>";
    Button("Te&mplate based")->click();
    page->findChild<QLineEdit*>("thumbnailTemplate")
        ->setText(QString::fromStdString(dir + "bad.htm"));
    page->findChild<QAbstractButton*>("thumbnailPreview")->click();
    EXPECT_EQ(opened.back(), dir + "preview/Preview.log");

    // Editing a template that is not there.
    page->findChild<QLineEdit*>("thumbnailTemplate")
        ->setText(QString::fromStdString(dir + "none.htm"));
    Button("E&dit")->click();
    EXPECT_EQ(host.ui.messages.back().text, "The file " + dir + "none.htm was not found.");
}

} // namespace
} // namespace pixmill::pagesmith
