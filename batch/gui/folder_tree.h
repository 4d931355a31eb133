// The folder tree of the file source and destination pages: every folder
// from "/", one column, the chosen folder kept in view while the tree is
// still being read.
#pragma once

#include <QTreeView>

class QFileSystemModel;

namespace pixmill {

class FolderTree : public QTreeView {
    Q_OBJECT
  public:
    explicit FolderTree(QWidget* parent);
    // Makes the folder the current one (when it exists).
    void ShowFolder(const QString& path);

  signals:
    void FolderChosen(const QString& path);

  private:
    QFileSystemModel* folders;
};

} // namespace pixmill
