// The compound image window driven with the mouse and its menus (offscreen):
// regions drawn on a picture of a real page, linked through the properties
// dialog and written back into the page in each of the three forms, then
// read again from the page file; the saving messages, zoom and the main
// window's commands that open compound image windows.
#include "../compound/compound_test_util.h"
#include "app/main_frame.h"
#include "app/pixmill_app.h"
#include "compound/gui/compound_image_commands.h"
#include "compound/gui/compound_image_frame.h"
#include "compound/gui/compound_image_view.h"
#include "compound/html_page_doc.h"
#include "compound/plugin_image_files.h"
#include "compound/text_renderer.h"
#include "compound/tracking/polygon_tracker.h"
#include "desktop/commands.h"
#include "desktop/gui/gui_services.h"
#include "desktop/image_display.h"
#include "host/settings_store.h"
#include "support/test_pane_site.h"

#include <QApplication>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

namespace pixmill {
namespace {

class ScriptedServices : public GuiServices {
  public:
    void ShowMessage(const char*, const char* text, MessageIcon) override {
        messages.push_back(text);
    }
    bool AskYesNo(const char*, const char* text, bool defaultAnswer) override {
        questions.push_back(text);
        return defaultAnswer;
    }
    SaveAnswer AskSaveChanges(QWidget*, const QString&) override { return SaveAnswer::No; }
    QString GetSaveFileName(QWidget*, const QString&, const QString&) override { return saveName; }
    int RunDialog(QDialog& dialog) override {
        dialogs.push_back(dialog.objectName());
        return handler ? handler(dialog) : QDialog::Rejected;
    }

    std::vector<std::string> messages, questions;
    QStringList dialogs;
    QString saveName;
    std::function<int(QDialog&)> handler;
};

class EditWindow : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApplication();
        SetCompoundWindowContext({&services, fx.files.get(), &store, {}, {}});
    }
    void TearDown() override { SetCompoundWindowContext({}); }

    std::unique_ptr<CompoundImageFrame> Open(CompoundImage image, SaveIntoPage save = {}) {
        auto frame =
            std::make_unique<CompoundImageFrame>(std::move(image), "photo", std::move(save));
        frame->setAttribute(Qt::WA_DeleteOnClose, false);
        frame->resize(500, 400);
        frame->show();
        return frame;
    }
    // A drag with the left button on the canvas (zoom 1, not scrolled).
    static void Drag(CompoundImageView* view, QPoint from, QPoint to) {
        QWidget* area = view->viewport();
        QTest::mousePress(area, Qt::LeftButton, {}, from);
        QTest::mouseMove(area, to);
        QMouseEvent move(QEvent::MouseMove, to, area->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         {});
        QApplication::sendEvent(area, &move);
        QTest::mouseRelease(area, Qt::LeftButton, {}, to);
    }
    // Answers the properties dialog with a link.
    void LinkSelected(CompoundImageFrame& frame, const QString& url) {
        services.handler = [url](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("url"))->setText(url);
            return int(QDialog::Accepted);
        };
        frame.RunCommand(editcmd::ObjectProperties);
        services.handler = {};
    }

    test::CompoundFixture fx;
    ScriptedServices services;
    MemorySettingsStore store;
};

struct Region {
    int kind;
    long left, top, right, bottom;
    std::string url;
    bool operator==(const Region&) const = default;
};

std::vector<Region> RegionsOf(const CompoundImage& image) {
    std::vector<Region> regions;
    for (const CompoundObject& object : image.Objects()) {
        if (object.IsRegion()) {
            regions.push_back({object.kind, object.rect.left, object.rect.top, object.rect.right,
                               object.rect.bottom, object.link.url});
        }
    }
    return regions;
}

TEST_F(EditWindow, RegionsDrawnWithTheMouseAreWrittenIntoThePageInEveryForm) {
    fx.Picture("photo.png", 160, 120);
    const std::string pagePath = fx.Path("page.htm");
    for (CompoundForm form : {CompoundForm::Html, CompoundForm::Applet, CompoundForm::ImageMap}) {
        SCOPED_TRACE(static_cast<int>(form));
        {
            std::ofstream out(pagePath, std::ios::trunc);
            out << "<HTML><BODY>\n<P>Before</P>\n<IMG SRC=\"photo.png\">\n<P>After</P>\n"
                   "</BODY></HTML>\n";
        }
        HtmlPageDoc page(fx.files.get(), &services);
        ASSERT_TRUE(page.Open(pagePath, false));
        ASSERT_EQ(page.Objects().size(), 1u);
        std::string saveError;
        int saves = 0;
        auto frame =
            Open(page.ReadCompound(0), [&](const CompoundImage& image, std::string* error) {
                ++saves;
                WriteBackOptions options;
                options.form = form;
                options.imagePath = fx.Path("photo-map.png");
                options.imageDirectory = fx.dir.string();
                return page.WriteBack(0, image, options, error) && page.Save(pagePath, error);
            });
        CompoundImageView* view = frame->View();

        frame->RunCommand(editcmd::RectangleTool);
        Drag(view, {20, 20}, {60, 50});
        ASSERT_EQ(frame->Document().Selected(), 0);
        EXPECT_EQ(frame->ShapePane(), "Rectangle  Position X: 20  Y: 20  Width: 40  Height: 30");
        LinkSelected(*frame, "a.htm");

        frame->RunCommand(editcmd::CircleTool);
        Drag(view, {100, 60}, {100, 75});
        ASSERT_EQ(frame->Document().Selected(), 1);
        EXPECT_EQ(frame->ShapePane(), "Circle  Center X: 100  Y: 60  Radius: 15");
        LinkSelected(*frame, "http://example.com/b");

        // The rectangle's bottom-right handle, dragged with the select tool.
        frame->RunCommand(editcmd::SelectTool);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, {40, 35});
        ASSERT_EQ(frame->Document().Selected(), 0);
        Drag(view, {60, 50}, {70, 55});

        const std::vector<Region> drawn = RegionsOf(frame->Document().Image());
        const std::vector<Region> expected = {
            {CompoundKind::Rectangle, 20, 20, 70, 55, "a.htm"},
            {CompoundKind::Circle, 85, 45, 115, 75, "http://example.com/b"}};
        EXPECT_EQ(drawn, expected);

        frame->RunCommand(editcmd::SaveIntoPage);
        EXPECT_EQ(saves, 1);
        EXPECT_TRUE(services.messages.empty());
        EXPECT_FALSE(frame->Document().IsModified());

        HtmlPageDoc reopened(fx.files.get(), &services);
        ASSERT_TRUE(reopened.Open(pagePath, false));
        ASSERT_EQ(reopened.Objects().size(), 1u);
        EXPECT_EQ(RegionsOf(reopened.ReadCompound(0)), expected);
        std::ifstream in(pagePath);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        EXPECT_LT(text.find("Before"), text.find("a.htm"));
        EXPECT_GT(text.find("After"), text.find("a.htm"));
    }
}

TEST_F(EditWindow, PolygonsAreClickedClosedAndLosePointsWithDelete) {
    auto frame = Open(CompoundImage(CompoundDefaults{}));
    CompoundImageView* view = frame->View();
    frame->RunCommand(editcmd::PolygonTool);
    QWidget* area = view->viewport();
    for (QPoint point : {QPoint(10, 10), QPoint(80, 10), QPoint(80, 60)}) {
        QTest::mouseClick(area, Qt::LeftButton, {}, point);
    }
    ASSERT_NE(view->Drawing(), nullptr);
    EXPECT_TRUE(view->Drawing()->ConfinesCursor());
    QTest::mouseDClick(area, Qt::LeftButton, {}, {10, 60});
    EXPECT_EQ(view->Drawing(), nullptr);
    ASSERT_EQ(frame->Document().Image().Objects().size(), 1u);
    EXPECT_EQ(frame->Document().Image().Objects()[0].points.size(), 4u);

    frame->RunCommand(editcmd::SelectTool);
    QTest::mouseClick(area, Qt::LeftButton, {}, {40, 30}); // inside: selects it
    QTest::mouseClick(area, Qt::LeftButton, {}, {80, 60}); // a point
    QTest::keyClick(view, Qt::Key_Delete);
    ASSERT_EQ(frame->Document().Image().Objects().size(), 1u);
    EXPECT_EQ(frame->Document().Image().Objects()[0].points.size(), 3u);
    // Three points are the fewest: the next Delete removes the polygon.
    QTest::mouseClick(area, Qt::LeftButton, {}, {80, 10});
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_TRUE(frame->Document().Image().Objects().empty());
}

TEST_F(EditWindow, SavingMessagesForEmptyImagesAndPicturesNotForTheWeb) {
    int saves = 0;
    std::string savedFile;
    const SaveIntoPage save = [&](const CompoundImage& image, std::string*) {
        ++saves;
        savedFile = image.Objects().at(0).fileName;
        return true;
    };
    auto empty = Open(CompoundImage(CompoundDefaults{}), save);
    empty->RunCommand(editcmd::SaveIntoPage);
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(services.messages, std::vector<std::string>{"The Compound image is empty."});

    services.messages.clear();
    const std::string tiff = fx.Picture("scan.tif", 40, 30);
    CompoundImage image{CompoundDefaults{}};
    image.Insert(CompoundObject::MakeImage(
        std::make_shared<const QImage>(fx.files->Read(tiff, nullptr)), tiff, 0, 0));
    auto frame = Open(std::move(image), save);
    QString title;
    services.handler = [&](QDialog& dialog) {
        title = dialog.windowTitle();
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        EXPECT_NE(files, nullptr);
        EXPECT_EQ(files->nameFilters().front(), "GIF Files (*.gif)");
        files->selectFile(QString::fromStdString(fx.Path("scan-web")));
        files->selectNameFilter(files->nameFilters().at(2));
        return int(QDialog::Accepted);
    };
    frame->RunCommand(editcmd::SaveIntoPage);
    EXPECT_EQ(title, "Save HTML compatible image");
    ASSERT_EQ(services.messages.size(), 1u);
    EXPECT_EQ(services.messages[0],
              "The " + tiff +
                  " should be saved\n in to one of the HTML supported formats (GIF, "
                  "PNG, JPEG)");
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(savedFile, fx.Path("scan-web.png"));
}

TEST_F(EditWindow, ZoomKeepsTheCentreAndNamesItInTheTitle) {
    CompoundImage image{CompoundDefaults{}};
    image.SetCanvas(800, 600, 0xFFFFFF);
    image.Insert(CompoundObject::MakeImage(
        std::make_shared<const QImage>(fx.files->Read(fx.Picture("p.png", 120, 90), nullptr)),
        fx.Path("p.png"), 0, 0));
    auto frame = Open(std::move(image));
    EXPECT_EQ(frame->windowTitle(), "photo (100%)");
    EXPECT_EQ(frame->CanvasPane(), "800x600");
    CompoundImageView* view = frame->View();
    view->ZoomAt(1.0, {300, 200});
    const QPointF before = view->CenterPoint();
    frame->RunCommand(editcmd::ZoomIn);
    const double zoomed = NextZoom(100.0, true);
    EXPECT_EQ(frame->windowTitle(), QString::asprintf("photo (%.0f%%)", zoomed));
    EXPECT_NEAR(view->CenterPoint().x(), before.x(), 1.0);
    EXPECT_NEAR(view->CenterPoint().y(), before.y(), 1.0);

    // The zoom tool: a click zooms in, a Shift-click out.
    frame->RunCommand(editcmd::ZoomTool);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ShiftModifier, {50, 50});
    EXPECT_DOUBLE_EQ(view->Zoom(), 1.0);

    frame->RunCommand(editcmd::Minimise);
    EXPECT_EQ(frame->CanvasPane(), "120x90");
    EXPECT_TRUE(frame->windowTitle().endsWith(" *"));
}

// The program loads the plug-ins itself here, without the fixture's copy.
TEST(CompoundMainWindow, OpensNewImagesAndImageMaps) {
    test::EnsureApplication();
    ScriptedServices services;
    QTemporaryDir home;
    setenv("PIXMILL_SETTINGS", home.filePath("Pixmill.ini").toLocal8Bit().constData(), 1);
    const std::string photo = home.filePath("map.png").toStdString();
    QImage picture(70, 50, QImage::Format_RGB888);
    picture.fill(Qt::darkGreen);
    ASSERT_TRUE(picture.save(QString::fromStdString(photo)));
    PixmillApp app(&services, PIXMILL_BIN_DIR);
    ASSERT_TRUE(app.InitInstance({QString::fromStdString(photo)}));
    MainFrame* main = app.Frame();
    main->RunCommand(cmd::ImageMap);
    auto* map = qobject_cast<CompoundImageFrame*>(main->MdiArea()->activeSubWindow());
    ASSERT_NE(map, nullptr);
    ASSERT_EQ(map->Document().Image().Objects().size(), 1u);
    EXPECT_EQ(map->Document().Image().Objects()[0].fileName, photo);
    EXPECT_EQ(map->CanvasPane(), "70x50");

    main->RunCommand(cmd::NewCompound);
    auto* fresh = qobject_cast<CompoundImageFrame*>(main->MdiArea()->activeSubWindow());
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, map);
    EXPECT_TRUE(fresh->Document().Image().Objects().empty());
    EXPECT_EQ(fresh->CanvasPane(), "500x500");
    main->close();
}

// Text put over a picture stays over it in the saved page: the page lists
// the objects in their stacking order (a browser paints later ones on top),
// and reading the page again gives the same order and the same picture.
TEST(CompoundMainWindow, TextOverAPictureStaysOverItInTheSavedPage) {
    test::EnsureApplication();
    ScriptedServices services;
    QTemporaryDir home;
    setenv("PIXMILL_SETTINGS", home.filePath("Pixmill.ini").toLocal8Bit().constData(), 1);
    const QString photo = home.filePath("backdrop.png");
    QImage picture(500, 500, QImage::Format_RGB888);
    picture.fill(QColor(0, 100, 0));
    ASSERT_TRUE(picture.save(photo));
    PixmillApp app(&services, PIXMILL_BIN_DIR);
    ASSERT_TRUE(app.InitInstance({}));
    MainFrame* main = app.Frame();
    main->RunCommand(cmd::NewCompound);
    auto* frame = qobject_cast<CompoundImageFrame*>(main->MdiArea()->activeSubWindow());
    ASSERT_NE(frame, nullptr);
    services.handler = [&](QDialog& dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
            files->selectFile(photo);
        }
        return int(QDialog::Accepted);
    };
    frame->RunCommand(editcmd::InsertImage);
    frame->RunCommand(editcmd::InsertText);
    const auto& objects = frame->Document().Image().Objects();
    ASSERT_EQ(objects.size(), 2u);
    ASSERT_EQ(objects[1].kind, CompoundKind::Text);
    const RECT box = objects[1].rect;
    // The text's box in the composed picture holds more than the backdrop.
    auto textShows = [&box](const QImage& composed) {
        for (int y = box.top; y < box.bottom; ++y) {
            for (int x = box.left; x < box.right; ++x) {
                if (composed.pixelColor(x, y) != QColor(0, 100, 0)) {
                    return true;
                }
            }
        }
        return false;
    };
    ASSERT_TRUE(textShows(ComposeCanvas(frame->Document().Image())));

    const std::string pagePath = home.filePath("page.htm").toStdString();
    services.saveName = QString::fromStdString(pagePath);
    frame->RunCommand(editcmd::SaveAsPage);
    std::ifstream in(pagePath);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    ASSERT_NE(text.find("backdrop.png"), std::string::npos) << text;
    ASSERT_NE(text.find(">Text<"), std::string::npos) << text;
    EXPECT_LT(text.find("backdrop.png"), text.find(">Text<")) << "the picture is written first";

    PluginImageFiles files(app.Host(), app.Plugins());
    HtmlPageDoc page(&files, &services);
    ASSERT_TRUE(page.Open(pagePath, false));
    ASSERT_EQ(page.Objects().size(), 1u);
    const CompoundImage reopened = page.ReadCompound(0);
    ASSERT_EQ(reopened.Objects().size(), 2u);
    EXPECT_EQ(reopened.Objects()[0].kind, CompoundKind::Image);
    EXPECT_EQ(reopened.Objects()[1].kind, CompoundKind::Text);
    EXPECT_TRUE(textShows(ComposeCanvas(reopened)));
    main->close();
}

} // namespace
} // namespace pixmill
