// PageTreeView: the page's objects grouped by kind (compound images,
// applets, images), each under its display name; a page without objects
// shows the single entry "There no resources to edit".
#pragma once

#include "compound/page_window/page_document.h"

#include <QTreeView>

#include <optional>
#include <vector>

class QStandardItemModel;

namespace pixmill {

class PageTreeView : public QTreeView {
    Q_OBJECT
  public:
    static constexpr const char* kEmptyText = "There no resources to edit";
    // The object index an entry stands for (groups and the empty entry have
    // none).
    static constexpr int kObjectRole = Qt::UserRole + 1;

    explicit PageTreeView(QWidget* parent = nullptr);

    // Lists the entries, keeping the selected object selected when it is
    // still there.
    void SetEntries(const std::vector<PageEntry>& entries);
    std::optional<size_t> SelectedObject() const;
    void SelectObject(size_t index);
    // The texts of the tree, depth first (groups and entries).
    QStringList Texts() const;
    QStandardItemModel* Model() const { return model; }
    // The actions of the context menu.
    void SetContextActions(QList<QAction*> actions) { contextActions = std::move(actions); }

  signals:
    void SelectionChanged();
    void ObjectActivated(int index);

  protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

  private:
    QStandardItemModel* model;
    QList<QAction*> contextActions;
};

} // namespace pixmill
