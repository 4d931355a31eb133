#include "batch/gui/batch_dialog.h"

#include "batch/batch_job.h"
#include "batch/batch_run.h"
#include "batch/gui/crop_canvas.h"
#include "batch/gui/pane_set.h"
#include "batch/gui/processing_page.h"
#include "batch/thumbnail_maker.h"
#include "desktop/gui/gui_services.h"
#include "desktop/gui/image_canvas.h"
#include "desktop/image_display.h"
#include "host/host_services.h"
#include "host/save_session.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/help.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace pixmill {

namespace {
constexpr int kHelpTopic = 441;

// The zoom at which the picture fits the canvas (never above 100 %).
void FitInto(ImageCanvas* canvas, const CVImage* image) {
    canvas->SetImage(image);
    if (image == nullptr || image->Width() <= 0 || image->Height() <= 0) {
        return;
    }
    // Before the dialog is shown the canvas has no size of its own yet.
    QSize area = canvas->isVisible() ? canvas->viewport()->size() : canvas->minimumSize();
    if (area.width() < 64 || area.height() < 64) {
        area = QSize(400, 300);
    }
    if (image->Width() <= area.width() && image->Height() <= area.height()) {
        canvas->SetZoom(100.0);
    } else {
        canvas->SetZoom(FitZoom(area.width(), area.height(), image->Width(), image->Height()));
    }
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}
} // namespace

BatchDialog::BatchDialog(BatchJob& job, BatchSource* source, BatchDestination* destination,
                         GuiServices& services, ProgressDisplay* progress, QWidget* parent)
    : QDialog(parent), job(job), source(source), destination(destination), services(services),
      run(std::make_unique<BatchRun>(job, source, destination)) {
    setObjectName(QStringLiteral("batchDialog"));
    setWindowTitle(tr("Batch Processing"));
    run->SetInteractive(true);
    run->SetProgressDisplay(progress);
    clock.start();
    run->SetClock([this] { return static_cast<uint32_t>(clock.elapsed()); });

    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("previewTabs"));
    sourceCanvas = new ImageCanvas(this);
    sourceCanvas->setObjectName(QStringLiteral("sourcePreview"));
    tabs->addTab(sourceCanvas, tr("Source Image"));
    resultCanvas = new CropCanvas(this);
    resultCanvas->setObjectName(QStringLiteral("resultPreview"));
    sizes = new QLabel(this);
    sizes->setObjectName(QStringLiteral("sizes"));
    sizes->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (ImageCanvas* canvas : {sourceCanvas, static_cast<ImageCanvas*>(resultCanvas)}) {
        canvas->setMinimumSize(420, 320);
    }

    info = new QLabel(this);
    info->setObjectName(QStringLiteral("imageInfo"));
    status = new QLabel(this);
    status->setObjectName(QStringLiteral("status"));
    status->hide();

    // The settings of operations and formats, changeable between images.
    settingsArea = new QGroupBox(tr("Settings"), this);
    settingsChoice = new QComboBox(settingsArea);
    settingsChoice->setObjectName(QStringLiteral("settingsChoice"));
    auto* settingsLayout = new QVBoxLayout(settingsArea);
    settingsLayout->addWidget(settingsChoice);

    previewArea = new QWidget(this);
    auto* previewLayout = new QVBoxLayout(previewArea);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->addWidget(tabs, 1);
    previewLayout->addWidget(info);

    auto* top = new QHBoxLayout;
    top->addWidget(previewArea, 3);
    top->addWidget(settingsArea, 2);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(status);
    layout->addWidget(MakeButtons());
    resize(1060, 640);
}

BatchDialog::~BatchDialog() {
    if (running) {
        run->Cancel();
    }
    ClearPreviews();
    panes.reset(); // the panes go before the run's codecs
    qApp->removeEventFilter(this);
}

QWidget* BatchDialog::MakeButtons() {
    auto* box = new QWidget(this);
    saveButton = new QPushButton(tr("Save to "), box);
    saveButton->setObjectName(QStringLiteral("saveTo"));
    skipButton = new QPushButton(tr("S&kip"), box);
    allButton = new QPushButton(tr("&Apply to all"), box);
    allButton->setObjectName(QStringLiteral("applyToAll"));
    cancelButton = new QPushButton(tr("&Cancel"), box);
    cancelButton->setObjectName(QStringLiteral("cancel"));
    auto* preview = new QPushButton(tr("&Preview"), box);
    autoPreview = new QCheckBox(tr("&Auto preview"), box);
    autoPreview->setChecked(true);
    auto* more = new QPushButton(tr("&More..."), box);
    more->setObjectName(QStringLiteral("more"));
    cropButton = new QPushButton(tr("Crop"), box);
    cropButton->setEnabled(false);
    auto* zoomIn = new QPushButton(tr("Zoom &In"), box);
    auto* zoomOut = new QPushButton(tr("Zoom O&ut"), box);
    auto* help = new QPushButton(tr("&Help"), box);

    connect(saveButton, &QPushButton::clicked, this, &BatchDialog::SaveTo);
    connect(skipButton, &QPushButton::clicked, this, &BatchDialog::Skip);
    connect(allButton, &QPushButton::clicked, this, &BatchDialog::ApplyToAll);
    connect(cancelButton, &QPushButton::clicked, this, &BatchDialog::Cancel);
    connect(preview, &QPushButton::clicked, this, &BatchDialog::Preview);
    connect(autoPreview, &QCheckBox::toggled, this, [this](bool on) {
        if (on) {
            Preview();
        }
    });
    connect(more, &QPushButton::clicked, this, &BatchDialog::More);
    connect(cropButton, &QPushButton::clicked, this, &BatchDialog::Crop);
    connect(resultCanvas, &CropCanvas::SelectionChanged, this,
            [this] { cropButton->setEnabled(!resultCanvas->Selection().isEmpty()); });
    auto zoomBy = [this](bool in) {
        auto* canvas = qobject_cast<ImageCanvas*>(tabs->currentWidget());
        if (canvas == nullptr) {
            canvas = tabs->currentIndex() == thumbnailTab ? thumbnailCanvas : resultCanvas;
        }
        if (canvas != nullptr && canvas->Image() != nullptr) {
            canvas->SetZoom(NextZoom(canvas->Zoom(), in));
        }
    };
    connect(zoomIn, &QPushButton::clicked, this, [zoomBy] { zoomBy(true); });
    connect(zoomOut, &QPushButton::clicked, this, [zoomBy] { zoomBy(false); });
    connect(help, &QPushButton::clicked, this, [] { OpenHelpPage(kHelpTopic); });

    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    for (QWidget* widget :
         std::initializer_list<QWidget*>{preview, autoPreview, more, cropButton, zoomIn, zoomOut}) {
        row->addWidget(widget);
        stepControls.push_back(widget);
    }
    row->addStretch();
    for (QPushButton* button : {saveButton, skipButton, allButton}) {
        row->addWidget(button);
        stepControls.push_back(button);
    }
    row->addWidget(cancelButton);
    row->addWidget(help);
    saveButton->setDefault(true);
    return box;
}

bool BatchDialog::Start() {
    try {
        if (!run->Start()) {
            return false;
        }
    } catch (CQorelError& error) {
        error.Report(true); // the log cannot be created
        return false;
    }
    panes = std::make_unique<PaneSet>(job, settingsArea, true);
    panes->SetImage(&run->SourceImage());
    panes->SetOnChanged([this] {
        if (autoPreview->isChecked()) {
            Work([this] {
                ClearPreviews();
                run->RedoConversions();
                Refresh();
            });
        }
    });
    auto* settingsLayout = static_cast<QVBoxLayout*>(settingsArea->layout());
    const std::vector<QWidget*> windows = panes->Windows();
    for (size_t i = 0; i < job.Operations().size(); ++i) {
        if (QWidget* window = job.Operations()[i].settingsWindow;
            window != nullptr &&
            std::find(windows.begin(), windows.end(), window) != windows.end()) {
            settingsChoice->addItem(Text(job.Operations()[i].name),
                                    QVariant::fromValue(static_cast<void*>(window)));
        }
    }
    for (const BatchJob::FormatEntry& format : job.Formats()) {
        if (QWidget* window = format.optionsWindow;
            window != nullptr &&
            std::find(windows.begin(), windows.end(), window) != windows.end()) {
            settingsChoice->addItem(QString::fromUtf8(format.format->GetName(false)),
                                    QVariant::fromValue(static_cast<void*>(window)));
        }
    }
    for (QWidget* window : windows) {
        settingsLayout->addWidget(window, 0, Qt::AlignHCenter);
    }
    settingsLayout->addStretch();
    auto showChosen = [this](int index) {
        for (int i = 0; i < settingsChoice->count(); ++i) {
            static_cast<QWidget*>(settingsChoice->itemData(i).value<void*>())
                ->setVisible(i == index);
        }
    };
    connect(settingsChoice, &QComboBox::currentIndexChanged, this, showChosen);
    showChosen(settingsChoice->currentIndex());
    settingsArea->setVisible(settingsChoice->count() > 0);

    // One tab per output format; the result panel moves to the chosen one.
    auto* resultPanel = new QWidget(this);
    auto* resultLayout = new QVBoxLayout(resultPanel);
    resultLayout->setContentsMargins(0, 0, 0, 0);
    resultLayout->addWidget(resultCanvas, 1);
    resultLayout->addWidget(sizes);
    const auto& outputs = run->Outputs();
    for (size_t i = 0; i < outputs.size(); ++i) {
        auto* page = new QWidget(this);
        auto* pageLayout = new QVBoxLayout(page);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        const QString name =
            outputs[i].format >= 0
                ? QString::fromUtf8(job.Formats()[outputs[i].format].format->GetName(false))
                : tr("Common");
        tabs->addTab(page, name);
    }
    if (ThumbnailSettings* settings = destination->GetThumbnailSettings()) {
        auto* page = new QWidget(this);
        thumbnailCanvas = new CropCanvas(page);
        thumbnailCanvas->setObjectName(QStringLiteral("thumbnailPreview"));
        thumbnailCanvas->setMinimumSize(360, 280);
        cutSlider = new QSlider(page);
        cutSlider->setObjectName(QStringLiteral("smartCut"));
        cutLabels[0] = new QLabel(page);
        cutLabels[1] = new QLabel(page);
        showThumbnail = new QCheckBox(tr("Show &Thumbnail"), page);
        connect(showThumbnail, &QCheckBox::toggled, this, [this] { RefreshThumbnail(); });
        connect(cutSlider, &QSlider::valueChanged, this, [this, settings](int position) {
            settings->cutPosition = CutPositionOf(position, cutSlider->maximum());
            RefreshThumbnail();
        });
        auto* sliderBox = new QVBoxLayout;
        sliderBox->addWidget(cutLabels[0], 0, Qt::AlignHCenter);
        sliderBox->addWidget(cutSlider, 1, Qt::AlignHCenter);
        sliderBox->addWidget(cutLabels[1], 0, Qt::AlignHCenter);
        auto* pageLayout = new QGridLayout(page);
        pageLayout->setContentsMargins(0, 0, 0, 0);
        pageLayout->addWidget(thumbnailCanvas, 0, 0);
        pageLayout->addLayout(sliderBox, 0, 1);
        pageLayout->addWidget(showThumbnail, 1, 0, 1, 2);
        pageLayout->setRowStretch(0, 1);
        pageLayout->setColumnStretch(0, 1);
        thumbnailTab = tabs->addTab(page, tr("Thumb&nail"));
    }
    auto placeResult = [this, resultPanel](int tab) {
        if (tab == thumbnailTab && thumbnailCanvas->Image() != nullptr) {
            QTimer::singleShot(0, this,
                               [this] { FitInto(thumbnailCanvas, thumbnailCanvas->Image()); });
        }
        const int output = OutputOfTab(tab);
        if (output < 0) {
            return;
        }
        tabs->widget(tab)->layout()->addWidget(resultPanel);
        resultPanel->show();
        if (output != run->CurrentOutput()) {
            run->SetCurrentOutput(output);
            Refresh();
        }
    };
    connect(tabs, &QTabWidget::currentChanged, this, placeResult);
    placeResult(1);
    tabs->setCurrentIndex(1);
    Refresh();
    return true;
}

int BatchDialog::OutputOfTab(int tab) const {
    const int output = tab - resultTab;
    return output >= 0 && static_cast<size_t>(output) < run->Outputs().size() ? output : -1;
}

void BatchDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // Once laid out, the previews fit their real size.
    QTimer::singleShot(0, this, [this] {
        for (ImageCanvas* canvas : {sourceCanvas, static_cast<ImageCanvas*>(resultCanvas),
                                    static_cast<ImageCanvas*>(thumbnailCanvas)}) {
            if (canvas != nullptr && canvas->Image() != nullptr) {
                FitInto(canvas, canvas->Image());
            }
        }
    });
}

void BatchDialog::ShowImageInfo() {
    const CVImage& image = run->SourceImage();
    const int output = run->CurrentOutput();
    const BatchRun::OutputSlot& slot = run->Outputs()[static_cast<size_t>(output)];
    const QString format =
        slot.format >= 0 ? QString::fromUtf8(job.Formats()[slot.format].format->GetName(false))
                         : tr("the original format");
    saveButton->setText(tr("&Save to %1").arg(format));
    info->setText(tr("%1   %2 x %3  %4 bits/pixel   (%5 of %6)")
                      .arg(Text(run->ItemName()))
                      .arg(image.Width())
                      .arg(image.Height())
                      .arg(image.BitCount())
                      .arg(run->Position() + 1)
                      .arg(run->Total()));
}

void BatchDialog::ClearPreviews() {
    sourceCanvas->SetImage(nullptr);
    resultCanvas->SetImage(nullptr);
    resultCanvas->ClearSelection();
    if (thumbnailCanvas != nullptr) {
        thumbnailCanvas->SetImage(nullptr);
    }
    session.reset();
    thumbnailPreview.reset();
}

void BatchDialog::Refresh() {
    if (!run->HasImage() || run->Done()) {
        return;
    }
    ClearPreviews();
    FitInto(sourceCanvas, &run->SourceImage());
    ShowImageInfo();
    if (panes != nullptr) {
        panes->SetImage(&run->SourceImage());
    }
    sizes->clear();
    if (!autoPreview->isChecked()) {
        return;
    }
    const int output = run->CurrentOutput();
    try {
        if (!run->ConvertOutput(output)) {
            sizes->setText(tr("The image could not be converted for this format."));
            return;
        }
        BatchRun::OutputSlot& slot = run->Outputs()[static_cast<size_t>(output)];
        const CVImage* converted = slot.convertedImage.get();
        CFormatPlugin* format = slot.codecFormat;
        const CVImage* shown = converted;
        if (format != nullptr && (format->GetCapabilities() & CapSavePreview) &&
            format->CanSave(converted)) {
            // The picture as it will be written, with its size on disk.
            session = std::make_unique<SaveSession>(job.Host(), format, *converted, nullptr,
                                                    "Save " + run->ItemName());
            session->SetPane(job.Formats()[slot.format].optionsPane);
            if (session->Refresh()) {
                if (session->Preview() != nullptr) {
                    shown = session->Preview();
                }
                sizes->setText(tr("Image size: %1 x %2    In memory: %3    File size: %4    "
                                  "Ratio: %5")
                                   .arg(converted->Width())
                                   .arg(converted->Height())
                                   .arg(Text(session->MemorySizeText()))
                                   .arg(Text(session->FileSizeText()))
                                   .arg(Text(session->RatioText())));
            }
        } else {
            sizes->setText(tr("Image size: %1 x %2  %3 bits/pixel")
                               .arg(converted->Width())
                               .arg(converted->Height())
                               .arg(converted->BitCount()));
        }
        FitInto(resultCanvas, shown);
        RefreshThumbnail();
    } catch (CQorelError& error) {
        error.Report(true);
    }
}

void BatchDialog::RefreshThumbnail() {
    ThumbnailSettings* settings = destination->GetThumbnailSettings();
    if (thumbnailCanvas == nullptr || settings == nullptr || !run->HasImage()) {
        return;
    }
    const BatchRun::OutputSlot& slot = run->Outputs()[static_cast<size_t>(run->CurrentOutput())];
    const CVImage& base =
        slot.convertedImage != nullptr ? *slot.convertedImage : run->ResultImage();
    thumbnailCanvas->SetImage(nullptr);
    thumbnailCanvas->SetFrame(QRect());
    auto picture = std::make_unique<CVImage>(&job.Host());
    const bool smart = settings->fitToSize && settings->smartCut;
    try {
        if (smart && !showThumbnail->isChecked()) {
            // The whole picture covering the box, with the part that the
            // cut keeps framed.
            const int width = base.Width(), height = base.Height();
            const SIZE size = SmartCutPreviewSize(job.Host(), width, height, *settings);
            if (!job.ResampleImage(picture.get(), &base, size.cx, size.cy, false, 0)) {
                return;
            }
            const SIZE fitted =
                job.Host().FitSize(width, height, settings->width, settings->height);
            const SmartCutGeometry cut = SmartCut(width, height, *settings, fitted);
            const QSignalBlocker block(cutSlider);
            cutSlider->setOrientation(cut.vertical ? Qt::Vertical : Qt::Horizontal);
            cutSlider->setInvertedAppearance(cut.vertical);
            cutSlider->setRange(0, cut.range);
            cutSlider->setValue(cut.position);
            cutLabels[0]->setText(tr(cut.labels[0]));
            cutLabels[1]->setText(tr(cut.labels[1]));
            const double sx = double(picture->Width()) / std::max(width, 1);
            const double sy = double(picture->Height()) / std::max(height, 1);
            thumbnailCanvas->SetFrame(
                QRect(QPoint(int(cut.part.left * sx), int(cut.part.top * sy)),
                      QPoint(int(cut.part.right * sx) - 1, int(cut.part.bottom * sy) - 1)));
        } else {
            ThumbnailMaker maker(job.Plugins(), *settings);
            if (!maker.Make(base, *picture, nullptr)) {
                return;
            }
        }
    } catch (CQorelError& error) {
        error.Report(true);
        return;
    }
    cutSlider->setEnabled(smart && !showThumbnail->isChecked());
    for (QLabel* label : cutLabels) {
        label->setVisible(smart);
    }
    cutSlider->setVisible(smart);
    thumbnailPreview = std::move(picture);
    FitInto(thumbnailCanvas, thumbnailPreview.get());
}

void BatchDialog::Preview() {
    Work([this] {
        const bool wasOn = autoPreview->isChecked();
        const QSignalBlocker block(autoPreview);
        autoPreview->setChecked(true); // a one-off preview
        Refresh();
        autoPreview->setChecked(wasOn);
    });
}

void BatchDialog::AfterStep() {
    if (run->Done()) {
        Finish(run->Code());
        return;
    }
    Refresh();
}

void BatchDialog::Work(const std::function<void()>& work) {
    if (busy || running) {
        return;
    }
    busy = true;
    work();
    busy = false;
    if (cancelRequested) {
        Cancel(); // asked for while the image was being worked on
    }
}

void BatchDialog::SaveTo() {
    Work([this] {
        ClearPreviews();
        run->SaveTo();
        AfterStep();
    });
}

void BatchDialog::Skip() {
    Work([this] {
        ClearPreviews();
        run->Skip();
        AfterStep();
    });
}

void BatchDialog::Crop() {
    const QRect area = resultCanvas->Selection();
    if (running || area.isEmpty()) {
        return;
    }
    // The result canvas shows the converted picture, which has the result's
    // size; the crop applies to the result itself.
    const RECT rect{area.left(), area.top(), area.right() + 1, area.bottom() + 1};
    Work([this, rect] {
        ClearPreviews();
        run->CropResult(rect);
        Refresh();
    });
}

void BatchDialog::More() {
    if (running) {
        return;
    }
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("imageProcessing"));
    dialog.setWindowTitle(tr("Image processing"));
    auto* page = new BatchProcessingPage(job, services, BatchProcessingPage::MoreDialog, &dialog);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(page, 1);
    layout->addWidget(buttons);
    dialog.resize(460, 520);
    if (services.RunDialog(dialog) != QDialog::Accepted) {
        return;
    }
    page->TakeOver();
    Work([this] {
        ClearPreviews();
        run->RedoConversions();
        Refresh();
    });
}

void BatchDialog::ApplyToAll() {
    if (running || busy || run->Done()) {
        return;
    }
    running = true;
    setWindowTitle(tr("Batch processing"));
    ClearPreviews();
    previewArea->hide();
    settingsArea->hide();
    for (QWidget* control : stepControls) {
        control->setEnabled(false);
    }
    status->show();
    qApp->installEventFilter(this);
    const int code =
        run->ApplyToAll([this](const std::string& text) { status->setText(Text(text)); },
                        [this] {
                            QApplication::processEvents();
                            // Cancel takes effect here, between images.
                            if (cancelRequested) {
                                run->Cancel();
                            }
                        });
    qApp->removeEventFilter(this);
    running = false;
    if (run->Interrupted()) {
        QDialog::done(QDialog::Rejected);
        if (quitRequested) {
            // The request to end the program goes on once the run is over.
            QCoreApplication::postEvent(qApp, new QEvent(QEvent::Quit));
        }
        return;
    }
    Finish(code);
}

void BatchDialog::Cancel() {
    if (running || busy) {
        cancelRequested = true; // the run stops before the next image
        return;
    }
    run->Cancel();
    QDialog::done(QDialog::Rejected);
}

void BatchDialog::reject() {
    Cancel();
}

void BatchDialog::closeEvent(QCloseEvent* event) {
    event->ignore();
    Cancel();
}

bool BatchDialog::eventFilter(QObject* watched, QEvent* event) {
    if (running && event->type() == QEvent::Quit) {
        quitRequested = cancelRequested = true;
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void BatchDialog::Finish(int code) {
    QDialog::done(code);
}

} // namespace pixmill
