#include "desktop/browser/thumbnail_model.h"

#include <QElapsedTimer>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace pixmill {

namespace {
// While the program is busy elsewhere, thumbnails wait this long.
constexpr int kBusyRetryMs = 100;
} // namespace

QString PictureInfoText(int width, int height, int depth) {
    if (width <= 0 || height <= 0) {
        return {};
    }
    QString text = QStringLiteral("%1 x %2").arg(width).arg(height);
    if (depth > 0) {
        text += QStringLiteral(", %1 bit").arg(depth);
    }
    return text;
}

ThumbnailModel::ThumbnailModel(ThumbnailSource& source, QObject* parent)
    : QAbstractListModel(parent), source(source) {
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, [this] {
        if (busy && busy()) {
            Schedule(kBusyRetryMs);
            return;
        }
        MakeThumbnails();
    });
}

void ThumbnailModel::SetFolder(const QString& path) {
    folder = path;
    Relist();
}

void ThumbnailModel::SetPatterns(const QStringList& list) {
    patterns = list;
    Relist();
}

void ThumbnailModel::SetSort(SortKey key, bool down) {
    sortKey = key;
    descending = down;
    Relist();
}

void ThumbnailModel::SetCellSize(int width, int height) {
    const bool sizeChanged =
        ThumbnailCache::SizeFor(width, height) != ThumbnailCache::SizeFor(cellWidth, cellHeight);
    cellWidth = width;
    cellHeight = height;
    if (sizeChanged) {
        Relist(); // thumbnails of the other cache size
    }
}

void ThumbnailModel::SetVisibleRows(int first, int last) {
    queue.SetVisible(first, last);
}

void ThumbnailModel::Relist() {
    beginResetModel();
    rows.clear();
    if (!folder.isEmpty() && !patterns.isEmpty()) {
        std::vector<FileEntry> files = ListFolder(folder, patterns);
        SortEntries(files, sortKey, descending);
        for (FileEntry& file : files) {
            rows.push_back(Row{std::move(file), {}, Pending});
        }
    }
    queue.Reset(static_cast<int>(rows.size()));
    endResetModel();
    Schedule(0);
}

void ThumbnailModel::Schedule(int delayMs) {
    if (queue.Waiting() > 0) {
        timer.start(delayMs);
    }
}

int ThumbnailModel::MakeThumbnails() {
    QElapsedTimer clock;
    clock.start();
    int made = 0;
    while (queue.Waiting() > 0 && (made == 0 || clock.elapsed() < sliceMs)) {
        const int next = queue.Next();
        Row& row = rows[static_cast<size_t>(next)];
        row.thumbnail = source.Get(row.file.path, cellWidth, cellHeight);
        row.state = row.thumbnail.failed ? Failed : Ready;
        queue.Done(next);
        ++made;
        const QModelIndex changed = index(next);
        emit dataChanged(changed, changed);
    }
    if (queue.Waiting() > 0) {
        Schedule(0);
    } else if (made > 0) {
        emit AllThumbnailsMade();
    }
    return made;
}

QStringList ThumbnailModel::Paths(const QModelIndexList& indexes) const {
    QStringList paths;
    for (const QModelIndex& index : indexes) {
        if (index.isValid() && index.row() < rowCount()) {
            paths << rows[static_cast<size_t>(index.row())].file.path;
        }
    }
    return paths;
}

void ThumbnailModel::RemovePaths(const QStringList& paths) {
    for (int row = rowCount() - 1; row >= 0; --row) {
        if (paths.contains(rows[static_cast<size_t>(row)].file.path)) {
            beginRemoveRows({}, row, row);
            rows.erase(rows.begin() + row);
            queue.Remove(row);
            endRemoveRows();
        }
    }
}

int ThumbnailModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows.size());
}

QVariant ThumbnailModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    const Row& row = rows[static_cast<size_t>(index.row())];
    const Thumbnail& thumbnail = row.thumbnail;
    switch (role) {
    case Qt::DisplayRole:
        return row.file.name;
    case Qt::ToolTipRole: {
        QString tip = row.file.path;
        if (row.state == Failed) {
            tip += '\n' + thumbnail.error;
        } else if (const QString info =
                       PictureInfoText(thumbnail.width, thumbnail.height, thumbnail.depth);
                   !info.isEmpty()) {
            tip += '\n' + info;
        }
        return tip;
    }
    case PathRole:
        return row.file.path;
    case InfoRole:
        return PictureInfoText(thumbnail.width, thumbnail.height, thumbnail.depth);
    case StateRole:
        return static_cast<int>(row.state);
    case ErrorRole:
        return thumbnail.error;
    case ThumbnailRole:
        return thumbnail.image;
    default:
        return {};
    }
}

Qt::ItemFlags ThumbnailModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList ThumbnailModel::mimeTypes() const {
    return {QStringLiteral("text/uri-list")};
}

QMimeData* ThumbnailModel::mimeData(const QModelIndexList& indexes) const {
    QList<QUrl> urls;
    for (const QString& path : Paths(indexes)) {
        urls << QUrl::fromLocalFile(path);
    }
    auto* data = new QMimeData;
    data->setUrls(urls);
    return data;
}

} // namespace pixmill
