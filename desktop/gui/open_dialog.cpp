#include "desktop/gui/open_dialog.h"

#include "desktop/browser/thumbnail_model.h"
#include "host/size_text.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSplitter>
#include <QStyle>
#include <QTreeView>
#include <QVBoxLayout>

namespace pixmill {

namespace {
constexpr int kPreviewSide = 160;
} // namespace

OpenDialog::OpenDialog(QWidget* parent, const QString& filters, const QString& directory,
                       std::function<Thumbnail(const QString&)> source)
    : QFileDialog(parent, tr("Open"), directory, filters), preview(std::move(source)) {
    setObjectName(QStringLiteral("openDialog"));
    // The desktop's own dialog cannot take the preview area.
    setOption(QFileDialog::DontUseNativeDialog);
    setFileMode(QFileDialog::ExistingFiles);
    setAcceptMode(QFileDialog::AcceptOpen);

    auto* area = new QWidget(this);
    area->setObjectName(QStringLiteral("previewArea"));
    auto* column = new QVBoxLayout(area);
    column->setContentsMargins(8, 0, 0, 0);
    auto* title = new QLabel(tr("Preview"), area);
    picture = new QLabel(area);
    picture->setObjectName(QStringLiteral("previewPicture"));
    picture->setFixedSize(kPreviewSide + 4, kPreviewSide + 4);
    picture->setAlignment(Qt::AlignCenter);
    picture->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    text = new QLabel(area);
    text->setObjectName(QStringLiteral("previewText"));
    text->setWordWrap(true);
    text->setFixedWidth(kPreviewSide + 4);
    text->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    column->addWidget(title);
    column->addWidget(picture);
    column->addWidget(text);
    column->addStretch(1);
    // The non-native dialog lays itself out on a grid; the preview takes a
    // column of its own at the right.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        grid->addWidget(area, 0, grid->columnCount(), grid->rowCount(), 1);
    }
    connect(this, &QFileDialog::currentChanged, this, &OpenDialog::ShowPreview);
    // A typed name selects the file without making it current.
    if (auto* name = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        connect(name, &QLineEdit::textChanged, this, [this](const QString& typed) {
            const QFileInfo info(this->directory(), typed);
            if (!typed.isEmpty() && info.isFile() && info.absoluteFilePath() != shown) {
                ShowPreview(info.absoluteFilePath());
            }
        });
    }
    // The detail view's columns keep their natural widths (sizes and dates
    // were elided with room to spare) and the name takes what is left.
    if (auto* files = findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = files->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    // Room for the places' names ("Computer") beside the files.
    if (auto* split = findChild<QSplitter*>(QStringLiteral("splitter"))) {
        split->setSizes({130, 600});
    }
    resize(960, 540);
}

void OpenDialog::ShowPreview(const QString& path) {
    picture->clear();
    text->clear();
    const QFileInfo info(path);
    shown = info.absoluteFilePath();
    if (!info.isFile() || !preview) {
        return;
    }
    const Thumbnail thumbnail = preview(info.absoluteFilePath());
    QStringList lines;
    if (thumbnail.failed) {
        picture->setPixmap(
            style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(QSize(48, 48)));
        lines << thumbnail.error;
    } else {
        if (!thumbnail.image.isNull()) {
            QImage shown = thumbnail.image;
            if (shown.width() > kPreviewSide || shown.height() > kPreviewSide) {
                shown = shown.scaled(kPreviewSide, kPreviewSide, Qt::KeepAspectRatio,
                                     Qt::SmoothTransformation);
            }
            picture->setPixmap(QPixmap::fromImage(shown));
        }
        if (const QString size =
                PictureInfoText(thumbnail.width, thumbnail.height, thumbnail.depth);
            !size.isEmpty()) {
            lines << size;
        }
    }
    lines << QString::fromStdString(SizeText(static_cast<uint64_t>(info.size())));
    text->setText(lines.join('\n'));
}

} // namespace pixmill
