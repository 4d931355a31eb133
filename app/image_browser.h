// ImageBrowser: an MDI window for finding pictures: a folder tree on the
// left and a contact sheet of the folder's pictures on the right, each cell
// the thumbnail fitted into the preferences' contact-sheet size with the
// name, pixel size and depth under it. Double-click or Enter opens the
// selected pictures, Delete moves them to the trash after asking, and cells
// can be dragged onto the main window. The list and its thumbnails are
// ThumbnailModel's; this window only lays out and forwards.
#pragma once

#include <QElapsedTimer>
#include <QMdiSubWindow>

class QComboBox;
class QFileSystemModel;
class QListView;
class QTimer;
class QToolButton;
class QTreeView;

namespace pixmill {

class Workspace;
class ThumbnailModel;
class ThumbnailSource;

class ImageBrowser : public QMdiSubWindow {
    Q_OBJECT
  public:
    ImageBrowser(Workspace& workspace, ThumbnailSource& source, const QString& folder);
    ~ImageBrowser() override;

    void SetFolder(const QString& folder);
    // The contact sheet's picture box (the preferences' width and height).
    void SetCellSize(int width, int height);
    ThumbnailModel& Model() const { return *model; }
    QListView* Grid() const { return grid; }
    QTreeView* Tree() const { return tree; }
    QComboBox* SortBox() const { return sortBox; }
    QComboBox* FilterBox() const { return filterBox; }

    void OpenSelected();
    void DeleteSelected();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ApplySort();
    // Selects the list's folder in the tree and scrolls it into view.
    void RevealFolder();
    void UpdateVisibleRows();
    QStringList SelectedPaths() const;

    Workspace& workspace;
    ThumbnailModel* model;
    QFileSystemModel* folders;
    QTreeView* tree;
    QListView* grid;
    QComboBox* sortBox;
    QToolButton* orderButton;
    QComboBox* filterBox;
    QTimer* revealTimer;
    QElapsedTimer revealClock;
    int cellWidth = 100;
    int cellHeight = 100;
};

} // namespace pixmill
