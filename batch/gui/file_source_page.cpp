#include "batch/gui/file_source_page.h"

#include "batch/batch_file_source.h"
#include "batch/batch_job.h"
#include "batch/gui/folder_tree.h"
#include "host/image_io.h"
#include "host/plugin_manager.h"
#include "host/streams.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace pixmill {

FileSourcePage::FileSourcePage(BatchJob& job, QWidget* parent)
    : QWidget(parent), source(job.FileSource()), job(job) {
    setObjectName(QStringLiteral("fileSourcePage"));
    tree = new FolderTree(this);
    tree->setObjectName(QStringLiteral("lookIn"));
    connect(tree, &FolderTree::FolderChosen, this, &FileSourcePage::ShowFolder);

    // Name and, with the preview on, size and depth in a column of their own.
    files = new QTreeWidget(this);
    files->setObjectName(QStringLiteral("files"));
    files->setSelectionMode(QAbstractItemView::ExtendedSelection);
    files->setRootIsDecorated(false);
    files->setHeaderHidden(true);
    files->setColumnCount(2);
    preview = new QCheckBox(tr("File Pre&view"), this);
    preview->setChecked(source.preview != 0);
    connect(preview, &QCheckBox::toggled, this, &FileSourcePage::ListFiles);
    types = new QComboBox(this);
    types->setObjectName(QStringLiteral("fileTypes"));
    for (const std::string& text : source.FilterTexts()) {
        types->addItem(QString::fromStdString(text));
    }
    const int filter = source.filter >= 0 && source.filter < types->count() ? source.filter : 0;
    types->setCurrentIndex(filter);
    types->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    types->setMinimumContentsLength(20);
    connect(types, &QComboBox::currentIndexChanged, this, [this](int index) {
        this->source.filter = index;
        ListFiles();
    });
    auto* typesLabel = new QLabel(tr("Files of &Type :"), this);
    typesLabel->setBuddy(types);

    auto* addAll = new QPushButton(tr("Add &All"), this);
    auto* add = new QPushButton(tr("A&dd"), this);
    auto* remove = new QPushButton(tr("&Remove"), this);
    auto* removeAll = new QPushButton(tr("Re&move All"), this);
    connect(addAll, &QPushButton::clicked, this, [this] { AddFiles(true); });
    connect(add, &QPushButton::clicked, this, [this] { AddFiles(false); });
    connect(files, &QTreeWidget::itemDoubleClicked, this, [this] { AddFiles(false); });
    connect(remove, &QPushButton::clicked, this, [this] {
        qDeleteAll(chosen->selectedItems());
        UpdateCount();
    });
    connect(removeAll, &QPushButton::clicked, this, [this] {
        chosen->clear();
        UpdateCount();
    });

    chosen = new QListWidget(this);
    chosen->setObjectName(QStringLiteral("chosenFiles"));
    chosen->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (const std::string& path : source.Files()) {
        auto* item =
            new QListWidgetItem(QFileInfo(QString::fromStdString(path)).fileName(), chosen);
        item->setData(Qt::UserRole, QString::fromStdString(path));
        item->setToolTip(QString::fromStdString(path));
    }
    count = new QLabel(this);
    count->setBuddy(chosen);

    auto* lookIn = new QVBoxLayout;
    lookIn->addWidget(new QLabel(tr("Look In"), this));
    lookIn->addWidget(tree, 1);
    auto* list = new QVBoxLayout;
    list->addWidget(files, 1);
    list->addWidget(preview);
    list->addWidget(typesLabel);
    list->addWidget(types);
    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {addAll, add, remove, removeAll}) {
        buttons->addWidget(button);
    }
    buttons->addStretch();
    auto* selected = new QVBoxLayout;
    selected->addWidget(count);
    selected->addWidget(chosen, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(lookIn, 3);
    layout->addLayout(list, 4);
    layout->addLayout(buttons);
    layout->addLayout(selected, 3);

    source.ResetPosition();
    QString start = QString::fromStdString(source.path);
    if (!QDir(start).exists()) {
        start = QDir::homePath();
    }
    ShowFolder(start);
    UpdateCount();
}

void FileSourcePage::ShowFolder(const QString& path) {
    const QString absolute = QDir(path).absolutePath();
    if (absolute == folder && files->topLevelItemCount() > 0) {
        return;
    }
    folder = absolute;
    tree->ShowFolder(folder);
    ListFiles();
}

QString FileSourcePage::PreviewLine(const QString& path) const {
    const QString name = QFileInfo(path).fileName();
    try {
        FileStream stream(path.toStdString(), FileStream::ForReading);
        CVImage image(job.GetPluginHost());
        const SIZE small{64, 64}; // only the header matters
        const SIZE stored = ReadHeaderByContent(job.Plugins(), stream, image, &small);
        return QStringLiteral("%1\t%2x%3  %4 bit")
            .arg(name)
            .arg(stored.cx)
            .arg(stored.cy)
            .arg(image.BitCount());
    } catch (CQorelError&) {
        return name;
    }
}

void FileSourcePage::ListFiles() {
    files->clear();
    for (const std::string& name : source.ListFolder(folder.toStdString())) {
        const QString full = QDir(folder).filePath(QString::fromStdString(name));
        const QString line = preview->isChecked() ? PreviewLine(full) : QFileInfo(full).fileName();
        auto* item = new QTreeWidgetItem(files, line.split('\t'));
        item->setData(0, Qt::UserRole, full);
    }
    files->resizeColumnToContents(0);
}

void FileSourcePage::AddFiles(bool all) {
    QStringList present;
    for (int i = 0; i < chosen->count(); ++i) {
        present << chosen->item(i)->data(Qt::UserRole).toString();
    }
    for (int i = 0; i < files->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = files->topLevelItem(i);
        const QString path = item->data(0, Qt::UserRole).toString();
        if ((all || item->isSelected()) && !present.contains(path)) {
            auto* added = new QListWidgetItem(QFileInfo(path).fileName(), chosen);
            added->setData(Qt::UserRole, path);
            added->setToolTip(path);
            present << path;
        }
    }
    UpdateCount();
}

void FileSourcePage::UpdateCount() {
    count->setText(tr("%1 &Files Select :").arg(chosen->count()));
}

void FileSourcePage::TakeOver() {
    std::string path = folder.toStdString();
    if (path.empty() || path.back() != '/') {
        path += '/';
    }
    source.path = path;
    source.preview = preview->isChecked() ? 1 : 0;
    source.filter = types->currentIndex();
    std::vector<std::string> paths;
    for (int i = 0; i < chosen->count(); ++i) {
        paths.push_back(chosen->item(i)->data(Qt::UserRole).toString().toStdString());
    }
    source.SetFiles(std::move(paths));
    source.ResetPosition();
}

} // namespace pixmill
