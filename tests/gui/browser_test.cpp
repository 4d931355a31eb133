// The image browser and the open dialog in the real program (offscreen):
// the real plug-ins from build/bin, files on disk, the desktop's thumbnail
// cache and trash redirected into a temporary folder.
#include "app/image_browser.h"
#include "app/main_frame.h"
#include "app/pixmill_app.h"
#include "desktop/browser/thumbnail_model.h"
#include "desktop/commands.h"
#include "desktop/gui/gui_services.h"
#include "desktop/gui/image_frame.h"
#include "desktop/gui/image_view.h"
#include "desktop/gui/open_dialog.h"
#include "host/image_doc.h"
#include "support/test_pane_site.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListView>
#include <QMdiArea>
#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace pixmill {
namespace {

class Answers : public GuiServices {
  public:
    void ShowMessage(const char*, const char* text, MessageIcon) override {
        messages << QString::fromUtf8(text);
    }
    bool AskYesNo(const char*, const char* text, bool) override {
        questions << QString::fromUtf8(text);
        return yes;
    }
    SaveAnswer AskSaveChanges(QWidget*, const QString&) override { return SaveAnswer::No; }
    int RunDialog(QDialog& dialog) override {
        return dialogHandler ? dialogHandler(dialog) : QDialog::Rejected;
    }
    QStringList messages;
    QStringList questions;
    bool yes = true;
    std::function<int(QDialog&)> dialogHandler;
};

class Browser : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApplication();
        ASSERT_TRUE(folder.isValid());
        setenv("PIXMILL_SETTINGS", folder.filePath("Pixmill.ini").toLocal8Bit().constData(), 1);
        setenv("XDG_CACHE_HOME", folder.filePath("cache").toLocal8Bit().constData(), 1);
        setenv("XDG_DATA_HOME", folder.filePath("data").toLocal8Bit().constData(), 1);
        pictures = folder.filePath("pictures");
        QDir().mkpath(pictures + "/inner");
        QDir().mkpath(folder.filePath("data")); // the trash goes below
        for (int i = 0; i < 3; ++i) {
            QImage picture(300 + 100 * i, 200, QImage::Format_RGB32);
            picture.fill(qRgb(40 * i, 120, 200 - 40 * i));
            ASSERT_TRUE(picture.save(pictures + QStringLiteral("/photo%1.jpg").arg(i + 1), "JPG"));
        }
        QImage tiff(50, 40, QImage::Format_Grayscale8);
        tiff.fill(90);
        ASSERT_TRUE(tiff.save(pictures + "/scan.png", "PNG"));
        QFile broken(pictures + "/broken.jpg");
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write("\xFF\xD8\xFF garbage that no reader takes");
        broken.close();
        app = std::make_unique<PixmillApp>(&services, PIXMILL_BIN_DIR);
        ASSERT_TRUE(app->InitInstance({}));
        frame = app->Frame();
        frame->resize(1000, 700);
    }
    void TearDown() override {
        if (frame != nullptr) {
            frame->close();
        }
        app.reset();
        unsetenv("XDG_CACHE_HOME");
        unsetenv("XDG_DATA_HOME");
    }
    ImageBrowser* OpenBrowser() {
        ImageBrowser* browser = frame->OpenBrowser(pictures);
        EXPECT_TRUE(QTest::qWaitFor([&] { return browser->Model().Waiting() == 0; }, 10000));
        return browser;
    }
    int RowOf(ImageBrowser* browser, const QString& name) {
        const ThumbnailModel& model = browser->Model();
        for (int row = 0; row < model.rowCount(); ++row) {
            if (model.index(row).data().toString() == name) {
                return row;
            }
        }
        return -1;
    }
    void Key(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
        QTest::keyClick(widget, key, modifiers);
    }

    QTemporaryDir folder;
    QString pictures;
    Answers services;
    std::unique_ptr<PixmillApp> app;
    MainFrame* frame = nullptr;
};

TEST_F(Browser, ShowsTheFolderAsCellsAndOpensWhatIsChosen) {
    frame->Action(cmd::Browse)->trigger(); // the working directory
    ASSERT_EQ(frame->Browsers().size(), 1);
    EXPECT_EQ(frame->Action(cmd::Browse)->shortcut(), QKeySequence("Ctrl+Shift+B"));
    ImageBrowser* browser = OpenBrowser();
    EXPECT_EQ(frame->Browsers().size(), 2);
    EXPECT_TRUE(frame->WindowMenu()->menuAction()->isVisible());
    EXPECT_TRUE(frame->Action(cmd::CloseAll)->isEnabled());

    const ThumbnailModel& model = browser->Model();
    ASSERT_EQ(model.rowCount(), 5); // the subfolder is in the tree, not the grid
    EXPECT_EQ(model.index(RowOf(browser, "photo3.jpg")).data(ThumbnailModel::InfoRole),
              "500 x 200, 24 bit");
    EXPECT_EQ(model.index(RowOf(browser, "scan.png")).data(ThumbnailModel::StateRole),
              ThumbnailModel::Ready);
    EXPECT_EQ(model.index(RowOf(browser, "broken.jpg")).data(ThumbnailModel::StateRole),
              ThumbnailModel::Failed);
    EXPECT_TRUE(services.messages.isEmpty());
    // The cell paints (the error cell too) without trouble.
    EXPECT_FALSE(browser->Grid()->viewport()->grab().isNull());

    // Enter opens every selected picture; a double-click opens one.
    QListView* grid = browser->Grid();
    grid->setFocus();
    grid->selectionModel()->select(model.index(RowOf(browser, "photo1.jpg")),
                                   QItemSelectionModel::Select);
    grid->selectionModel()->select(model.index(RowOf(browser, "scan.png")),
                                   QItemSelectionModel::Select);
    Key(grid, Qt::Key_Return);
    ASSERT_EQ(frame->Frames().size(), 2);
    EXPECT_EQ(frame->Frames()[0]->Document().Title(), "photo1.jpg");
    EXPECT_EQ(frame->Frames()[1]->Document().Image().Width(), 50);

    const QRect cell = grid->visualRect(model.index(RowOf(browser, "photo2.jpg")));
    grid->clearSelection();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    ASSERT_EQ(frame->Frames().size(), 3);
    EXPECT_EQ(frame->ActiveFrame()->Document().Title(), "photo2.jpg");

    // The broken file's cell opens nothing but the reader's message.
    grid->setCurrentIndex(model.index(RowOf(browser, "broken.jpg")));
    browser->OpenSelected();
    EXPECT_EQ(frame->Frames().size(), 3);
    EXPECT_EQ(services.messages.size(), 1);

    // Zoomed Tile puts the windows side by side, each picture fitted.
    frame->RunCommand(cmd::ZoomedTile);
    const QList<QMdiSubWindow*> windows = frame->MdiArea()->subWindowList();
    for (int i = 0; i < windows.size(); ++i) {
        for (int j = i + 1; j < windows.size(); ++j) {
            EXPECT_FALSE(windows[i]->geometry().intersects(windows[j]->geometry()));
        }
    }
    for (ImageFrame* image : frame->Frames()) {
        const QSize shown = image->View()->viewport()->size();
        const double zoom = image->View()->Zoom() / 100.0;
        EXPECT_LE(image->Document().Image().Width() * zoom, shown.width() + 1);
        EXPECT_LE(image->Document().Image().Height() * zoom, shown.height() + 1);
    }
    // Close All closes images and browsers alike.
    frame->RunCommand(cmd::CloseAll);
    EXPECT_TRUE(frame->MdiArea()->subWindowList().isEmpty());
    EXPECT_FALSE(frame->WindowMenu()->menuAction()->isVisible());
}

TEST_F(Browser, KeysSortFilterAndTheTrash) {
    ImageBrowser* browser = OpenBrowser();
    QListView* grid = browser->Grid();
    const ThumbnailModel& model = browser->Model();
    grid->setFocus();
    grid->setCurrentIndex(model.index(0));
    Key(grid, Qt::Key_Right);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    Key(grid, Qt::Key_End);
    EXPECT_EQ(grid->currentIndex().row(), model.rowCount() - 1);
    Key(grid, Qt::Key_Home);
    EXPECT_EQ(grid->currentIndex().row(), 0);

    // Sorting by size puts the broken file first; the PNG filter keeps the PNG alone.
    browser->SortBox()->setCurrentIndex(browser->SortBox()->findText("Size"));
    EXPECT_EQ(model.index(0).data().toString(), "broken.jpg");
    const int tiff =
        browser->FilterBox()->findText("Portable Network Graphics", Qt::MatchStartsWith);
    ASSERT_GT(tiff, 0);
    browser->FilterBox()->setCurrentIndex(tiff);
    ASSERT_EQ(model.rowCount(), 1);
    browser->FilterBox()->setCurrentIndex(0);
    ASSERT_EQ(model.rowCount(), 5);

    // Delete asks; "No" keeps the file, "Yes" moves it to the trash.
    grid->selectionModel()->setCurrentIndex(model.index(RowOf(browser, "photo1.jpg")),
                                            QItemSelectionModel::ClearAndSelect);
    services.yes = false;
    Key(grid, Qt::Key_Delete);
    ASSERT_EQ(services.questions.size(), 1);
    EXPECT_TRUE(services.questions[0].contains("photo1.jpg"));
    EXPECT_TRUE(QFile::exists(pictures + "/photo1.jpg"));
    services.yes = true;
    Key(grid, Qt::Key_Delete);
    EXPECT_FALSE(QFile::exists(pictures + "/photo1.jpg"));
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(RowOf(browser, "photo1.jpg"), -1);
    EXPECT_TRUE(QFile::exists(folder.filePath("data/Trash/files/photo1.jpg")));
    EXPECT_TRUE(services.messages.isEmpty());

    // Backspace goes up to the parent folder; the tree follows.
    Key(grid, Qt::Key_Backspace);
    EXPECT_EQ(model.Folder(), folder.path());
    EXPECT_EQ(model.rowCount(), 0);
}

TEST_F(Browser, OpenUsesTheDialogWithAPreview) {
    const QString photo = pictures + "/photo3.jpg";
    bool checked = false;
    services.dialogHandler = [&](QDialog& dialog) {
        auto* open = qobject_cast<OpenDialog*>(&dialog);
        EXPECT_NE(open, nullptr);
        if (open == nullptr) {
            return int(QDialog::Rejected);
        }
        EXPECT_TRUE(open->testOption(QFileDialog::DontUseNativeDialog));
        EXPECT_TRUE(open->nameFilters().front().startsWith("All supported images (*.jpg"));
        EXPECT_TRUE(open->nameFilters().contains("Tagged Image File Format (*.tif *.tiff)"));
        open->ShowPreview(photo);
        EXPECT_FALSE(open->PreviewPicture()->pixmap().isNull());
        EXPECT_EQ(open->PreviewPicture()->pixmap().width(), 160);
        EXPECT_TRUE(open->PreviewText()->text().startsWith("500 x 200, 24 bit\n"));
        open->ShowPreview(pictures + "/broken.jpg");
        EXPECT_TRUE(open->PreviewText()->text().contains("Image error") ||
                    !open->PreviewText()->text().isEmpty());
        EXPECT_EQ(open->PreviewText()->text().count('\n'), 1);
        open->ShowPreview(pictures + "/inner");
        EXPECT_TRUE(open->PreviewText()->text().isEmpty());
        open->selectFile(photo);
        checked = true;
        return int(QDialog::Accepted);
    };
    frame->RunCommand(cmd::Open);
    EXPECT_TRUE(checked);
    ASSERT_EQ(frame->Frames().size(), 1);
    EXPECT_EQ(frame->ActiveFrame()->Document().Title(), "photo3.jpg");
}

} // namespace
} // namespace pixmill
