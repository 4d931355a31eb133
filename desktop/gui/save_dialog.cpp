#include "desktop/gui/save_dialog.h"

#include "desktop/gui/image_canvas.h"
#include "host/save_session.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/help.h"
#include "pixmill/mnemonics.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

namespace pixmill {

SaveDialog::SaveDialog(SaveSession& session, int previewDelay, QWidget* parent)
    : QDialog(parent), session(session) {
    setObjectName(QStringLiteral("saveDialog"));
    setWindowTitle(tr("Save Options - %1").arg(QString::fromUtf8(session.Format()->GetName(true))));
    paneHolder = new QWidget(this);
    paneHolder->setObjectName(QStringLiteral("paneHolder"));
    memoryLabel = new QLabel(this);
    fileLabel = new QLabel(this);
    ratioLabel = new QLabel(this);
    memoryLabel->setObjectName(QStringLiteral("memorySize"));
    fileLabel->setObjectName(QStringLiteral("fileSize"));
    ratioLabel->setObjectName(QStringLiteral("ratio"));
    timer = new QTimer(this);
    timer->setSingleShot(true);
    timer->setInterval(previewDelay);
    connect(timer, &QTimer::timeout, this, &SaveDialog::Refresh);

    pane = session.Format()->CreateOptionsPane(this);
    auto* left = new QVBoxLayout;
    if (pane != nullptr) {
        session.SetPane(pane);
        auto* holderLayout = new QVBoxLayout(paneHolder);
        holderLayout->setContentsMargins(0, 0, 0, 0);
        if (QWidget* widget = pane->Create()) {
            holderLayout->addWidget(widget);
            LinkMnemonicLabels(widget);
        }
        pane->SetImage(&session.Image());
    }
    left->addWidget(paneHolder);
    auto* sizes = new QGroupBox(tr("Size"), this);
    auto* form = new QFormLayout(sizes);
    form->addRow(tr("Memory:"), memoryLabel);
    form->addRow(tr("File:"), fileLabel);
    form->addRow(tr("Ratio:"), ratioLabel);
    left->addWidget(sizes);
    left->addStretch();

    auto* top = new QHBoxLayout;
    top->addLayout(left);
    if (session.HasPreview()) {
        original = new ImageCanvas(this);
        written = new ImageCanvas(this);
        original->setObjectName(QStringLiteral("original"));
        written->setObjectName(QStringLiteral("written"));
        auto* originalBox = new QGroupBox(tr("Original"), this);
        (new QVBoxLayout(originalBox))->addWidget(original);
        auto* writtenBox = new QGroupBox(tr("Saved"), this);
        (new QVBoxLayout(writtenBox))->addWidget(written);
        for (ImageCanvas* canvas : {original, written}) {
            canvas->setMinimumSize(280, 280);
        }
        original->SetImage(&session.Image());
        // Both pictures scroll together.
        for (auto [from, to] : {std::pair{original, written}, std::pair{written, original}}) {
            ImageCanvas* target = to;
            connect(from->horizontalScrollBar(), &QScrollBar::valueChanged, target,
                    [target](int v) { target->horizontalScrollBar()->setValue(v); });
            connect(from->verticalScrollBar(), &QScrollBar::valueChanged, target,
                    [target](int v) { target->verticalScrollBar()->setValue(v); });
        }
        // Start on the middle of the picture, once the layout gave the sizes.
        QTimer::singleShot(0, original, [this] {
            QScrollBar* h = original->horizontalScrollBar();
            QScrollBar* v = original->verticalScrollBar();
            h->setValue(h->maximum() / 2);
            v->setValue(v->maximum() / 2);
        });
        top->addWidget(originalBox, 1);
        top->addWidget(writtenBox, 1);
    }
    auto* buttons = new QDialogButtonBox(
        QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto formatHelp = [this] { this->session.Format()->Help(this); };
    connect(buttons, &QDialogButtonBox::helpRequested, this, formatHelp);
    InstallContextHelp(this, formatHelp);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(buttons);
    Refresh();
}

SaveDialog::~SaveDialog() {
    session.SetPane(nullptr);
    if (pane != nullptr) {
        session.Format()->DestroyOptionsPane(pane);
    }
}

const CVImage* SaveDialog::GetImage() {
    return &session.Image();
}

void SaveDialog::Changed(CPluginPane*) {
    timer->start();
}

bool SaveDialog::RefreshPending() const {
    return timer->isActive();
}

void SaveDialog::Refresh() {
    timer->stop();
    try {
        session.Refresh();
    } catch (CQorelError& error) {
        error.Report(true);
    }
    memoryLabel->setText(MemorySizeText());
    fileLabel->setText(FileSizeText());
    ratioLabel->setText(RatioText());
    if (written != nullptr) {
        const int h = original->horizontalScrollBar()->value();
        const int v = original->verticalScrollBar()->value();
        written->SetImage(session.Preview());
        written->horizontalScrollBar()->setValue(h);
        written->verticalScrollBar()->setValue(v);
    }
}

QString SaveDialog::FileSizeText() const {
    return QString::fromStdString(session.FileSizeText());
}

QString SaveDialog::MemorySizeText() const {
    return QString::fromStdString(session.MemorySizeText());
}

QString SaveDialog::RatioText() const {
    return QString::fromStdString(session.RatioText());
}

void SaveDialog::done(int code) {
    if (code == QDialog::Accepted && timer->isActive()) {
        Refresh(); // what is saved is what the pane shows now
    }
    QDialog::done(code);
}

} // namespace pixmill
