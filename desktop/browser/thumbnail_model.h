// ThumbnailModel: the image browser's list — the pictures of one folder
// under a format filter and a sort order, each with its thumbnail, pixel
// size and depth, or the reason it could not be read. Thumbnails are made a
// few at a time from a zero timer, so the window keeps taking input while
// they arrive; the rows on screen are made first. No widgets: tests and the
// benchmark drive it directly.
#pragma once

#include "desktop/browser/folder_listing.h"
#include "desktop/browser/thumbnail_queue.h"
#include "desktop/browser/thumbnail_source.h"

#include <QAbstractListModel>
#include <QTimer>

#include <functional>
#include <vector>

namespace pixmill {

class ThumbnailModel : public QAbstractListModel {
    Q_OBJECT
  public:
    enum Role {
        PathRole = Qt::UserRole + 1, // absolute path
        InfoRole,                    // "1920 x 1080, 24 bit", empty until known
        StateRole,                   // a State
        ErrorRole,                   // the reader's message for a failed file
        ThumbnailRole,               // the thumbnail (QImage, null until made)
    };
    enum State { Pending = 0, Ready = 1, Failed = 2 };

    explicit ThumbnailModel(ThumbnailSource& source, QObject* parent = nullptr);

    // Lists a folder again (also the current one, after the files changed).
    void SetFolder(const QString& folder);
    const QString& Folder() const { return folder; }
    void SetPatterns(const QStringList& patterns);
    void SetSort(SortKey key, bool descending);
    SortKey Sort() const { return sortKey; }
    // The cell's picture box; thumbnails cover it.
    void SetCellSize(int width, int height);
    // The rows on screen, made first.
    void SetVisibleRows(int first, int last);
    // While this answers true no thumbnail is made (another read holds the
    // plug-ins' scratch space, or a modal dialog runs).
    void SetBusyCheck(std::function<bool()> check) { busy = std::move(check); }
    // Time given to thumbnails before the event loop runs again.
    void SetSliceMilliseconds(int milliseconds) { sliceMs = milliseconds; }

    // Makes waiting thumbnails for up to the slice's time (at least one);
    // returns how many were made. The timer calls it; tests call it too.
    int MakeThumbnails();
    int Waiting() const { return queue.Waiting(); }
    QStringList Paths(const QModelIndexList& indexes) const;
    // Takes rows out of the list (files moved to the trash).
    void RemovePaths(const QStringList& paths);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;

  signals:
    // Every waiting thumbnail of the listing was made.
    void AllThumbnailsMade();

  private:
    struct Row {
        FileEntry file;
        Thumbnail thumbnail;
        State state = Pending;
    };
    void Relist();
    void Schedule(int delayMs);

    ThumbnailSource& source;
    QString folder;
    QStringList patterns;
    SortKey sortKey = SortKey::Name;
    bool descending = false;
    int cellWidth = 100;
    int cellHeight = 100;
    std::vector<Row> rows;
    ThumbnailQueue queue;
    QTimer timer;
    std::function<bool()> busy;
    int sliceMs = 30;
};

// "1920 x 1080, 24 bit"; empty when the size is unknown.
QString PictureInfoText(int width, int height, int depth);

} // namespace pixmill
