#include "compound/page_window/page_tree_view.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMenu>
#include <QStandardItemModel>
#include <QStyle>

namespace pixmill {

namespace {

struct Group {
    int kind;
    const char* title;
    QStyle::StandardPixmap icon;
};

constexpr Group kGroups[] = {
    {HtmlPageObject::Compound, "Compound images", QStyle::SP_FileDialogDetailedView},
    {HtmlPageObject::Applet, "Applets", QStyle::SP_ComputerIcon},
    {HtmlPageObject::Image, "Images", QStyle::SP_FileIcon},
};

void CollectTexts(const QStandardItem* item, QStringList& texts) {
    for (int row = 0; row < item->rowCount(); ++row) {
        texts << item->child(row)->text();
        CollectTexts(item->child(row), texts);
    }
}

} // namespace

PageTreeView::PageTreeView(QWidget* parent)
    : QTreeView(parent), model(new QStandardItemModel(this)) {
    setObjectName(QStringLiteral("pageTree"));
    setModel(model);
    header()->hide();
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { emit SelectionChanged(); });
    connect(this, &QTreeView::activated, this, [this](const QModelIndex& index) {
        const QVariant object = index.data(kObjectRole);
        if (object.isValid()) {
            emit ObjectActivated(object.toInt());
        }
    });
}

void PageTreeView::SetEntries(const std::vector<PageEntry>& entries) {
    const std::optional<size_t> selected = SelectedObject();
    model->clear();
    if (entries.empty()) {
        auto* empty = new QStandardItem(QString::fromUtf8(kEmptyText));
        empty->setSelectable(false);
        model->appendRow(empty);
        emit SelectionChanged();
        return;
    }
    for (const Group& group : kGroups) {
        QStandardItem* parent = nullptr;
        for (const PageEntry& entry : entries) {
            if (entry.kind != group.kind) {
                continue;
            }
            if (parent == nullptr) {
                parent =
                    new QStandardItem(style()->standardIcon(QStyle::SP_DirIcon), tr(group.title));
                parent->setSelectable(false);
                model->appendRow(parent);
            }
            auto* item = new QStandardItem(style()->standardIcon(group.icon),
                                           QString::fromStdString(entry.name));
            item->setData(static_cast<int>(entry.index), kObjectRole);
            item->setToolTip(QString::fromStdString(entry.name));
            parent->appendRow(item);
        }
    }
    expandAll();
    if (selected && *selected < entries.size()) {
        SelectObject(*selected);
    }
    emit SelectionChanged();
}

std::optional<size_t> PageTreeView::SelectedObject() const {
    const QVariant object = currentIndex().data(kObjectRole);
    if (!object.isValid() || !selectionModel()->isSelected(currentIndex())) {
        return std::nullopt;
    }
    return static_cast<size_t>(object.toInt());
}

void PageTreeView::SelectObject(size_t index) {
    for (int group = 0; group < model->rowCount(); ++group) {
        const QStandardItem* parent = model->item(group);
        for (int row = 0; row < parent->rowCount(); ++row) {
            if (parent->child(row)->data(kObjectRole).toInt() == static_cast<int>(index) &&
                parent->child(row)->data(kObjectRole).isValid()) {
                setCurrentIndex(parent->child(row)->index());
                return;
            }
        }
    }
}

QStringList PageTreeView::Texts() const {
    QStringList texts;
    CollectTexts(model->invisibleRootItem(), texts);
    return texts;
}

void PageTreeView::contextMenuEvent(QContextMenuEvent* event) {
    const QModelIndex index = indexAt(event->pos());
    if (index.isValid()) {
        setCurrentIndex(index);
    }
    if (!SelectedObject() || contextActions.isEmpty()) {
        return;
    }
    QMenu menu(this);
    menu.addActions(contextActions);
    menu.exec(event->globalPos());
}

} // namespace pixmill
