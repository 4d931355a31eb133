#include "app/image_browser.h"

#include "desktop/app_settings.h"
#include "desktop/browser/folder_listing.h"
#include "desktop/browser/thumbnail_model.h"
#include "desktop/gui/gui_services.h"
#include "desktop/gui/workspace.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <algorithm>

namespace pixmill {

namespace {

constexpr int kCellPadding = 6;
// Cells stay wide enough for a name and "1920 x 1080, 24 bit".
constexpr int kMinimumTextWidth = 120;
// The tree follows the folder list while it loads, for this long.
constexpr int kRevealWindowMs = 4000;
constexpr int kRevealSettleMs = 100;

// One contact-sheet cell: the thumbnail fitted into the picture box, the
// name and the pixel size under it; a file that did not read shows an error
// mark and the reason.
class ThumbnailDelegate : public QStyledItemDelegate {
  public:
    ThumbnailDelegate(QObject* parent, const int& width, const int& height)
        : QStyledItemDelegate(parent), boxWidth(width), boxHeight(height) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override {
        const int line = option.fontMetrics.height();
        return {std::max(boxWidth, kMinimumTextWidth) + 2 * kCellPadding,
                boxHeight + 2 * line + 3 * kCellPadding};
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        painter->save();
        const QRect cell = option.rect.adjusted(2, 2, -2, -2);
        const QPalette& palette = option.palette;
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        if (selected) {
            painter->fillRect(cell, palette.highlight());
        }
        if ((option.state & QStyle::State_HasFocus) != 0) {
            painter->setPen(QPen(palette.highlight().color().darker(130), 1, Qt::DotLine));
            painter->drawRect(cell.adjusted(0, 0, -1, -1));
        }
        const QRect box(cell.x() + (cell.width() - boxWidth) / 2, cell.y() + kCellPadding - 2,
                        boxWidth, boxHeight);
        const auto state = index.data(ThumbnailModel::StateRole).toInt();
        const QImage image = index.data(ThumbnailModel::ThumbnailRole).value<QImage>();
        if (state == ThumbnailModel::Ready && !image.isNull()) {
            const QSize fitted = image.size().scaled(box.size(), Qt::KeepAspectRatio);
            const QSize shown = image.width() <= box.width() && image.height() <= box.height()
                                    ? image.size() // small pictures are not enlarged
                                    : fitted;
            const QRect target(box.x() + (box.width() - shown.width()) / 2,
                               box.y() + (box.height() - shown.height()) / 2, shown.width(),
                               shown.height());
            painter->setRenderHint(QPainter::SmoothPixmapTransform);
            painter->drawImage(target, image);
            painter->setPen(palette.mid().color());
            painter->drawRect(target.adjusted(0, 0, -1, -1));
        } else if (state == ThumbnailModel::Failed) {
            const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical);
            const int side = std::min({box.width(), box.height(), 48});
            icon.paint(painter,
                       QRect(box.center() - QPoint(side / 2, side / 2), QSize(side, side)));
        } else {
            painter->setPen(QPen(palette.mid().color(), 1, Qt::DashLine));
            painter->drawRect(box.adjusted(0, 0, -1, -1));
        }
        const int line = option.fontMetrics.height();
        QRect text(cell.x() + 2, box.bottom() + kCellPadding, cell.width() - 4, line);
        painter->setPen(selected ? palette.highlightedText().color() : palette.text().color());
        painter->drawText(text, Qt::AlignHCenter | Qt::AlignVCenter,
                          option.fontMetrics.elidedText(index.data(Qt::DisplayRole).toString(),
                                                        Qt::ElideMiddle, text.width()));
        text.translate(0, line);
        QString second = index.data(ThumbnailModel::InfoRole).toString();
        if (state == ThumbnailModel::Failed) {
            second = index.data(ThumbnailModel::ErrorRole).toString();
            if (!selected) {
                painter->setPen(QColor(176, 0, 0));
            }
        } else if (!selected) {
            painter->setPen(palette.placeholderText().color());
        }
        painter->drawText(text, Qt::AlignHCenter | Qt::AlignVCenter,
                          option.fontMetrics.elidedText(second, Qt::ElideRight, text.width()));
        painter->restore();
    }

  private:
    const int& boxWidth;
    const int& boxHeight;
};

} // namespace

ImageBrowser::ImageBrowser(Workspace& owner, ThumbnailSource& source, const QString& folder)
    : workspace(owner) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("imageBrowser"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("folder-pictures"),
                                   style()->standardIcon(QStyle::SP_DirIcon)));
    model = new ThumbnailModel(source, this);
    model->SetBusyCheck([this] {
        return workspace.ScratchInUse() || QApplication::activeModalWidget() != nullptr;
    });

    auto* body = new QWidget;
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(4, 4, 4, 4);
    auto* bar = new QHBoxLayout;
    auto* sortLabel = new QLabel(tr("&Sort by:"));
    sortBox = new QComboBox;
    sortBox->setObjectName(QStringLiteral("sortBox"));
    sortBox->addItem(tr("Name"), static_cast<int>(SortKey::Name));
    sortBox->addItem(tr("Date"), static_cast<int>(SortKey::Date));
    sortBox->addItem(tr("Size"), static_cast<int>(SortKey::Size));
    sortLabel->setBuddy(sortBox);
    orderButton = new QToolButton;
    orderButton->setObjectName(QStringLiteral("orderButton"));
    orderButton->setCheckable(true);
    orderButton->setArrowType(Qt::UpArrow);
    orderButton->setToolTip(tr("Descending order"));
    auto* filterLabel = new QLabel(tr("&Type:"));
    filterBox = new QComboBox;
    filterBox->setObjectName(QStringLiteral("filterBox"));
    filterLabel->setBuddy(filterBox);
    for (const FormatFilter& filter : FormatFilters(workspace.Plugins())) {
        filterBox->addItem(filter.text, filter.patterns);
    }
    filterBox->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    filterBox->setMinimumContentsLength(24);
    bar->addWidget(sortLabel);
    bar->addWidget(sortBox);
    bar->addWidget(orderButton);
    bar->addSpacing(12);
    bar->addWidget(filterLabel);
    bar->addWidget(filterBox, 1);
    layout->addLayout(bar);

    auto* splitter = new QSplitter(Qt::Horizontal);
    folders = new QFileSystemModel(this);
    folders->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    folders->setRootPath(QDir::rootPath());
    tree = new QTreeView;
    tree->setObjectName(QStringLiteral("folderTree"));
    tree->setModel(folders);
    for (int column = 1; column < folders->columnCount(); ++column) {
        tree->hideColumn(column);
    }
    tree->setHeaderHidden(true);
    tree->setRootIndex(folders->index(QDir::rootPath()));
    splitter->addWidget(tree);

    grid = new QListView;
    grid->setObjectName(QStringLiteral("thumbnailGrid"));
    grid->setViewMode(QListView::IconMode);
    grid->setMovement(QListView::Static);
    grid->setResizeMode(QListView::Adjust);
    grid->setUniformItemSizes(true);
    grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grid->setDragEnabled(true);
    grid->setDragDropMode(QAbstractItemView::DragOnly);
    grid->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    grid->setItemDelegate(new ThumbnailDelegate(grid, cellWidth, cellHeight));
    grid->setModel(model);
    grid->installEventFilter(this);
    splitter->addWidget(grid);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 700});
    layout->addWidget(splitter, 1);
    setWidget(body);

    connect(tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) {
                const QString path = folders->filePath(current);
                if (!path.isEmpty() && path != model->Folder()) {
                    model->SetFolder(path);
                    setWindowTitle(tr("Browse - %1").arg(QDir::toNativeSeparators(path)));
                }
            });
    // The tree fills in as folders load, and the folder shown is scrolled
    // into view once the loading has settled (for a while after it was set,
    // so that the tree does not jump later while someone uses it).
    revealTimer = new QTimer(this);
    revealTimer->setSingleShot(true);
    connect(revealTimer, &QTimer::timeout, this, [this] { RevealFolder(); });
    auto revealLater = [this] {
        if (revealClock.isValid() && revealClock.elapsed() < kRevealWindowMs) {
            revealTimer->start(kRevealSettleMs);
        }
    };
    connect(folders, &QFileSystemModel::directoryLoaded, this, revealLater);
    connect(folders, &QAbstractItemModel::layoutChanged, this, revealLater);
    connect(folders, &QAbstractItemModel::rowsInserted, this, revealLater);
    connect(grid, &QAbstractItemView::doubleClicked, this, [this] { OpenSelected(); });
    connect(sortBox, &QComboBox::currentIndexChanged, this, [this] { ApplySort(); });
    connect(orderButton, &QToolButton::toggled, this, [this](bool down) {
        orderButton->setArrowType(down ? Qt::DownArrow : Qt::UpArrow);
        ApplySort();
    });
    connect(filterBox, &QComboBox::currentIndexChanged, this,
            [this] { model->SetPatterns(filterBox->currentData().toStringList()); });
    connect(grid->verticalScrollBar(), &QScrollBar::valueChanged, this,
            [this] { UpdateVisibleRows(); });
    connect(model, &QAbstractItemModel::modelReset, this, [this] { UpdateVisibleRows(); });

    const ImageProperty& image = workspace.Settings().image;
    SetCellSize(image.sheetWidth, image.sheetHeight);
    model->SetPatterns(filterBox->currentData().toStringList());
    SetFolder(folder);
    grid->setFocus(); // keys work on the pictures at once
}

ImageBrowser::~ImageBrowser() = default;

void ImageBrowser::SetFolder(const QString& folder) {
    const QString path = QDir(folder).absolutePath();
    setWindowTitle(tr("Browse - %1").arg(QDir::toNativeSeparators(path)));
    model->SetFolder(path);
    revealClock.start();
    RevealFolder();
}

void ImageBrowser::RevealFolder() {
    const QModelIndex index = folders->index(model->Folder());
    if (!index.isValid()) {
        return;
    }
    if (tree->currentIndex() != index) {
        tree->setCurrentIndex(index);
    }
    for (QModelIndex level = index; level.isValid(); level = level.parent()) {
        tree->expand(level);
    }
    tree->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void ImageBrowser::SetCellSize(int width, int height) {
    cellWidth = std::clamp(width, 10, 150);
    cellHeight = std::clamp(height, 10, 150);
    model->SetCellSize(cellWidth, cellHeight);
    QStyleOptionViewItem option;
    option.initFrom(grid);
    grid->setGridSize(grid->itemDelegate()->sizeHint(option, {}));
    grid->doItemsLayout();
    UpdateVisibleRows();
}

void ImageBrowser::ApplySort() {
    model->SetSort(static_cast<SortKey>(sortBox->currentData().toInt()), orderButton->isChecked());
}

void ImageBrowser::UpdateVisibleRows() {
    // Cells flow left to right in rows of equal height.
    const QSize cell = grid->gridSize();
    const QSize area = grid->viewport()->size();
    if (cell.isEmpty()) {
        return;
    }
    const int columns = std::max(1, area.width() / cell.width());
    const int firstLine = grid->verticalScrollBar()->value() / cell.height();
    const int lines = area.height() / cell.height() + 2;
    model->SetVisibleRows(firstLine * columns, (firstLine + lines) * columns - 1);
}

QStringList ImageBrowser::SelectedPaths() const {
    QModelIndexList selected = grid->selectionModel()->selectedIndexes();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    if (selected.isEmpty() && grid->currentIndex().isValid()) {
        selected << grid->currentIndex();
    }
    return model->Paths(selected);
}

void ImageBrowser::OpenSelected() {
    const QStringList paths = SelectedPaths();
    if (!paths.isEmpty()) {
        workspace.OpenFiles(paths);
    }
}

void ImageBrowser::DeleteSelected() {
    const QStringList paths = SelectedPaths();
    if (paths.isEmpty()) {
        return;
    }
    const QString question =
        paths.size() == 1 ? tr("Move \"%1\" to the trash?").arg(QFileInfo(paths.front()).fileName())
                          : tr("Move these %1 pictures to the trash?").arg(paths.size());
    if (!workspace.Services().AskYesNo("Pixmill", question.toUtf8().constData(), false)) {
        return;
    }
    QStringList moved;
    QStringList failed;
    for (const QString& path : paths) {
        (QFile::moveToTrash(path) ? moved : failed) << path;
    }
    model->RemovePaths(moved);
    if (!failed.isEmpty()) {
        const QString text =
            tr("These files could not be moved to the trash:\n%1").arg(failed.join('\n'));
        workspace.Services().ShowMessage("Pixmill", text.toUtf8().constData(),
                                         MessageIcon::Warning);
    }
}

bool ImageBrowser::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            OpenSelected();
            return true;
        }
        if (key->key() == Qt::Key_Delete && key->modifiers() == Qt::NoModifier) {
            DeleteSelected();
            return true;
        }
        if (key->key() == Qt::Key_F5) { // list again: files come and go
            model->SetFolder(model->Folder());
            return true;
        }
        if (key->key() == Qt::Key_Backspace ||
            (key->key() == Qt::Key_Up && key->modifiers() == Qt::AltModifier)) {
            QDir parent(model->Folder());
            if (parent.cdUp()) {
                SetFolder(parent.absolutePath());
            }
            return true;
        }
    }
    if (watched == grid && event->type() == QEvent::Resize) {
        UpdateVisibleRows();
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

} // namespace pixmill
