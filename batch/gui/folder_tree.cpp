#include "batch/gui/folder_tree.h"

#include <QFileSystemModel>
#include <QHeaderView>

namespace pixmill {

FolderTree::FolderTree(QWidget* parent) : QTreeView(parent) {
    folders = new QFileSystemModel(this);
    folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    folders->setRootPath(QStringLiteral("/"));
    setModel(folders);
    for (int column = 1; column < folders->columnCount(); ++column) {
        hideColumn(column);
    }
    header()->hide();
    // Folders are read in the background: keep the chosen one in view.
    connect(folders, &QFileSystemModel::directoryLoaded, this,
            [this] { scrollTo(currentIndex(), QAbstractItemView::PositionAtCenter); });
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& index) { emit FolderChosen(folders->filePath(index)); });
}

void FolderTree::ShowFolder(const QString& path) {
    const QModelIndex index = folders->index(path);
    if (index.isValid() && currentIndex() != index) {
        setCurrentIndex(index);
        scrollTo(index, QAbstractItemView::PositionAtCenter);
    }
}

} // namespace pixmill
