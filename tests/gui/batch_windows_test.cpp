// The batch windows driven through the real program (offscreen) with the
// built plug-ins: the settings sheet's pages, the batch dialog's run and
// cancel, with scripted answers for the questions a person would answer.
#include "app/batch_commands.h"
#include "app/main_frame.h"
#include "app/pixmill_app.h"
#include "batch/batch_file_dest.h"
#include "batch/batch_file_source.h"
#include "batch/batch_job.h"
#include "batch/batch_run.h"
#include "batch/gui/batch_dialog.h"
#include "batch/gui/batch_settings_sheet.h"
#include "batch/gui/crop_canvas.h"
#include "batch/gui/file_dest_page.h"
#include "batch/gui/file_source_page.h"
#include "batch/gui/processing_page.h"
#include "desktop/commands.h"
#include "desktop/gui/gui_services.h"
#include "desktop/gui/status_progress.h"
#include "support/test_images.h"
#include "support/test_pane_site.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace pixmill {
namespace {

class Answers : public GuiServices {
  public:
    void ShowMessage(const char*, const char* text, MessageIcon) override {
        messages.push_back(QString::fromUtf8(text));
    }
    bool AskYesNo(const char*, const char*, bool) override { return yes; }
    int RunDialog(QDialog& dialog) override {
        if (auto* sheet = qobject_cast<BatchSettingsSheet*>(&dialog); sheet && onSheet) {
            return onSheet(*sheet);
        }
        if (auto* batch = qobject_cast<BatchDialog*>(&dialog); batch && onBatch) {
            return onBatch(*batch);
        }
        return onOther ? onOther(dialog) : QDialog::Rejected;
    }

    QStringList messages;
    bool yes = false;
    std::function<int(BatchSettingsSheet&)> onSheet;
    std::function<int(BatchDialog&)> onBatch;
    std::function<int(QDialog&)> onOther;
};

// What a click on OK gives: the dialog's result when it closed, or -1 when
// it stayed open.
int PressOk(QDialog& dialog) {
    dialog.setResult(-1);
    dialog.accept();
    return dialog.result();
}

QPushButton* ButtonNamed(QWidget* parent, const QString& text) {
    for (QPushButton* button : parent->findChildren<QPushButton*>()) {
        if (button->text() == text) {
            return button;
        }
    }
    return nullptr;
}

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
}

// Takes the requests to end the program that reach the application.
struct QuitRecorder : QObject {
    QuitRecorder() { qApp->installEventFilter(this); }
    ~QuitRecorder() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == qApp && event->type() == QEvent::Quit) {
            seen = true;
            return true;
        }
        return false;
    }
    bool seen = false;
};

class BatchWindows : public ::testing::Test {
  protected:
    void SetUp() override {
        test::EnsureApplication();
        ASSERT_TRUE(folder.isValid());
        setenv("PIXMILL_SETTINGS", folder.filePath("Pixmill.ini").toLocal8Bit().constData(), 1);
        QDir(folder.path()).mkdir("in");
        QDir(folder.path()).mkdir("out");
        for (int i = 0; i < 3; ++i) {
            QImage picture(120 + 40 * i, 80, QImage::Format_RGB32);
            picture.fill(qRgb(30 * i, 120, 200 - 30 * i));
            ASSERT_TRUE(
                picture.save(folder.filePath(QStringLiteral("in/photo%1.jpg").arg(i)), "JPG"));
        }
        app = std::make_unique<PixmillApp>(&answers, PIXMILL_BIN_DIR);
        ASSERT_TRUE(app->InitInstance({}));
    }
    void TearDown() override { app.reset(); }

    BatchJob& Job() { return app->Frame()->Batch().Job(); }
    // Chooses every file of in/, the log in the folder and out/ as the target.
    void ChooseRun(BatchSettingsSheet& sheet) {
        sheet.FileSource()->ShowFolder(folder.filePath("in"));
        ButtonNamed(sheet.FileSource(), "Add &All")->click();
        sheet.Processing()->LogField()->setText(folder.filePath("run.log"));
        sheet.FileDest()->PathField()->setText(folder.filePath("out"));
    }
    QStringList Written() const { return QDir(folder.filePath("out")).entryList(QDir::Files); }

    QTemporaryDir folder;
    Answers answers;
    std::unique_ptr<PixmillApp> app;
};

// A per-format operation offered by at least two formats.
int SpecificOperation(ProcessingPageModel& model) {
    for (int top : model.TopLevel()) {
        if (model.Nodes()[top].children.size() >= 2) {
            return top;
        }
    }
    return -1;
}

TEST_F(BatchWindows, FormatChildrenDecideTheOperationsStateAndTheProfile) {
    answers.onSheet = [this](BatchSettingsSheet& sheet) {
        BatchProcessingPage& page = *sheet.Processing();
        ProcessingPageModel& model = page.Model();
        const int top = SpecificOperation(model);
        EXPECT_GE(top, 0);
        if (top < 0) {
            return int(QDialog::Rejected);
        }
        const auto& children = model.Nodes()[top].children;
        const std::string name = model.Nodes()[top].label;
        const std::string format = model.Nodes()[children[1]].label;
        page.ItemOf(children[1])->setCheckState(0, Qt::Checked);
        EXPECT_EQ(page.ItemOf(top)->checkState(0), Qt::PartiallyChecked);
        const QString one = folder.filePath("one.prf");
        page.SaveProfile(one);
        EXPECT_TRUE(ReadText(one).contains(
            QString::fromStdString("[Specific] " + name + "\r\n" + format + "\r\n")))
            << ReadText(one).toStdString();

        for (int child : children) {
            page.ItemOf(child)->setCheckState(0, Qt::Checked);
        }
        EXPECT_EQ(page.ItemOf(top)->checkState(0), Qt::Checked);
        const QString all = folder.filePath("all.prf");
        page.SaveProfile(all);
        const QString text = ReadText(all);
        const QString operations = text.section("[Favorites]", 0, 0);
        EXPECT_TRUE(operations.contains(QString::fromStdString("\r\n" + name + "\r\n")));
        EXPECT_FALSE(text.contains("[Specific]")) << text.toStdString();

        // Clearing the parent clears every child; loading the first profile
        // shows its checks again.
        page.ItemOf(top)->setCheckState(0, Qt::Unchecked);
        for (int child : children) {
            EXPECT_EQ(page.ItemOf(child)->checkState(0), Qt::Unchecked);
        }
        page.LoadProfile(one);
        EXPECT_EQ(page.ItemOf(top)->checkState(0), Qt::PartiallyChecked);
        return int(QDialog::Rejected);
    };
    app->Frame()->RunCommand(cmd::BatchProcessing);
    EXPECT_TRUE(answers.messages.isEmpty()) << answers.messages.join('\n').toStdString();
}

TEST_F(BatchWindows, FavouritesNeedASettingsPaneAndGoWithTheirOperation) {
    answers.onSheet = [this](BatchSettingsSheet& sheet) {
        BatchProcessingPage& page = *sheet.Processing();
        const ProcessingPageModel& model = page.Model();
        int withPane = -1, withoutPane = -1;
        for (int top : model.TopLevel()) {
            int& slot = Job().Operations()[model.Nodes()[top].operation].settingsWindow != nullptr
                            ? withPane
                            : withoutPane;
            if (slot < 0) {
                slot = top;
            }
        }
        EXPECT_GE(withPane, 0);
        EXPECT_GE(withoutPane, 0);
        if (withPane < 0 || withoutPane < 0) {
            return int(QDialog::Rejected);
        }
        // Chosen, but without settings it cannot become a favourite.
        page.Tree()->setCurrentItem(page.ItemOf(withoutPane));
        page.ItemOf(withoutPane)->setCheckState(0, Qt::Checked);
        EXPECT_FALSE(page.AddButton()->isEnabled());
        EXPECT_TRUE(page.AddButton()->text().startsWith("&Add "));

        // Not chosen yet: the button waits for the check.
        page.Tree()->setCurrentItem(page.ItemOf(withPane));
        QWidget* settings = Job().Operations()[model.Nodes()[withPane].operation].settingsWindow;
        EXPECT_FALSE(settings->isHidden()) << "its settings are shown";
        EXPECT_FALSE(page.AddButton()->isEnabled());
        page.ItemOf(withPane)->setCheckState(0, Qt::Checked);
        EXPECT_TRUE(page.AddButton()->isEnabled());
        EXPECT_EQ(page.AddButton()->text().toStdString(), "&Add " + model.Nodes()[withPane].label);
        page.AddButton()->click();
        page.AddButton()->click(); // no duplicates
        EXPECT_EQ(page.Favorites()->count(), 1);

        // Clicking the favourite selects its item and shows its settings.
        page.Tree()->setCurrentItem(page.ItemOf(withoutPane));
        EXPECT_TRUE(settings->isHidden());
        emit page.Favorites()->itemClicked(page.Favorites()->item(0));
        EXPECT_EQ(page.Tree()->currentItem(), page.ItemOf(withPane));
        EXPECT_FALSE(settings->isHidden());

        // Clearing the operation removes its favourite, from the job too.
        page.ItemOf(withPane)->setCheckState(0, Qt::Unchecked);
        EXPECT_EQ(page.Favorites()->count(), 0);
        EXPECT_TRUE(Job().Favorites().empty());
        return int(QDialog::Rejected);
    };
    app->Frame()->RunCommand(cmd::BatchProcessing);
}

TEST_F(BatchWindows, ABadDestinationKeepsTheSheetOnItsPage) {
    answers.onSheet = [this](BatchSettingsSheet& sheet) {
        QTabWidget* tabs = sheet.Tabs();
        QWidget* destination = tabs->widget(2);
        tabs->setCurrentWidget(destination);
        // A folder below a file cannot be made.
        QFile(folder.filePath("file")).open(QIODevice::WriteOnly);
        sheet.FileDest()->PathField()->setText(folder.filePath("file/below"));
        answers.yes = true;
        tabs->setCurrentIndex(0);
        EXPECT_EQ(tabs->currentWidget(), destination);
        EXPECT_EQ(PressOk(sheet), -1) << "OK keeps the sheet open";
        EXPECT_EQ(answers.messages.size(), 2);
        if (!answers.messages.isEmpty()) {
            EXPECT_TRUE(answers.messages.back().startsWith("Fail to create directory"))
                << answers.messages.back().toStdString();
        }
        // Answering No asks for a folder or none.
        answers.yes = false;
        sheet.FileDest()->PathField()->setText(folder.filePath("new"));
        EXPECT_EQ(PressOk(sheet), -1);
        EXPECT_EQ(answers.messages.back(),
                  "You should specify directory or leave this field empty");
        EXPECT_EQ(tabs->currentWidget(), destination);
        // A good folder lets the sheet close.
        sheet.FileDest()->PathField()->setText(folder.filePath("out"));
        EXPECT_EQ(PressOk(sheet), int(QDialog::Accepted));
        return int(QDialog::Rejected);
    };
    app->Frame()->RunCommand(cmd::BatchProcessing);
}

TEST_F(BatchWindows, ApplyToAllWritesEveryFileAndTheLog) {
    answers.onSheet = [this](BatchSettingsSheet& sheet) {
        ChooseRun(sheet);
        return PressOk(sheet);
    };
    int code = 0;
    answers.onBatch = [&code](BatchDialog& dialog) {
        EXPECT_EQ(dialog.SaveButton()->text(), "&Save to the original format");
        dialog.ApplyToAll();
        code = dialog.result();
        return code;
    };
    QString shownLog;
    app->Frame()->Batch().SetLogViewer([&shownLog](const QString& path) { shownLog = path; });
    Job().SetShowLogAfterRun(true);
    app->Frame()->RunCommand(cmd::BatchProcessing);
    EXPECT_EQ(code, BatchRun::AppliedToAll);
    EXPECT_EQ(Written(), QStringList({"photo0.jpg", "photo1.jpg", "photo2.jpg"}));
    const QString log = ReadText(folder.filePath("run.log"));
    EXPECT_TRUE(log.startsWith("The number of selected images : 3\r\n")) << log.toStdString();
    EXPECT_TRUE(log.contains("The number of successfuly processed images : 3\r\n"));
    EXPECT_EQ(shownLog, folder.filePath("run.log"));
}

TEST_F(BatchWindows, CancelDuringApplyToAllStopsBeforeTheNextImage) {
    // The Cancel button, the window manager closing the dialog, and a
    // request to end the program.
    enum Way { Button, WindowClose, Quit };
    for (const Way way : {Button, WindowClose, Quit}) {
        for (const QString& name : Written()) {
            QFile::remove(folder.filePath("out/" + name));
        }
        answers.onSheet = [this](BatchSettingsSheet& sheet) {
            ChooseRun(sheet);
            return PressOk(sheet);
        };
        bool closed = false;
        answers.onBatch = [this, &closed, way](BatchDialog& dialog) {
            // Between images: while an image is worked on, input waits.
            QTimer poll;
            QObject::connect(&poll, &QTimer::timeout, [&] {
                if (app->Frame()->Progress()->Active()) {
                    return;
                }
                poll.stop();
                if (way == Button) {
                    dialog.CancelButton()->click();
                } else if (way == WindowClose) {
                    QCloseEvent close; // what a window manager's close delivers
                    QApplication::sendEvent(&dialog, &close);
                } else {
                    QEvent quit(QEvent::Quit);
                    QApplication::sendEvent(qApp, &quit);
                }
            });
            poll.start(0);
            dialog.ApplyToAll();
            closed = dialog.result() == QDialog::Rejected && !dialog.Running();
            return dialog.result();
        };
        app->Frame()->RunCommand(cmd::BatchProcessing);
        EXPECT_TRUE(closed) << way;
        // The request to end the program was held back and is passed on.
        QuitRecorder quits;
        QCoreApplication::sendPostedEvents(qApp, QEvent::Quit);
        EXPECT_EQ(quits.seen, way == Quit);
        EXPECT_EQ(Written(), QStringList({"photo0.jpg"}));
        const QString log = ReadText(folder.filePath("run.log"));
        EXPECT_TRUE(log.endsWith("Batch processing was interrupted.")) << log.toStdString();
        EXPECT_FALSE(log.contains("Finish batch processing"));
    }
}

TEST_F(BatchWindows, BatchOpenOpensTheChosenImages) {
    answers.onSheet = [this](BatchSettingsSheet& sheet) {
        EXPECT_EQ(sheet.Tabs()->count(), 1) << "the source page alone";
        sheet.FileSource()->ShowFolder(folder.filePath("in"));
        ButtonNamed(sheet.FileSource(), "Add &All")->click();
        return PressOk(sheet);
    };
    app->Frame()->RunCommand(cmd::BatchOpen);
    EXPECT_EQ(app->Frame()->Frames().size(), 3);
}

TEST_F(BatchWindows, ExportWritesTheOpenImagesInTheChosenFormat) {
    app->Frame()->OpenFiles({folder.filePath("in/photo0.jpg"), folder.filePath("in/photo2.jpg")});
    ASSERT_EQ(app->Frame()->Frames().size(), 2);
    bool chooseFormat = false;
    answers.onSheet = [this, &chooseFormat](BatchSettingsSheet& sheet) {
        EXPECT_EQ(sheet.Tabs()->count(), 2) << "processing and destination";
        QListWidget* formats = sheet.Processing()->FormatList();
        for (int i = 0; i < formats->count(); ++i) {
            const bool tiff = formats->item(i)->text() == "TIFF";
            formats->item(i)->setCheckState(tiff && chooseFormat ? Qt::Checked : Qt::Unchecked);
        }
        sheet.Processing()->LogField()->setText(folder.filePath("export.log"));
        sheet.FileDest()->PathField()->setText(folder.filePath("out"));
        return PressOk(sheet);
    };
    int dialogs = 0;
    answers.onBatch = [&dialogs](BatchDialog& dialog) {
        ++dialogs;
        dialog.ApplyToAll();
        return dialog.result();
    };
    // Without an output format there is nothing to export to.
    app->Frame()->RunCommand(cmd::ExportAll);
    EXPECT_EQ(dialogs, 0);
    chooseFormat = true;
    app->Frame()->RunCommand(cmd::ExportAll);
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(Written(), QStringList({"photo0.tif", "photo2.tif"}));
    app->Frame()->RunCommand(cmd::ExportCurrent);
    EXPECT_EQ(dialogs, 2);
    EXPECT_TRUE(
        ReadText(folder.filePath("export.log")).contains("The number of selected images : 1\r\n"));
}

TEST_F(BatchWindows, SteppingWithThumbnailsAndTheSmartCutSlider) {
    answers.onSheet = [this](BatchSettingsSheet& sheet) {
        ChooseRun(sheet);
        return PressOk(sheet);
    };
    BatchFileDest& destination = Job().FileDest();
    destination.isThumbnail = 1;
    destination.thumbnail = ThumbnailSettings{};
    destination.thumbnail.width = 100;
    destination.thumbnail.height = 50;
    destination.thumbnail.fitToSize = 1;
    destination.thumbnail.smartCut = 1;
    destination.thumbnail.cutPosition = 50;
    answers.onBatch = [&destination](BatchDialog& dialog) {
        // The first picture is 120 x 80: relatively tall for a 100 x 50 box.
        QSlider* slider = dialog.CutSlider();
        EXPECT_NE(slider, nullptr);
        if (slider == nullptr) {
            return int(QDialog::Rejected);
        }
        EXPECT_EQ(slider->orientation(), Qt::Vertical);
        const int range = slider->maximum();
        EXPECT_GT(range, 0);
        slider->setValue(0);
        EXPECT_EQ(destination.thumbnail.cutPosition, 0);
        slider->setValue(range);
        EXPECT_EQ(destination.thumbnail.cutPosition, 100);
        dialog.SaveTo();
        dialog.Skip();
        dialog.SaveTo();
        return dialog.result();
    };
    app->Frame()->RunCommand(cmd::BatchProcessing);
    EXPECT_EQ(Written(),
              QStringList({"photo0.jpg", "photo0_Thumb.jpg", "photo2.jpg", "photo2_Thumb.jpg"}));
    const QString log = ReadText(folder.filePath("run.log"));
    EXPECT_TRUE(log.contains("photo1.jpg is skipped\r\n"));
    EXPECT_TRUE(log.contains("The number of successfuly processed images : 2\r\n"));
}

TEST_F(BatchWindows, TheFilePagesListChooseAndTakeTheirValuesOver) {
    QFile(folder.filePath("in/README")).open(QIODevice::WriteOnly); // no extension
    ASSERT_TRUE(QFile::copy(folder.filePath("in/photo0.jpg"), folder.filePath("in/scan.tif")));
    answers.onSheet = [this](BatchSettingsSheet& sheet) {
        FileSourcePage& source = *sheet.FileSource();
        source.ShowFolder(folder.filePath("in"));
        QTreeWidget* files = source.FileList();
        // All supported images: the three JPEGs and the misnamed TIFF, never
        // the file without an extension.
        EXPECT_EQ(files->topLevelItemCount(), 4);
        source.findChild<QCheckBox*>()->setChecked(true);
        EXPECT_EQ(files->topLevelItem(0)->text(0), "photo0.jpg");
        EXPECT_EQ(files->topLevelItem(0)->text(1), "120x80  24 bit");
        auto* types = source.findChild<QComboBox*>("fileTypes");
        types->setCurrentIndex(types->findText("JPEG", Qt::MatchStartsWith));
        EXPECT_EQ(files->topLevelItemCount(), 3);

        files->topLevelItem(1)->setSelected(true);
        ButtonNamed(&source, "A&dd")->click();
        ButtonNamed(&source, "A&dd")->click(); // once only
        ButtonNamed(&source, "Add &All")->click();
        QListWidget* chosen = source.ChosenList();
        EXPECT_EQ(chosen->count(), 3);
        EXPECT_EQ(chosen->item(0)->text(), "photo1.jpg");
        chosen->item(0)->setSelected(true);
        ButtonNamed(&source, "&Remove")->click();
        bool counted = false;
        for (QLabel* label : source.findChildren<QLabel*>()) {
            counted = counted || label->text() == "2 &Files Select :";
        }
        EXPECT_TRUE(counted);

        FileDestPage& destination = *sheet.FileDest();
        auto box = [&destination](const QString& text) {
            for (QAbstractButton* button : destination.findChildren<QAbstractButton*>()) {
                if (button->text() == text) {
                    return button;
                }
            }
            return static_cast<QAbstractButton*>(nullptr);
        };
        QAbstractButton* fit = box("&Fit to thumbnail size");
        QAbstractButton* smartCut = box("&Smart cut");
        fit->setChecked(false);
        EXPECT_FALSE(smartCut->isEnabled());
        box("&Discard aspect ratio")->setAutoExclusive(false);
        box("&Discard aspect ratio")->setChecked(false);
        smartCut->setAutoExclusive(false);
        smartCut->setChecked(false);
        fit->setChecked(true);
        EXPECT_TRUE(smartCut->isEnabled());
        EXPECT_TRUE(smartCut->isChecked()) << "fit without a radio picks the smart cut";
        box("&Generate thumbnails")->setChecked(true);
        box("Generate Thumbnails &Only (Don`t save big images)")->setChecked(true);
        destination.PathField()->setText(folder.filePath("out"));
        sheet.Processing()->LogField()->setText(folder.filePath("run.log"));
        return PressOk(sheet);
    };
    answers.onBatch = [](BatchDialog&) { return int(QDialog::Rejected); };
    app->Frame()->RunCommand(cmd::BatchProcessing);
    const BatchFileSource& source = Job().FileSource();
    ASSERT_EQ(source.Files().size(), 2u);
    EXPECT_EQ(source.Files()[0], folder.filePath("in/photo0.jpg").toStdString());
    EXPECT_EQ(source.preview, 1);
    const BatchFileDest& destination = Job().FileDest();
    EXPECT_EQ(destination.path, folder.filePath("out").toStdString() + "/");
    EXPECT_EQ(destination.mainImageMode, MainThumbnailsOnly);
    EXPECT_EQ(destination.thumbnail.fitToSize, 1);
    EXPECT_EQ(destination.thumbnail.smartCut, 1);
}

TEST_F(BatchWindows, RunsThatCannotStartOpenNoDialog) {
    int dialogs = 0;
    answers.onBatch = [&dialogs](BatchDialog&) {
        ++dialogs;
        return int(QDialog::Rejected);
    };
    // No file chosen: the sheet closes and nothing runs.
    answers.onSheet = [this](BatchSettingsSheet& sheet) {
        sheet.FileSource()->ShowFolder(folder.filePath("in"));
        sheet.FileDest()->PathField()->setText(folder.filePath("out"));
        return PressOk(sheet);
    };
    app->Frame()->RunCommand(cmd::BatchProcessing);
    // A log that cannot be created: its error is shown and nothing is read.
    answers.onSheet = [this](BatchSettingsSheet& sheet) {
        ChooseRun(sheet);
        sheet.Processing()->LogField()->setText(folder.filePath("in"));
        return PressOk(sheet);
    };
    app->Frame()->RunCommand(cmd::BatchProcessing);
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(answers.messages.size(), 1);
    EXPECT_TRUE(Written().isEmpty());
}

TEST_F(BatchWindows, OutputTabsPreviewEachFormatAndMoreChangesTheConversions) {
    answers.onSheet = [this](BatchSettingsSheet& sheet) {
        ChooseRun(sheet);
        QListWidget* formats = sheet.Processing()->FormatList();
        for (int i = 0; i < formats->count(); ++i) {
            const QString name = formats->item(i)->text();
            formats->item(i)->setCheckState(name == "JPEG" || name == "TIFF" ? Qt::Checked
                                                                             : Qt::Unchecked);
        }
        return PressOk(sheet);
    };
    answers.onBatch = [this](BatchDialog& dialog) {
        QTabWidget* tabs = dialog.PreviewTabs();
        EXPECT_EQ(tabs->tabText(1), "JPEG");
        EXPECT_EQ(tabs->tabText(2), "TIFF");
        EXPECT_EQ(dialog.SaveButton()->text(), "&Save to JPEG");
        // JPEG previews what it writes: the file size is known.
        EXPECT_TRUE(dialog.findChild<QLabel*>("sizes")->text().contains("File size:"));
        EXPECT_NE(dialog.ResultCanvas()->Image(), nullptr);
        tabs->setCurrentIndex(2);
        EXPECT_EQ(dialog.SaveButton()->text(), "&Save to TIFF");
        EXPECT_EQ(dialog.Run().CurrentOutput(), 1);

        // "&More...": tick the first operation that TIFF offers.
        answers.onOther = [](QDialog& more) {
            auto* tree = more.findChild<QTreeWidget*>("operations");
            for (int i = 0; i < tree->topLevelItemCount(); ++i) {
                QTreeWidgetItem* item = tree->topLevelItem(i);
                if (item->childCount() == 1 && item->child(0)->text(0) == "TIFF") {
                    item->child(0)->setCheckState(0, Qt::Checked);
                    break;
                }
            }
            return int(QDialog::Accepted);
        };
        dialog.More();
        const auto& formats = Job().Formats();
        int chosen = 0;
        for (const auto& format : formats) {
            for (const auto& conversion : format.conversions) {
                chosen += conversion.chosen ? 1 : 0;
            }
        }
        EXPECT_EQ(chosen, 1);
        EXPECT_NE(dialog.ResultCanvas()->Image(), nullptr) << "previewed again";
        dialog.SaveTo();
        dialog.Skip();
        dialog.Skip();
        return dialog.result();
    };
    app->Frame()->RunCommand(cmd::BatchProcessing);
    EXPECT_EQ(Written(), QStringList({"photo0.tif"}));
}

} // namespace
} // namespace pixmill
