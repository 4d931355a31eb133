// The desktop program driven through its real main window (offscreen): the
// real plug-ins from build/bin, files on disk, scripted answers for the
// questions and dialogs a person would answer.
#include "app/clipboard_image.h"
#include "app/main_frame.h"
#include "app/pixmill_app.h"
#include "desktop/commands.h"
#include "desktop/gui/gui_services.h"
#include "desktop/gui/image_canvas.h"
#include "desktop/gui/image_frame.h"
#include "desktop/gui/image_view.h"
#include "desktop/gui/operation_dialog.h"
#include "desktop/gui/preferences_dialog.h"
#include "desktop/gui/save_dialog.h"
#include "host/image_doc.h"
#include "host/plugin_manager.h"
#include "host/qsettings_store.h"
#include "host/size_text.h"
#include "pixmill/alpha_rule.h"
#include "support/test_host.h"
#include "support/test_images.h"
#include "support/test_pane_site.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSet>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QUrl>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <random>

namespace pixmill {
namespace {

class ScriptedServices : public GuiServices {
  public:
    void ShowMessage(const char* caption, const char* text, MessageIcon) override {
        messages.push_back(QString::fromUtf8(text));
        (void)caption;
    }
    bool AskYesNo(const char*, const char*, bool defaultAnswer) override { return defaultAnswer; }
    SaveAnswer AskSaveChanges(QWidget*, const QString& title) override {
        questions.push_back(title);
        if (saveAnswers.empty()) {
            return SaveAnswer::Cancel;
        }
        const SaveAnswer answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    QStringList GetOpenFileNames(QWidget*, const QString& filters, const QString&) override {
        lastFilters = filters;
        return openNames;
    }
    QString GetSaveFileName(QWidget*, const QString&, const QString& filters) override {
        lastFilters = filters;
        return saveName;
    }
    int RunDialog(QDialog& dialog) override {
        ++dialogs;
        return dialogHandler ? dialogHandler(dialog) : QDialog::Accepted;
    }

    QStringList messages;
    QStringList questions;
    std::deque<SaveAnswer> saveAnswers;
    QStringList openNames;
    QString saveName;
    QString lastFilters;
    int dialogs = 0;
    std::function<int(QDialog&)> dialogHandler;
};

// Mouse input straight to a widget (the offscreen windows are never exposed,
// so input routed through the window system would not arrive).
void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButton button) {
    const Qt::MouseButtons held =
        type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
    QMouseEvent event(type, at, widget->mapToGlobal(at), button,
                      type == QEvent::MouseMove ? held : Qt::MouseButtons(button), {});
    QApplication::sendEvent(widget, &event);
}

class Desktop : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApplication();
        ASSERT_TRUE(folder.isValid());
        settingsFile = folder.filePath("Pixmill.ini");
        setenv("PIXMILL_SETTINGS", settingsFile.toLocal8Bit().constData(), 1);
        photo = folder.filePath("photo.jpg");
        QImage picture(90, 60, QImage::Format_RGB32);
        for (int y = 0; y < 60; ++y) {
            for (int x = 0; x < 90; ++x) {
                picture.setPixel(x, y, qRgb(x * 2, y * 4, (x + y) % 256));
            }
        }
        ASSERT_TRUE(picture.save(photo, "JPG"));
    }
    void TearDown() override { Stop(); }

    MainFrame* Start(const QStringList& files = {}, const std::string& root = PIXMILL_BIN_DIR) {
        app = std::make_unique<PixmillApp>(&services, root);
        if (!app->InitInstance(files)) {
            return nullptr;
        }
        return app->Frame();
    }
    void Stop() {
        if (app && app->Frame()) {
            services.saveAnswers.assign(10, GuiServices::SaveAnswer::No);
            app->Frame()->close();
        }
        app.reset();
    }
    MainFrame* Frame() { return app->Frame(); }
    ImageFrame* Active() { return Frame()->ActiveFrame(); }
    int OperationId(const QString& name) {
        for (const Menu& menu : app->Plugins().Menus()) {
            for (const MenuItem& item : menu.items) {
                if (item.commandId != 0 && QString::fromStdString(item.text).remove('&') == name) {
                    return item.commandId;
                }
            }
        }
        return 0;
    }

    QTemporaryDir folder;
    QString settingsFile;
    QString photo;
    ScriptedServices services;
    std::unique_ptr<PixmillApp> app;
};

TEST_F(Desktop, DoesNotStartWithoutFormatPlugins) {
    QTemporaryDir empty;
    QDir(empty.path()).mkdir("Formats");
    EXPECT_EQ(Start({}, empty.path().toStdString()), nullptr);
}

TEST_F(Desktop, TheProgramEndsAtOnceWithoutFormats) {
    QTemporaryDir empty;
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PIXMILL_PLUGIN_ROOT", empty.path());
    program.setProcessEnvironment(environment);
    program.start(PIXMILL_BIN_DIR "/pixmill", {photo});
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 1);
}

TEST_F(Desktop, ProgressiveViewShowsTheWindowFirstAndReadsThePixelsAfter) {
    {
        QSettingsStore store(settingsFile.toStdString());
        ImageProperty image;
        image.progressiveView = 1;
        WriteRecord(store, kImagePropertyName, image);
        store.Flush();
    }
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    ImageDoc& document = Active()->Document();
    EXPECT_TRUE(document.PixelsPending());
    Active()->View()->viewport()->grab(); // paints as the screen would
    QApplication::processEvents();
    EXPECT_FALSE(document.PixelsPending());
    // Several files at once are read whole.
    const QString second = folder.filePath("second.jpg");
    QFile::copy(photo, second);
    frame->OpenFiles({photo, second});
    EXPECT_FALSE(Active()->Document().PixelsPending());
}

TEST_F(Desktop, NewWindowsFitTheAreaOrZoomToIt) {
    const QString large = folder.filePath("large.jpg");
    QImage picture(1600, 1200, QImage::Format_RGB32);
    picture.fill(qRgb(40, 90, 160));
    ASSERT_TRUE(picture.save(large, "JPG"));
    MainFrame* frame = Start({large});
    ASSERT_NE(frame, nullptr);
    const QSize area = frame->MdiArea()->viewport()->size();
    // By default a picture larger than the area opens zoomed to a step that
    // fits, its window inside the area.
    ImageView* view = Active()->View();
    EXPECT_LT(view->Zoom(), 100.0);
    EXPECT_EQ(view->Zoom(), SnapZoom(view->Zoom()));
    EXPECT_LE(ImageToScreen(1600, view->Zoom()), view->viewport()->width());
    EXPECT_LE(ImageToScreen(1200, view->Zoom()), view->viewport()->height());
    EXPECT_EQ(Active()->windowTitle(),
              QString::fromStdString(FrameTitle("large.jpg", view->Zoom())));
    EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(Active()->geometry()));
    // Without the preference the window is clipped to the area at 100 %.
    app->Settings().image.zoomToWindow = 0;
    frame->OpenFiles({large});
    EXPECT_EQ(Active()->View()->Zoom(), 100.0);
    EXPECT_LE(Active()->width(), area.width());
    EXPECT_LE(Active()->height(), area.height());
    EXPECT_TRUE(QRect(QPoint(0, 0), area).contains(Active()->geometry()));

    // Fit to Window, and an operation keeps the zoom and the scroll position.
    frame->RunCommand(cmd::ZoomIn);
    view = Active()->View();
    view->horizontalScrollBar()->setValue(300);
    view->verticalScrollBar()->setValue(200);
    services.dialogHandler = [](QDialog& dialog) {
        dialog.accept();
        return dialog.result();
    };
    frame->RunCommand(OperationId("Negative"));
    ASSERT_TRUE(Active()->Document().CanUndo());
    EXPECT_EQ(view->Zoom(), 200.0);
    EXPECT_EQ(view->horizontalScrollBar()->value(), 300);
    EXPECT_EQ(view->verticalScrollBar()->value(), 200);
    frame->RunCommand(cmd::FitToWindow);
    EXPECT_LE(ImageToScreen(1600, view->Zoom()), view->viewport()->width());
    EXPECT_LE(ImageToScreen(1200, view->Zoom()), view->viewport()->height());
}

TEST_F(Desktop, StartsWithoutDocumentsAndOffersEveryFormat) {
    MainFrame* frame = Start();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->Frames().isEmpty());
    // Without documents: no Image or Window menu, Edit offers Paste only.
    EXPECT_FALSE(frame->ImageMenu()->menuAction()->isVisible());
    EXPECT_TRUE(frame->Action(cmd::Paste)->isVisible());
    EXPECT_FALSE(frame->Action(cmd::Crop)->isVisible());
    EXPECT_EQ(frame->Action(cmd::Open)->shortcut(), QKeySequence("Ctrl+O"));
    EXPECT_EQ(frame->Action(cmd::Open)->statusTip(), "Open an existing document");
    services.openNames.clear();
    frame->RunCommand(cmd::Open);
    EXPECT_TRUE(services.lastFilters.startsWith("All supported images (*.jpg"));
    EXPECT_TRUE(services.lastFilters.contains("Tagged Image File Format (*.tif *.tiff)"));
}

TEST_F(Desktop, OpensCommandLineFilesAndRemembersThemAndTheBars) {
    const QString second = folder.filePath("second.jpg");
    QFile::copy(photo, second);
    MainFrame* frame = Start({photo, second});
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(frame->Frames().size(), 2);
    EXPECT_EQ(Active()->windowTitle(), "second.jpg (100%)");
    EXPECT_TRUE(frame->ImageMenu()->menuAction()->isVisible());
    EXPECT_EQ(frame->Pane(4)->text(), "90x60  24 bit ");
    EXPECT_EQ(frame->Pane(6)->text(), QString::fromStdString(SizeText(272 * 60))); // padded rows
    // The Image popup comes from the plug-ins and is enabled for the image.
    QAction* rotate = frame->Action(OperationId("Rotate"));
    ASSERT_NE(rotate, nullptr);
    frame->UpdateCommandStates();
    EXPECT_TRUE(rotate->isEnabled());
    // The Window menu lists the open windows, the active one checked.
    emit frame->WindowMenu()->aboutToShow();
    QStringList listed;
    QAction* first = nullptr;
    for (QAction* action : frame->WindowMenu()->actions()) {
        if (action->isCheckable()) {
            listed << action->text() + (action->isChecked() ? "*" : "");
            first = first ? first : action;
        }
    }
    EXPECT_EQ(listed, QStringList({"&1 photo.jpg (100%)", "&2 second.jpg (100%)*"}));
    ASSERT_NE(first, nullptr);
    first->trigger();
    EXPECT_EQ(Active()->windowTitle(), "photo.jpg (100%)");

    frame->Action(cmd::ToggleStatusBar)->trigger();
    EXPECT_TRUE(frame->statusBar()->isHidden());
    Stop();
    QSettingsStore store(settingsFile.toStdString());
    EXPECT_EQ(store.ReadBinary("Settings", "WindowPlace")->size(), 48u);
    EXPECT_EQ(store.ReadBinary("Settings", "ImageProperty")->size(), 304u);

    frame = Start();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->Frames().isEmpty());
    EXPECT_FALSE(frame->Action(cmd::ToggleStatusBar)->isChecked());
    EXPECT_TRUE(frame->statusBar()->isHidden());
    EXPECT_TRUE(frame->Action(cmd::ToggleToolbar)->isChecked());
    ASSERT_EQ(app->Recent().Files().size(), 2u);
    EXPECT_EQ(QString::fromStdString(app->Recent().Files()[0]),
              QFileInfo(second).absoluteFilePath());
}

TEST_F(Desktop, IgnoresAPlacementOfAnotherLength) {
    {
        QSettingsStore store(settingsFile.toStdString());
        Bytes place(44, 0);
        store.WriteBinary("Settings", "WindowPlace", place);
        store.Flush();
    }
    MainFrame* frame = Start();
    ASSERT_NE(frame, nullptr);
    EXPECT_TRUE(frame->Action(cmd::ToggleStatusBar)->isChecked());
    EXPECT_TRUE(frame->Action(cmd::ToggleToolbar)->isChecked());
}

TEST_F(Desktop, RunsAnOperationThroughItsDialogWithUndoAndRedo) {
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    bool previewed = false;
    services.dialogHandler = [&](QDialog& dialog) {
        auto* operation = dynamic_cast<OperationDialog*>(&dialog);
        if (operation == nullptr) {
            return int(QDialog::Rejected);
        }
        auto* quarter = operation->findChild<QRadioButton*>("id1000");
        if (quarter == nullptr) {
            return int(QDialog::Rejected);
        }
        quarter->click();
        operation->RefreshPreview();
        // The preview turned the picture too.
        previewed = operation->PreviewValid() && operation->PreviewResult().Width() == 60 &&
                    operation->PreviewResult().Height() == 90;
        operation->accept();
        return operation->QDialog::result();
    };
    frame->RunCommand(OperationId("Rotate"));
    EXPECT_TRUE(previewed);
    ImageDoc& document = Active()->Document();
    EXPECT_EQ(document.Image().Width(), 60);
    EXPECT_EQ(document.Image().Height(), 90);
    EXPECT_TRUE(document.IsModified());
    EXPECT_TRUE(frame->Action(cmd::Undo)->isEnabled());
    EXPECT_TRUE(frame->Action(cmd::Undo)->text().contains("Rotate"));
    EXPECT_FALSE(frame->Action(cmd::Redo)->isEnabled());

    frame->Action(cmd::Undo)->trigger();
    EXPECT_EQ(document.Image().Width(), 90);
    EXPECT_FALSE(document.IsModified());
    EXPECT_TRUE(frame->Action(cmd::Redo)->isEnabled());
    frame->Action(cmd::Redo)->trigger();
    EXPECT_EQ(document.Image().Width(), 60);
    EXPECT_TRUE(document.IsModified());

    // Cancelling the dialog changes nothing.
    services.dialogHandler = [](QDialog&) { return int(QDialog::Rejected); };
    frame->RunCommand(OperationId("Rotate"));
    EXPECT_EQ(document.Image().Width(), 60);
}

TEST_F(Desktop, ResamplesThroughThePlainSettingsDialog) {
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    bool plain = false;
    services.dialogHandler = [&](QDialog& dialog) {
        auto* width = dialog.findChild<QLineEdit*>("id1004");
        if (width == nullptr) {
            return int(QDialog::Rejected);
        }
        // Resample has no live preview: the pane stands alone.
        plain = !dialog.findChild<ImageCanvas*>("previewAfter")->isVisibleTo(&dialog);
        width->setText("45");
        dialog.accept();
        return dialog.result();
    };
    frame->RunCommand(OperationId("Resample"));
    EXPECT_TRUE(plain);
    EXPECT_EQ(Active()->Document().Image().Width(), 45);
    EXPECT_LE(Active()->Document().Image().Height(), 60);
}

TEST_F(Desktop, EscapeEndsWorkWithUserBreak) {
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    // Esc is waiting when the work begins.
    QApplication::postEvent(frame, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
    frame->RunCommand(OperationId("Median"));
    EXPECT_TRUE(services.messages.contains("User break"));
    EXPECT_EQ(Active()->Document().Image().Width(), 90);
    EXPECT_FALSE(Active()->Document().CanUndo());
}

TEST_F(Desktop, CropsTheSelectionDrawnWithTheMouse) {
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    frame->resize(800, 600);
    frame->RunCommand(cmd::SelectTool);
    ImageView* view = Active()->View();
    QWidget* viewport = view->viewport();
    const QPoint from = view->ViewportPointOf({10, 5});
    const QPoint to = view->ViewportPointOf({50, 35});
    SendMouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton);
    SendMouse(viewport, QEvent::MouseMove, to, Qt::NoButton);
    SendMouse(viewport, QEvent::MouseButtonRelease, to, Qt::LeftButton);
    ImageDoc& document = Active()->Document();
    ASSERT_TRUE(document.HasSelection());
    EXPECT_EQ(frame->Pane(4)->text(), "40x30  24 bit ");
    EXPECT_TRUE(frame->Action(cmd::Crop)->isEnabled());

    // Copy puts the selection on the clipboard; Paste makes a document of it.
    frame->RunCommand(cmd::Copy);
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(40, 30));
    frame->RunCommand(cmd::Crop);
    EXPECT_EQ(document.Image().Width(), 40);
    EXPECT_EQ(document.Image().Height(), 30);
    EXPECT_TRUE(document.IsModified());
    frame->RunCommand(cmd::Paste);
    ASSERT_EQ(frame->Frames().size(), 2);
    EXPECT_EQ(Active()->Document().Image().Width(), 40);
    EXPECT_TRUE(Active()->windowTitle().startsWith("Untitled1.jpg"));
}

TEST_F(Desktop, SavesAsJpegThroughTheOptionsDialog) {
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    // An opened picture shows its file's size, with the unit.
    EXPECT_EQ(frame->Pane(8)->text(), QString::fromStdString(SizeText(QFileInfo(photo).size())));
    EXPECT_TRUE(frame->Pane(8)->text().endsWith(" KB") || frame->Pane(8)->text().endsWith("bytes"));
    const QString target = folder.filePath("saved");
    services.saveName = target;
    QString fileText;
    bool preview = false;
    services.dialogHandler = [&](QDialog& dialog) {
        auto* save = dynamic_cast<SaveDialog*>(&dialog);
        if (save == nullptr) {
            return int(QDialog::Rejected);
        }
        fileText = save->FileSizeText();
        auto* written = save->findChild<ImageCanvas*>("written");
        preview =
            written != nullptr && written->Image() != nullptr && written->Image()->Width() == 90;
        save->accept();
        return save->result();
    };
    frame->RunCommand(cmd::SaveAs);
    EXPECT_TRUE(services.lastFilters.contains("(*.jpg *.jif"));
    EXPECT_TRUE(preview);
    const QString written = target + ".jpg";
    ASSERT_TRUE(QFile::exists(written));
    EXPECT_EQ(QImage(written).size(), QSize(90, 60));
    EXPECT_EQ(fileText, QString::fromStdString(SizeText(QFileInfo(written).size())));
    EXPECT_EQ(Active()->windowTitle(), "saved.jpg (100%)");
    EXPECT_EQ(frame->Pane(8)->text(), QString::fromStdString(SizeText(QFileInfo(written).size())));

    // Cancelling the dialog writes nothing.
    services.saveName = folder.filePath("never.jpg");
    services.dialogHandler = [](QDialog&) { return int(QDialog::Rejected); };
    frame->RunCommand(cmd::SaveAs);
    EXPECT_FALSE(QFile::exists(services.saveName));
}

// With a largest file set, the JPEG options name the level the size chose,
// with its 1..100 quality, after each write of the save dialog.
TEST_F(Desktop, TheSaveDialogNamesTheLevelTheSizeChose) {
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    services.saveName = folder.filePath("small.jpg");
    QString chosen, quality;
    services.dialogHandler = [&](QDialog& dialog) {
        auto* save = dynamic_cast<SaveDialog*>(&dialog);
        auto* budget = dialog.findChild<QLineEdit*>("id1012");
        if (save == nullptr || budget == nullptr) {
            return int(QDialog::Rejected);
        }
        budget->selectAll();
        QTest::keyClicks(budget, "800");
        save->Refresh();
        QApplication::processEvents();
        chosen = dialog.findChild<QLabel*>("chosenLevel")->text();
        quality = dialog.findChild<QLabel*>("luminanceQuality")->text();
        save->accept();
        return save->result();
    };
    frame->RunCommand(cmd::SaveAs);
    const QRegularExpression pattern(QStringLiteral("^chosen: level (\\d+) \\(quality (\\d+)\\)$"));
    const QRegularExpressionMatch match = pattern.match(chosen);
    ASSERT_TRUE(match.hasMatch()) << chosen.toStdString();
    EXPECT_GT(match.captured(1).toInt(), 0);
    EXPECT_LE(QFileInfo(services.saveName).size(), 800);
    EXPECT_EQ(quality, "quality 100") << "the stored level (0) is shown as it is";
}

TEST_F(Desktop, AsksBeforeClosingAModifiedDocument) {
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    frame->RunCommand(cmd::SelectAll);
    Active()->View()->SetSelection({0, 0, 30, 30});
    frame->RunCommand(cmd::Crop);
    ASSERT_TRUE(Active()->Document().IsModified());
    services.saveAnswers = {GuiServices::SaveAnswer::Cancel};
    frame->RunCommand(cmd::Close);
    EXPECT_EQ(services.questions, QStringList{"photo.jpg"});
    EXPECT_EQ(frame->Frames().size(), 1);
    // The program does not end while the document stays.
    services.saveAnswers = {GuiServices::SaveAnswer::Cancel};
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(frame->Frames().size(), 1);
    services.saveAnswers = {GuiServices::SaveAnswer::No};
    frame->RunCommand(cmd::Close);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(frame->Frames().isEmpty());
    EXPECT_EQ(QImage(photo).size(), QSize(90, 60)); // the file was left alone
}

TEST_F(Desktop, ABadFileShowsItsErrorAndChangesNothing) {
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    const QString bad = folder.filePath("bad.jpg");
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\xFF\xD8\xFF\xE0 not really a picture"));
    file.close();
    ImageDoc& document = Active()->Document();
    frame->OpenFiles({bad, folder.filePath("missing.tif")});
    EXPECT_EQ(services.messages.size(), 2);
    EXPECT_EQ(frame->Frames().size(), 1);
    EXPECT_EQ(&Active()->Document(), &document);
    EXPECT_EQ(document.Image().Width(), 90);
    EXPECT_EQ(app->Recent().Files().size(), 1u);

    // Dropped files take the same way: the bad one is reported, the good one opens.
    frame->OpenDropped({QUrl::fromLocalFile(bad), QUrl::fromLocalFile(photo)});
    EXPECT_EQ(services.messages.size(), 3);
    EXPECT_EQ(frame->Frames().size(), 2);
    EXPECT_EQ(document.Image().Width(), 90);
}

TEST_F(Desktop, ZoomsInStepsAndShowsTheZoomInTheTitle) {
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(frame->Action(cmd::ActualPixels)->isEnabled());
    frame->Action(cmd::ZoomIn)->trigger();
    EXPECT_EQ(Active()->windowTitle(), "photo.jpg (200%)");
    frame->Action(cmd::ZoomOut)->trigger();
    frame->Action(cmd::ZoomOut)->trigger();
    EXPECT_EQ(Active()->windowTitle(), "photo.jpg (67%)");
    // The main window names the active picture and marks unsaved changes.
    EXPECT_EQ(frame->windowTitle(), "photo.jpg (67%) \u2014 Pixmill");
    frame->RunCommand(OperationId("Negative"));
    EXPECT_EQ(frame->windowTitle(), "photo.jpg (67%) * \u2014 Pixmill");
    frame->RunCommand(cmd::Undo);
    EXPECT_EQ(frame->windowTitle(), "photo.jpg (67%) \u2014 Pixmill");
    EXPECT_TRUE(frame->Action(cmd::ActualPixels)->isEnabled());
    frame->Action(cmd::ActualPixels)->trigger();
    EXPECT_EQ(Active()->View()->Zoom(), 100.0);
    // The zoom tool: left click in, right click out.
    frame->RunCommand(cmd::ZoomTool);
    QWidget* viewport = Active()->View()->viewport();
    SendMouse(viewport, QEvent::MouseButtonPress, viewport->rect().center(), Qt::LeftButton);
    EXPECT_EQ(Active()->View()->Zoom(), 200.0);
    SendMouse(viewport, QEvent::MouseButtonPress, viewport->rect().center(), Qt::RightButton);
    EXPECT_EQ(Active()->View()->Zoom(), 100.0);
    frame->RunCommand(cmd::SelectTool);
}

TEST_F(Desktop, PreferencesCheckTheDirectoryAndApplyGammaAtOnce) {
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    QString typedGamma;
    services.dialogHandler = [&](QDialog& dialog) {
        auto* preferences = dynamic_cast<PreferencesDialog*>(&dialog);
        if (preferences == nullptr) {
            return int(QDialog::Rejected);
        }
        preferences->findChild<QCheckBox*>("useGamma")->setChecked(true);
        // Typed keys reach the field, a comma as the separator too.
        auto* gamma = preferences->findChild<QLineEdit*>("gamma");
        gamma->selectAll();
        QTest::keyClicks(gamma, "1,8");
        typedGamma = gamma->text();
        gamma->setText("25");
        auto* directory = preferences->findChild<QLineEdit*>("workingDirectory");
        directory->setText(folder.filePath("nowhere"));
        preferences->accept(); // refused: the page stays open
        if (preferences->isHidden() && preferences->result() == QDialog::Accepted) {
            return int(QDialog::Accepted);
        }
        directory->setText(folder.path());
        preferences->accept();
        return preferences->result();
    };
    frame->RunCommand(cmd::Preferences);
    EXPECT_EQ(services.messages, QStringList{"Path not found"});
    EXPECT_EQ(typedGamma, "1,8");
    EXPECT_EQ(app->Settings().gamma.enabled, 1);
    EXPECT_EQ(app->Settings().gamma.gamma, 10.0);
    EXPECT_EQ(ImageCanvas::DisplayGamma(), MakeGammaTable(app->Settings().gamma));
    Stop();
    // Gamma back off for the other tests in this process.
    ImageCanvas::SetDisplayGamma(MakeGammaTable({}));
}

// Answers any settings or save dialog with OK.
int AcceptDialog(QDialog& dialog) {
    dialog.accept();
    return dialog.result();
}

// Undo, then a new change: the undone picture can no longer come back over
// the new work, whether the change is an operation or a crop.
TEST_F(Desktop, ANewChangeAfterUndoLeavesNothingToRedo) {
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    services.dialogHandler = AcceptDialog;
    ImageDoc& document = Active()->Document();
    Active()->View()->SetSelection(RECT{10, 5, 50, 35});
    frame->RunCommand(cmd::Crop);
    frame->RunCommand(cmd::Undo);
    ASSERT_TRUE(frame->Action(cmd::Redo)->isEnabled());
    EXPECT_EQ(frame->Action(cmd::Redo)->text(), "&Redo Crop");

    frame->RunCommand(OperationId("Black and White (1-bit)"));
    ASSERT_EQ(document.Image().BitCount(), 1);
    EXPECT_FALSE(frame->Action(cmd::Redo)->isEnabled());
    EXPECT_EQ(frame->Action(cmd::Redo)->text(), "&Redo");
    frame->RunCommand(cmd::Redo);
    EXPECT_EQ(document.Image().BitCount(), 1) << "the black and white result stays";
    EXPECT_EQ(document.Image().Width(), 90);

    // The same after a crop: the undone black and white is gone.
    frame->RunCommand(cmd::Undo);
    ASSERT_TRUE(frame->Action(cmd::Redo)->isEnabled());
    Active()->View()->SetSelection(RECT{0, 0, 30, 20});
    frame->RunCommand(cmd::Crop);
    EXPECT_FALSE(document.CanRedo());
    EXPECT_EQ(document.Image().BitCount(), 24);
    frame->RunCommand(cmd::Undo);
    EXPECT_EQ(document.Image().Width(), 90);
    EXPECT_EQ(document.Image().BitCount(), 24);
}

// With a selection a filter changes the selected pixels only, as its
// preview shows; operations that reshape the picture take the whole of it.
TEST_F(Desktop, FiltersChangeOnlyTheSelection) {
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    ImageDoc& document = Active()->Document();
    CVImage before(&app->Host());
    const RECT whole{0, 0, 90, 60};
    CVImage::CopyImage(&before, &document.Image(), &whole);
    Active()->View()->SetSelection(RECT{20, 10, 50, 40});
    frame->RunCommand(OperationId("Negative"));
    ASSERT_TRUE(document.CanUndo());
    for (int y = 0; y < 60; ++y) {
        for (int x = 0; x < 90; ++x) {
            const bool inside = x >= 20 && x < 50 && y >= 10 && y < 40;
            const uint32_t was = test::PixelAt(before, x, y);
            ASSERT_EQ(test::PixelAt(document.Image(), x, y), inside ? ~was & 0xFFFFFF : was)
                << x << "," << y;
        }
    }
    frame->RunCommand(cmd::Undo);
    EXPECT_TRUE(test::SamePixels(document.Image(), before));
}

// Without a program to show help pages (the offscreen platform has none)
// the help commands say so instead of doing nothing.
TEST_F(Desktop, HelpWithoutABrowserSaysSo) {
    MainFrame* frame = Start({});
    ASSERT_NE(frame, nullptr);
    frame->RunCommand(cmd::HelpContents);
    ASSERT_EQ(services.messages.size(), 1);
    EXPECT_TRUE(services.messages[0].startsWith("No program could be started to show the help"))
        << services.messages[0].toStdString();
    EXPECT_TRUE(services.messages[0].contains("index.html"));
}

// Saving as GIF writes a 256-colour copy; the window keeps the full picture
// and its history, so the next save in another format has every colour.
TEST_F(Desktop, SavingAsGifConvertsOnlyTheWrittenCopy) {
    MainFrame* frame = Start({photo});
    ASSERT_NE(frame, nullptr);
    services.dialogHandler = AcceptDialog;
    ImageDoc& document = Active()->Document();
    Active()->View()->SetSelection(RECT{0, 0, 60, 40});
    frame->RunCommand(cmd::Crop);

    services.saveName = folder.filePath("x.gif");
    frame->RunCommand(cmd::SaveAs);
    {
        ImageDoc written(app->Host(), app->Plugins());
        ASSERT_TRUE(written.OnOpenDocument(services.saveName.toStdString()));
        EXPECT_EQ(written.Image().BitCount(), 8);
    }
    EXPECT_EQ(document.Image().BitCount(), 24);
    EXPECT_TRUE(frame->Action(cmd::Undo)->isEnabled());
    EXPECT_FALSE(document.IsModified());
    EXPECT_EQ(Active()->windowTitle(), "x.gif (100%)");
    EXPECT_TRUE(frame->statusBar()->currentMessage().contains("converted to 8 bits"))
        << frame->statusBar()->currentMessage().toStdString();

    services.saveName = folder.filePath("y.png");
    frame->RunCommand(cmd::SaveAs);
    const QImage full(services.saveName);
    ASSERT_FALSE(full.isNull());
    QSet<QRgb> colours;
    for (int y = 0; y < full.height(); ++y) {
        for (int x = 0; x < full.width(); ++x) {
            colours.insert(full.pixel(x, y));
        }
    }
    EXPECT_GT(colours.size(), 256);
    EXPECT_TRUE(frame->statusBar()->currentMessage().isEmpty());
}

// A resample moves the selection with the picture (each edge scaled); a turn
// clears it, since the same rectangle would frame another part.
TEST_F(Desktop, TheSelectionFollowsAResampleAndATurnClearsIt) {
    QImage picture(256, 160, QImage::Format_RGB32);
    picture.fill(qRgb(30, 90, 150));
    const QString large = folder.filePath("large.png");
    ASSERT_TRUE(picture.save(large));
    MainFrame* frame = Start({large});
    ASSERT_NE(frame, nullptr);
    ImageDoc& document = Active()->Document();
    Active()->View()->SetSelection(RECT{40, 20, 145, 95});
    frame->UpdateStatusPanes();
    EXPECT_EQ(frame->Pane(4)->text(), "105x75  24 bit ");
    services.dialogHandler = [&](QDialog& dialog) {
        if (auto* width = dialog.findChild<QLineEdit*>("id1004")) {
            width->setText("80");
        }
        return AcceptDialog(dialog);
    };
    frame->RunCommand(OperationId("Resample"));
    ASSERT_EQ(document.Image().Width(), 80);
    ASSERT_EQ(document.Image().Height(), 50);
    ASSERT_TRUE(document.HasSelection());
    EXPECT_EQ(frame->Pane(4)->text(), "32x24  24 bit ");
    frame->RunCommand(cmd::Crop);
    EXPECT_EQ(document.Image().Width(), 32);
    EXPECT_EQ(document.Image().Height(), 24);

    // Undo brings back the picture with the selection it had.
    frame->RunCommand(cmd::Undo);
    EXPECT_EQ(document.Selection().right - document.Selection().left, 32);
    services.dialogHandler = [](QDialog& dialog) {
        if (auto* quarter = dialog.findChild<QRadioButton*>("id1000")) {
            quarter->click();
        }
        return AcceptDialog(dialog);
    };
    frame->RunCommand(OperationId("Rotate"));
    ASSERT_EQ(document.Image().Width(), 50);
    EXPECT_FALSE(document.HasSelection());
    EXPECT_FALSE(frame->Action(cmd::Crop)->isEnabled());
    EXPECT_EQ(frame->Pane(4)->text(), "50x80  24 bit ");
}

// A photograph carrying EXIF saved as PNG: one eXIf chunk, before the image
// data, and a file pngcheck accepts.
TEST_F(Desktop, APhotographWithExifSavesAsAValidPng) {
    MainFrame* frame = Start({});
    ASSERT_NE(frame, nullptr);
    // Little-endian EXIF with one entry: Orientation 1.
    const std::vector<uint8_t> exif = {'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0, 0x12, 0x01, 3,
                                       0,   1,   0,  0, 0, 1, 0, 0, 0, 0, 0,    0,    0};
    const QString tagged = folder.filePath("tagged.jpg");
    {
        ImageDoc maker(app->Host(), app->Plugins());
        CVImage image(&app->Host());
        image.Create(48, 32, 24, 0, nullptr);
        std::mt19937 random(3);
        test::FillRandom(image, random);
        const ImageMetadata metadata{{}, exif};
        maker.TakeImage(image, nullptr, &metadata);
        ASSERT_TRUE(maker.OnSaveDocument(tagged.toStdString())) << maker.LastError();
    }
    frame->OpenFiles({tagged});
    ASSERT_NE(Active(), nullptr);
    ASSERT_EQ(Active()->Document().Metadata().exif, exif);
    services.dialogHandler = AcceptDialog;
    services.saveName = folder.filePath("tagged.png");
    frame->RunCommand(cmd::SaveAs);
    const std::string png = services.saveName.toStdString();
    const std::vector<std::string> chunks = test::PngChunks(png);
    ASSERT_FALSE(chunks.empty());
    const auto exifAt = std::find(chunks.begin(), chunks.end(), "eXIf");
    EXPECT_EQ(std::count(chunks.begin(), chunks.end(), "eXIf"), 1);
    EXPECT_LT(exifAt, std::find(chunks.begin(), chunks.end(), "IDAT"));
    EXPECT_EQ(test::PngCheckProblems(png), "");
}

// The preference "Save pictures in sRGB": a picture with its own profile is
// written as sRGB pixels without the profile; off, the profile and the
// stored values go with it.
TEST_F(Desktop, AWideGamutPictureSavesAsSrgbWhenThePreferenceSaysSo) {
    QFile profileFile("/usr/share/color/icc/compatibleWithAdobeRGB1998.icc");
    if (!profileFile.open(QIODevice::ReadOnly)) {
        GTEST_SKIP() << "the free ICC profiles (icc-profiles-free) are not installed";
    }
    const QByteArray profileBytes = profileFile.readAll();
    MainFrame* frame = Start({});
    ASSERT_NE(frame, nullptr);
    const QString wide = folder.filePath("wide.png");
    {
        ImageDoc maker(app->Host(), app->Plugins());
        CVImage image(&app->Host());
        image.Create(8, 8, 24, 0, nullptr);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                uint8_t* pixel = image.Row(y) + 3 * x; // a saturated green
                pixel[0] = 40, pixel[1] = 200, pixel[2] = 0;
            }
        }
        const ImageMetadata metadata{{profileBytes.begin(), profileBytes.end()}, {}};
        maker.TakeImage(image, nullptr, &metadata);
        ASSERT_TRUE(maker.OnSaveDocument(wide.toStdString())) << maker.LastError();
    }
    services.dialogHandler = [](QDialog& dialog) {
        if (auto* preferences = dynamic_cast<PreferencesDialog*>(&dialog)) {
            preferences->findChild<QCheckBox*>("saveAsSrgb")->setChecked(true);
        }
        return AcceptDialog(dialog);
    };
    frame->RunCommand(cmd::Preferences);
    ASSERT_EQ(app->Settings().image.saveAsSrgb, 1);
    frame->OpenFiles({wide});
    ASSERT_NE(Active(), nullptr);
    services.dialogHandler = AcceptDialog;
    for (const bool srgb : {true, false}) {
        SCOPED_TRACE(srgb ? "sRGB" : "own profile");
        app->Settings().image.saveAsSrgb = srgb ? 1 : 0;
        services.saveName = folder.filePath(srgb ? "srgb.png" : "kept.png");
        frame->RunCommand(cmd::SaveAs);
        ImageDoc written(app->Host(), app->Plugins());
        ASSERT_TRUE(written.OnOpenDocument(services.saveName.toStdString()));
        EXPECT_EQ(written.Metadata().icc.empty(), srgb);
        // Adobe RGB's green lies outside sRGB: converted, its red goes to 0
        // and its blue changes; kept, the stored values stay.
        const uint8_t* pixel = written.Image().Row(4) + 12;
        if (srgb) {
            EXPECT_NE(pixel[0], 40);
        } else {
            EXPECT_EQ(pixel[0], 40);
            EXPECT_EQ(pixel[1], 200);
        }
    }
}

// A partly transparent picture opens with its alpha plane: the status pane
// says 32 bit; saving as PNG keeps the plane and as JPEG flattens it on
// white, leaving the window's picture whole; operations that do not take
// the plane see the flattened picture (their preview too) and undo brings
// the plane back, while Resample keeps it; the clipboard gets the picture
// flattened, and a picture with partial alpha from the clipboard keeps it.
TEST_F(Desktop, APartlyTransparentPictureKeepsItsAlphaPlane) {
    MainFrame* frame = Start({});
    ASSERT_NE(frame, nullptr);
    const QString soft = folder.filePath("soft.png");
    CVImage original(&app->Host());
    original.CreateWithAlpha(32, 16);
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 32; ++x) {
            uint8_t* pixel = original.Row(y) + 4 * x;
            pixel[0] = static_cast<uint8_t>(8 * x), pixel[1] = static_cast<uint8_t>(16 * y);
            pixel[2] = 200, pixel[3] = static_cast<uint8_t>(x * 255 / 31);
        }
    }
    {
        ImageDoc maker(app->Host(), app->Plugins());
        maker.TakeImage(original, nullptr);
        ASSERT_TRUE(maker.OnSaveDocument(soft.toStdString())) << maker.LastError();
    }
    frame->OpenFiles({soft});
    ASSERT_NE(Active(), nullptr);
    ImageDoc& document = Active()->Document();
    ASSERT_TRUE(test::SamePixels(document.Image(), original));
    EXPECT_TRUE(Active()->View()->ImageSizePane().contains("32 bit"));

    // The pixel (16, 5) is about half transparent: on white in a JPEG.
    const auto onWhite = [&](int channel) {
        return BlendOnBackground(original.Row(5)[4 * 16 + channel], original.Row(5)[4 * 16 + 3]);
    };
    services.dialogHandler = AcceptDialog;
    for (const char* name : {"kept.png", "flat.jpg"}) {
        SCOPED_TRACE(name);
        services.saveName = folder.filePath(name);
        frame->RunCommand(cmd::SaveAs);
        ImageDoc written(app->Host(), app->Plugins());
        ASSERT_TRUE(written.OnOpenDocument(services.saveName.toStdString()));
        if (QString(name).endsWith(".png")) {
            EXPECT_TRUE(test::SamePixels(written.Image(), original));
        } else {
            ASSERT_EQ(written.Image().BitCount(), 24);
            const uint8_t* pixel = written.Image().Row(5) + 3 * 16;
            for (int channel = 0; channel < 3; ++channel) {
                EXPECT_NEAR(pixel[channel], onWhite(channel), 12) << "channel " << channel;
            }
        }
        EXPECT_TRUE(test::SamePixels(document.Image(), original)) << "the window keeps the plane";
    }

    // Rotate's preview works on the flattened picture, Resample's keeps alpha.
    std::map<QString, bool> previewAlpha;
    services.dialogHandler = [&](QDialog& dialog) {
        if (auto* operation = dynamic_cast<OperationDialog*>(&dialog)) {
            operation->RefreshPreview();
            if (operation->PreviewValid()) {
                previewAlpha[dialog.windowTitle()] = operation->PreviewResult().HasAlphaPlane();
            }
        }
        return int(QDialog::Rejected);
    };
    frame->RunCommand(OperationId("Rotate"));
    frame->RunCommand(OperationId("Resample"));
    EXPECT_EQ(previewAlpha, (std::map<QString, bool>{{"Rotate", false}, {"Resample", true}}));

    ASSERT_TRUE(app->Plugins().CanApplyCommand(&document.Image(), OperationId("Negative")));
    frame->RunCommand(OperationId("Negative"));
    ASSERT_EQ(document.Image().BitCount(), 24);
    EXPECT_EQ(document.Image().Row(5)[3 * 16], static_cast<uint8_t>(255 - onWhite(0)));
    frame->RunCommand(cmd::Undo);
    EXPECT_TRUE(test::SamePixels(document.Image(), original));

    frame->RunCommand(cmd::SelectAll);
    frame->RunCommand(cmd::Copy);
    const QImage copied = QApplication::clipboard()->image().convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(copied.size(), QSize(32, 16));
    EXPECT_EQ(qAlpha(copied.pixel(16, 5)), 255);
    EXPECT_EQ(qBlue(copied.pixel(16, 5)), onWhite(0));
    EXPECT_EQ(qRed(copied.pixel(16, 5)), onWhite(2));

    QImage withAlpha(4, 2, QImage::Format_ARGB32);
    withAlpha.fill(qRgba(10, 20, 30, 100));
    QApplication::clipboard()->setImage(withAlpha);
    frame->RunCommand(cmd::Paste);
    ASSERT_TRUE(Active()->Document().Image().HasAlphaPlane());
    EXPECT_EQ(test::PixelAt(Active()->Document().Image(), 3, 1), 0x640A141Eu);
}

// The clipboard's pictures: the packed bitmap of a selection, for every depth
// and odd offsets, shows the selected pixels through the palette; a picture
// taken from the clipboard keeps its pixels.
TEST(ClipboardImage, CopiesTheSelectionOfEveryDepthExactly) {
    test::EnsureApplication();
    test::TestHost host;
    PluginManager plugins(host.get());
    std::mt19937 random(11);
    for (int bits : {1, 4, 8, 24}) {
        CVImage image(host.get());
        image.Create(45, 17, bits, bits == 24 ? 0 : 1 << bits, nullptr);
        test::FillRandom(image, random);
        test::FillRandomPalette(image, random);
        ImageDoc document(*host, plugins);
        document.TakeImage(image, nullptr);
        const RECT selection{3, 2, 40, 15};
        document.SetSelection(selection);
        const PackedDib dib = document.OnCopy();
        ASSERT_NE(dib.block, nullptr);
        const QImage copied = ImageFromPackedDib(static_cast<const uint8_t*>(dib.block), dib.size);
        host->Free(dib.block);
        ASSERT_EQ(copied.size(), QSize(37, 13)) << bits << " bit";
        for (int y = 0; y < 13; ++y) {
            for (int x = 0; x < 37; ++x) {
                uint32_t value = test::PixelAt(image, x + 3, y + 2);
                if (bits != 24) {
                    const RGBQUAD& c = image.palette[value];
                    value = uint32_t{c.rgbRed} << 16 | uint32_t{c.rgbGreen} << 8 | c.rgbBlue;
                }
                ASSERT_EQ(copied.pixel(x, y) & 0xFFFFFFu, value)
                    << bits << " bit at (" << x << ", " << y << ")";
            }
        }
        // Back from the clipboard: the same colours, as a 24-bit picture.
        CVImage pasted(host.get());
        ImageFromQImage(copied, pasted);
        ASSERT_EQ(pasted.BitCount(), 24);
        for (int y = 0; y < 13; ++y) {
            for (int x = 0; x < 37; ++x) {
                ASSERT_EQ(test::PixelAt(pasted, x, y), copied.pixel(x, y) & 0xFFFFFFu);
            }
        }
    }
}

} // namespace
} // namespace pixmill
