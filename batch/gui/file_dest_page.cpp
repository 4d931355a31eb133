#include "batch/gui/file_dest_page.h"

#include "batch/batch_file_dest.h"
#include "batch/gui/folder_tree.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace pixmill {

FileDestPage::FileDestPage(BatchFileDest& destination, QWidget* parent)
    : QWidget(parent), destination(destination) {
    setObjectName(QStringLiteral("fileDestPage"));
    path = new QLineEdit(QString::fromStdString(destination.path), this);
    path->setObjectName(QStringLiteral("saveTo"));
    tree = new FolderTree(this);
    tree->ShowFolder(QString::fromStdString(destination.path));
    connect(tree, &FolderTree::FolderChosen, this, [this](QString chosen) {
        if (chosen.size() >= 3 || chosen == QStringLiteral("/")) {
            if (!chosen.endsWith('/')) {
                chosen += '/';
            }
            path->setText(chosen);
        }
    });

    enhance = new QSpinBox(this);
    enhance->setRange(-100, 100);
    enhance->setValue(destination.thumbnail.enhance);
    width = new QSpinBox(this);
    height = new QSpinBox(this);
    for (QSpinBox* box : {width, height}) {
        box->setRange(1, BatchFileDest::kMaxThumbnailSide);
    }
    width->setValue(destination.thumbnail.width);
    height->setValue(destination.thumbnail.height);
    thumbnails = new QCheckBox(tr("&Generate thumbnails"), this);
    thumbnails->setChecked(destination.isThumbnail != 0);
    thumbName = new QLineEdit(QString::fromStdString(destination.thumbName), this);
    thumbName->setObjectName(QStringLiteral("thumbName"));
    fit = new QCheckBox(tr("&Fit to thumbnail size"), this);
    fit->setChecked(destination.thumbnail.fitToSize != 0);
    discard = new QRadioButton(tr("&Discard aspect ratio"), this);
    smartCut = new QRadioButton(tr("&Smart cut"), this);
    auto* cutGroup = new QButtonGroup(this);
    cutGroup->addButton(discard);
    cutGroup->addButton(smartCut);
    discard->setChecked(destination.thumbnail.discardAspectRatio != 0);
    smartCut->setChecked(destination.thumbnail.smartCut != 0);
    askName = new QRadioButton(tr("&Ask file name for every image"), this);
    originalName = new QRadioButton(tr("&Use file name of the original image"), this);
    (destination.newFileName == 0 ? askName : originalName)->setChecked(true);
    thumbnailsOnly = new QCheckBox(tr("Generate Thumbnails &Only (Don`t save big images)"), this);
    thumbnailsOnly->setChecked(destination.mainImageMode == MainThumbnailsOnly);

    connect(fit, &QCheckBox::toggled, this, [this](bool on) {
        if (on && !discard->isChecked() && !smartCut->isChecked()) {
            smartCut->setChecked(true);
        }
        UpdateEnabling();
    });
    connect(thumbnails, &QCheckBox::toggled, this, &FileDestPage::UpdateEnabling);

    auto* saveTo = new QGroupBox(tr("Save To"), this);
    auto* saveToLayout = new QVBoxLayout(saveTo);
    saveToLayout->addWidget(path);
    saveToLayout->addWidget(tree, 1);

    auto* thumbGroup = new QGroupBox(tr("Thumbnail"), this);
    auto* thumbLayout = new QGridLayout(thumbGroup);
    thumbLayout->addWidget(thumbnails, 0, 0, 1, 2);
    auto label = [this](const QString& text, QWidget* buddy) {
        auto* made = new QLabel(text, this);
        made->setBuddy(buddy);
        return made;
    };
    thumbLayout->addWidget(label(tr("&Width :"), width), 1, 0);
    thumbLayout->addWidget(width, 1, 1);
    thumbLayout->addWidget(label(tr("&Height :"), height), 2, 0);
    thumbLayout->addWidget(height, 2, 1);
    thumbLayout->addWidget(label(tr("Thumbnail Name Expansion"), thumbName), 3, 0);
    thumbLayout->addWidget(thumbName, 3, 1);
    thumbLayout->addWidget(fit, 4, 0, 1, 2);
    auto* radios = new QVBoxLayout;
    radios->setContentsMargins(24, 0, 0, 0);
    radios->addWidget(discard);
    radios->addWidget(smartCut);
    thumbLayout->addLayout(radios, 5, 0, 1, 2);
    thumbLayout->addWidget(label(tr("JPEG Enhancement"), enhance), 6, 0);
    thumbLayout->addWidget(enhance, 6, 1);

    auto* nameGroup = new QGroupBox(tr("File name"), this);
    auto* nameLayout = new QVBoxLayout(nameGroup);
    nameLayout->addWidget(askName);
    nameLayout->addWidget(originalName);
    nameLayout->addWidget(thumbnailsOnly);

    auto* right = new QVBoxLayout;
    right->addWidget(thumbGroup);
    right->addWidget(nameGroup);
    right->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(saveTo, 1);
    layout->addLayout(right);
    UpdateEnabling();
}

void FileDestPage::UpdateEnabling() {
    discard->setEnabled(fit->isChecked());
    smartCut->setEnabled(fit->isChecked());
}

void FileDestPage::TakeOver() {
    destination.path = path->text().toStdString();
    destination.thumbnail.enhance = enhance->value();
    destination.thumbnail.width = width->value();
    destination.thumbnail.height = height->value();
    destination.isThumbnail = thumbnails->isChecked() ? 1 : 0;
    destination.thumbName = thumbName->text().toStdString();
    destination.thumbnail.fitToSize = fit->isChecked() ? 1 : 0;
    destination.thumbnail.discardAspectRatio = discard->isChecked() ? 1 : 0;
    destination.thumbnail.smartCut = smartCut->isChecked() ? 1 : 0;
    destination.newFileName = askName->isChecked() ? 0 : 1;
    destination.mainImageMode = thumbnailsOnly->isChecked() ? MainThumbnailsOnly : MainEncoded;
}

} // namespace pixmill
