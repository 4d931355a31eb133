// File > Acquire Image in the real main window (offscreen): the scanner
// client's commands on the fake source manager, and scanning from the
// scanner library's virtual test device through the scan dialog.
#include "acquisition/gui/scan_dialog.h"
#include "acquisition/twain_document_client.h"
#include "app/main_frame.h"
#include "app/pixmill_app.h"
#include "desktop/commands.h"
#include "desktop/gui/gui_services.h"
#include "desktop/gui/image_frame.h"
#include "host/image_doc.h"
#include "pixmill/cv_image.h"
#include "support/plugin_library.h"
#include "support/sane_test_device.h"
#include "support/test_pane_site.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDoubleSpinBox>
#include <QMenu>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace pixmill {
namespace {

constexpr const char* kFakeManager = PIXMILL_TEST_PLUGIN_DIR "/twain/fake_twain_dsm.so";

class AcquireServices : public GuiServices {
  public:
    void ShowMessage(const char*, const char* text, MessageIcon) override {
        messages.push_back(QString::fromUtf8(text));
    }
    SaveAnswer AskSaveChanges(QWidget*, const QString&) override { return SaveAnswer::No; }
    int RunDialog(QDialog& dialog) override {
        return dialogHandler ? dialogHandler(dialog) : QDialog::Rejected;
    }
    QStringList messages;
    std::function<int(QDialog&)> dialogHandler;
};

class Acquire : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApplication();
        ASSERT_TRUE(folder.isValid());
        setenv("PIXMILL_SETTINGS", folder.filePath("Pixmill.ini").toLocal8Bit().constData(), 1);
        test::UseSaneTestDevice(folder.path().toStdString());
        setenv("PIXMILL_TWAIN_DSM", "/nonexistent/libtwaindsm.so", 1);
    }
    void TearDown() override {
        if (app && app->Frame()) {
            app->Frame()->close();
        }
        app.reset();
        unsetenv("PIXMILL_TWAIN_DSM");
    }
    MainFrame* Start() {
        app = std::make_unique<PixmillApp>(&services, PIXMILL_BIN_DIR);
        return app->InitInstance({}) ? app->Frame() : nullptr;
    }
    // Lets queued work run until the condition holds (or ten seconds pass).
    bool Until(const std::function<bool()>& condition) {
        QDeadlineTimer deadline(10000);
        while (!condition() && !deadline.hasExpired()) {
            QApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return condition();
    }

    QTemporaryDir folder;
    AcquireServices services;
    std::unique_ptr<PixmillApp> app;
};

TEST_F(Acquire, TheFileMenuOffersTheThreeWaysToAcquire) {
    MainFrame* frame = Start();
    ASSERT_NE(frame, nullptr);
    auto* menu = frame->findChild<QMenu*>(QStringLiteral("acquireMenu"));
    ASSERT_NE(menu, nullptr);
    QStringList texts;
    for (QAction* action : menu->actions()) {
        texts << action->text();
    }
    EXPECT_EQ(texts, (QStringList{"&Select source...", "&TWAIN_32", "S&can (SANE)..."}));
    EXPECT_EQ(frame->Action(cmd::TwainAcquire)->statusTip(), "Acquire image from scaner or camera");
    EXPECT_EQ(frame->Action(cmd::TwainSelectSource)->statusTip(), "Select TWAIN source");
}

TEST_F(Acquire, WithoutASourceManagerBothCommandsSaySo) {
    MainFrame* frame = Start();
    ASSERT_NE(frame, nullptr);
    frame->RunCommand(cmd::TwainSelectSource);
    frame->RunCommand(cmd::TwainAcquire);
    EXPECT_EQ(services.messages, (QStringList{"Twain is not available", "Twain is not available"}));
    EXPECT_EQ(frame->Twain().State(), TwainClient::ManagerUnloaded);
}

TEST_F(Acquire, PicturesFromTheSourceOpenAsUntitledWindows) {
    test::PluginLibrary manager(kFakeManager);
    ASSERT_NE(manager.handle, nullptr);
    manager.Entry<void (*)(const char*)>("FakeDsmConfigure")("images=3;thread=1");
    setenv("PIXMILL_TWAIN_DSM", kFakeManager, 1);
    MainFrame* frame = Start();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->Twain().State(), TwainClient::ManagerOpen) << "opened at start";
    frame->RunCommand(cmd::TwainAcquire);
    // The source's thread announces the pictures; the window takes them in
    // its own event loop.
    ASSERT_TRUE(Until([&] { return frame->Frames().size() == 3; }));
    for (ImageFrame* window : frame->Frames()) {
        EXPECT_TRUE(QString::fromStdString(window->Document().Title()).startsWith("Untitled"));
    }
    EXPECT_EQ(frame->Twain().State(), TwainClient::SourceEnabled);
    EXPECT_TRUE(services.messages.isEmpty());
    app->Frame()->close();
    app.reset(); // closes the source before the fake goes
}

TEST_F(Acquire, TheScanDialogSetsTheDeviceAndThePageBecomesAWindow) {
    MainFrame* frame = Start();
    ASSERT_NE(frame, nullptr);
    QStringList shownOptions;
    services.dialogHandler = [&](QDialog& dialog) {
        auto* scan = qobject_cast<ScanDialog*>(&dialog);
        EXPECT_NE(scan, nullptr);
        if (scan == nullptr || scan->Device() == nullptr) {
            return int(QDialog::Rejected);
        }
        EXPECT_EQ(scan->DeviceBox()->count(), 1);
        auto* mode = qobject_cast<QComboBox*>(scan->OptionField("mode"));
        EXPECT_NE(mode, nullptr);
        if (mode == nullptr) {
            return int(QDialog::Rejected);
        }
        mode->setCurrentText("Color");
        QApplication::processEvents(); // the fields are built again
        auto* resolution = qobject_cast<QDoubleSpinBox*>(scan->OptionField("resolution"));
        EXPECT_NE(resolution, nullptr);
        if (resolution != nullptr) {
            EXPECT_EQ(resolution->suffix(), " dpi");
            resolution->setValue(30);
            emit resolution->editingFinished();
            QApplication::processEvents();
        }
        for (const char* name : {"source", "mode", "depth", "resolution", "tl-x", "tl-y", "br-x",
                                 "br-y", "test-picture"}) {
            if (scan->OptionField(name) != nullptr) {
                shownOptions << name;
            }
        }
        return int(QDialog::Accepted);
    };
    frame->RunCommand(cmd::SaneScan);
    EXPECT_EQ(shownOptions, (QStringList{"source", "mode", "depth", "resolution", "tl-x", "tl-y",
                                         "br-x", "br-y"}))
        << "the special options of the test device stay out";
    ASSERT_EQ(frame->Frames().size(), 1);
    const CVImage& image = frame->Frames()[0]->Document().Image();
    EXPECT_EQ(image.BitCount(), 24);
    EXPECT_NEAR(image.Width(), 80 / 25.4 * 30, 1.0);
    EXPECT_NEAR(image.Height(), 100 / 25.4 * 30, 1.0);
    EXPECT_TRUE(services.messages.isEmpty()) << services.messages.join('\n').toStdString();

    services.dialogHandler = [](QDialog&) { return int(QDialog::Rejected); };
    frame->RunCommand(cmd::SaneScan);
    EXPECT_EQ(frame->Frames().size(), 1) << "a cancelled dialog scans nothing";
}

} // namespace
} // namespace pixmill
