#include "desktop/gui/operation_dialog.h"

#include "desktop/gui/image_canvas.h"
#include "desktop/image_display.h"
#include "desktop/preview_source.h"
#include "host/image_io.h"
#include "host/progress.h"
#include "pixmill/errors.h"
#include "pixmill/help.h"
#include "pixmill/mnemonics.h"
#include "pixmill/processing_plugin.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace pixmill {

namespace {
// The zoom at which a preview of this size fits its box.
double PreviewZoom(const CVImage& image, int box) {
    if (image.Width() <= box && image.Height() <= box) {
        return 100.0;
    }
    return FitZoom(box, box, image.Width(), image.Height());
}
} // namespace

OperationDialog::OperationDialog(CProcessingPlugin* plugin, const CVImage* image,
                                 std::optional<RECT> selection, QWidget* parent)
    : QDialog(parent), plugin(plugin), image(image), source(image->host), result(image->host) {
    setWindowTitle(QString::fromUtf8(plugin->GetName(false)));
    setObjectName(QStringLiteral("operationDialog"));
    MakePreviewSource(*image, selection ? &*selection : nullptr, kPreviewBox, kPreviewBox, source);
    // An operation that does not take the alpha plane works on the picture
    // flattened by the alpha rule: both previews show that picture.
    FlattenForOperation(source, plugin);

    paneHolder = new QWidget(this);
    paneHolder->setObjectName(QStringLiteral("paneHolder"));
    before = new ImageCanvas(this);
    after = new ImageCanvas(this);
    before->setObjectName(QStringLiteral("previewBefore"));
    after->setObjectName(QStringLiteral("previewAfter"));
    for (ImageCanvas* canvas : {before, after}) {
        canvas->setMinimumSize(kPreviewBox + 16, kPreviewBox + 16);
    }
    note = new QLabel(this);
    timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(150);
    connect(timer, &QTimer::timeout, this, &OperationDialog::RefreshPreview);

    pane = plugin->CreateSettingsPane(this);
    if (pane != nullptr) {
        QWidget* widget = pane->Create();
        if (widget != nullptr) {
            auto* holderLayout = new QVBoxLayout(paneHolder);
            holderLayout->setContentsMargins(0, 0, 0, 0);
            holderLayout->addWidget(widget);
            holderLayout->addStretch();
            LinkMnemonicLabels(widget);
        }
        pane->SetImage(image);
    }

    auto* previews = new QHBoxLayout;
    auto* beforeBox = new QGroupBox(tr("Original"), this);
    (new QVBoxLayout(beforeBox))->addWidget(before);
    auto* afterBox = new QGroupBox(tr("Preview"), this);
    (new QVBoxLayout(afterBox))->addWidget(after);
    previews->addWidget(beforeBox);
    previews->addWidget(afterBox);

    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::helpRequested, this, [this] { this->plugin->Help(this); });
    InstallContextHelp(this, [this] { this->plugin->Help(this); });

    auto* right = new QVBoxLayout;
    right->addLayout(previews, 1);
    right->addWidget(note);
    auto* top = new QHBoxLayout;
    top->addWidget(paneHolder);
    // Operations without a live preview get the plain settings dialog.
    livePreview = (plugin->GetFlags() & OpLivePreview) != 0;
    if (livePreview) {
        top->addLayout(right, 1);
    } else {
        delete right; // the hidden preview widgets stay children of the dialog
        for (QWidget* widget : {static_cast<QWidget*>(beforeBox), static_cast<QWidget*>(afterBox),
                                static_cast<QWidget*>(note)}) {
            widget->hide();
        }
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(buttons);

    if (livePreview) {
        before->SetImage(&source);
        before->SetZoom(PreviewZoom(source, kPreviewBox));
        RefreshPreview();
    }
}

OperationDialog::~OperationDialog() {
    if (pane != nullptr) {
        plugin->DestroySettingsPane(pane);
    }
}

void OperationDialog::Changed(CPluginPane*) {
    if (livePreview) {
        timer->start();
    }
}

void OperationDialog::RefreshPreview() {
    timer->stop();
    previewValid = false;
    after->SetImage(nullptr);
    try {
        if (pane != nullptr && !pane->Commit()) {
            note->setText(tr("The settings are not complete."));
            return;
        }
        CVImage fresh(image->host);
        HostProgress progress(nullptr, plugin->GetName(false));
        if (plugin->CanApply(&source) && plugin->Apply(&source, &fresh, &progress)) {
            CVImage::CopyImage(&result, &fresh, nullptr);
            previewValid = true;
        }
    } catch (CQorelError& error) {
        note->setText(QString::fromUtf8(error.Report(false)));
    }
    if (previewValid) {
        note->clear();
        after->SetImage(&result);
        after->SetZoom(PreviewZoom(result, kPreviewBox));
    } else if (note->text().isEmpty()) {
        note->setText(tr("No preview for these settings."));
    }
}

void OperationDialog::done(int code) {
    if (code == QDialog::Accepted && pane != nullptr && !pane->Commit()) {
        return; // the pane keeps the dialog open on a value it refused
    }
    QDialog::done(code);
}

} // namespace pixmill
