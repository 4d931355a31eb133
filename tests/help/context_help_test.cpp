// Context help in the program's windows: F1 on a control opens its topic
// (or its nearest parent's), falling back to the window's own Help; the
// operation dialog's Help button opens the operation's page; a topic without
// a page opens the contents, naming the topic. And the About box's library
// versions.
#include "app/library_versions.h"
#include "desktop/gui/operation_dialog.h"
#include "host/plugin_manager.h"
#include "pixmill/cv_image.h"
#include "pixmill/help.h"
#include "pixmill/processing_plugin.h"
#include "support/test_host.h"
#include "support/test_pane_site.h"

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUrlQuery>
#include <QVBoxLayout>

#include <cstdlib>

namespace pixmill {

namespace {

class Opened : public QObject {
    Q_OBJECT
  public:
    Opened() {
        test::EnsureApplication();
        setenv("PIXMILL_HELP_DIR", PIXMILL_BIN_DIR "/help", 1);
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "open");
    }
    ~Opened() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    // The file name (and query) of the last page opened, then forgets it.
    QString Take() {
        const QString page = last.isValid()
                                 ? last.fileName() + (last.hasQuery() ? "?" + last.query() : "")
                                 : QString();
        last = QUrl();
        return page;
    }
  public slots:
    void open(const QUrl& url) { last = url; }

  private:
    QUrl last;
};

void PressF1(QWidget* window, QWidget* control) {
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    control->setFocus();
    QTest::keyClick(control, Qt::Key_F1);
}

TEST(ContextHelp, F1OpensTheFocusedControlsTopicOrTheWindowsOwn) {
    Opened opened;
    QDialog window;
    int windowHelp = 0;
    InstallContextHelp(&window, [&] { ++windowHelp; });
    auto* layout = new QVBoxLayout(&window);
    auto* level = new QLineEdit(&window);
    level->setProperty(kHelpIdProperty, 68);
    auto* group = new QWidget(&window);
    group->setProperty(kHelpIdProperty, 70);
    auto* inGroup = new QLineEdit(group);
    auto* plain = new QLineEdit(&window);
    for (QWidget* w : {static_cast<QWidget*>(level), group, static_cast<QWidget*>(plain)}) {
        layout->addWidget(w);
    }
    window.setProperty(kHelpIdProperty, 999); // the window's own id is not a control's

    PressF1(&window, level);
    EXPECT_EQ(opened.Take(), "68.html");
    PressF1(&window, inGroup);
    EXPECT_EQ(opened.Take(), "70.html");
    EXPECT_EQ(windowHelp, 0);
    PressF1(&window, plain);
    EXPECT_EQ(opened.Take(), "");
    EXPECT_EQ(windowHelp, 1);
    EXPECT_EQ(ContextHelpId(inGroup, group), 0);
    EXPECT_EQ(ContextHelpId(nullptr, &window), 0);
}

TEST(ContextHelp, ATopicWithoutAPageOpensTheContentsNamingIt) {
    Opened opened;
    EXPECT_TRUE(OpenHelpPage(66));
    EXPECT_EQ(opened.Take(), "66.html");
    EXPECT_FALSE(OpenHelpPage(424242));
    EXPECT_EQ(opened.Take(), "index.html?topic=424242");
    EXPECT_TRUE(OpenHelpContents());
    EXPECT_EQ(opened.Take(), "index.html");
}

TEST(ContextHelp, TheOperationDialogsHelpButtonAndItsControls) {
    Opened opened;
    test::TestHost host;
    PluginManager plugins(host.get());
    plugins.LoadProcessing(PIXMILL_BIN_DIR "/Processing/");
    int resample = 0;
    for (int i = 0; i < plugins.ProcessorCount() && resample == 0; ++i) {
        for (int op = 0; op < plugins.OperationCountOf(i); ++op) {
            const int command = plugins.FirstCommandOf(i) + op;
            if (std::string(plugins.SelectOperation(command)->GetName(false)) == "Resample") {
                resample = command;
            }
        }
    }
    ASSERT_NE(resample, 0);
    CVImage image(host.get());
    image.Create(45, 17, 24, 0, nullptr);
    {
        OperationDialog dialog(plugins.SelectOperation(resample), &image, std::nullopt, nullptr);
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        ASSERT_NE(buttons->button(QDialogButtonBox::Help), nullptr);
        buttons->button(QDialogButtonBox::Help)->click();
        EXPECT_EQ(opened.Take(), "91.html");
        // The width-in-percent edit of the pane.
        QWidget* percent = test::FindControl<QWidget>(&dialog, 1010);
        ASSERT_NE(percent, nullptr);
        PressF1(&dialog, percent);
        EXPECT_EQ(opened.Take(), "94.html");
    }
}

TEST(LibraryVersions, EveryLibraryHasAVersionNumber) {
    test::TestHost host;
    PluginManager plugins(host.get());
    plugins.LoadFormats(PIXMILL_BIN_DIR "/Formats/");
    const std::vector<LibraryVersion> libraries = LibraryVersions(plugins);
    EXPECT_EQ(libraries.size(), 7u);
    for (const LibraryVersion& library : libraries) {
        ASSERT_FALSE(library.version.empty()) << library.name;
        EXPECT_TRUE(isdigit(static_cast<unsigned char>(library.version[0])))
            << library.name << " " << library.version;
        EXPECT_NE(library.version.find('.'), std::string::npos) << library.name;
    }
}

} // namespace

} // namespace pixmill

#include "context_help_test.moc"
