// ThumbnailCache: the desktop's shared thumbnail cache
// (~/.cache/thumbnails/normal and large). A thumbnail is a PNG named by the
// MD5 of its picture's URI and carries that URI and the picture's
// modification time in tEXt chunks; it is valid only while both match, so
// a changed picture is thumbnailed again. Files are written under a
// temporary name and renamed, so a reader never sees half a thumbnail.
#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <optional>

namespace pixmill {

// The two sizes the cache keeps: the longer side at most 128 or 256 pixels.
enum class ThumbnailSize { Normal = 128, Large = 256 };

// What a cached thumbnail says about its picture besides the pixels. The
// pixel size and depth are 0 when the writer did not record them.
struct CachedThumbnail {
    QImage image;
    int width = 0;
    int height = 0;
    int depth = 0;
    // Whether the pixels are the picture's as stored, not turned upright by
    // its EXIF orientation (the "keep stored pixels" preference).
    bool storedOrientation = false;
};

class ThumbnailCache {
  public:
    // root: the folder holding normal/ and large/; empty for the desktop's
    // ($XDG_CACHE_HOME or ~/.cache, then thumbnails/).
    explicit ThumbnailCache(QString root = {});

    const QString& Root() const { return root; }
    // The smallest cache size whose thumbnails cover a box of width x height.
    static ThumbnailSize SizeFor(int width, int height);
    // "file:///..." of an absolute path, escaped as the desktop's file
    // managers escape it (UTF-8 bytes, reserved characters as %XX).
    static QString UriOf(const QString& absolutePath);
    // The cache file of a picture: <root>/<normal|large>/<md5 of uri>.png.
    QString FileOf(const QString& absolutePath, ThumbnailSize size) const;

    // The cached thumbnail when it exists and its URI and time match the
    // picture's (modification time in whole seconds since the epoch), and
    // it shows the picture as wanted: upright by its EXIF orientation, or
    // as stored. Other programs' thumbnails are upright; ours say which
    // (and ours that do not say are from before pictures were turned).
    std::optional<CachedThumbnail> Lookup(const QString& absolutePath, int64_t modified,
                                          ThumbnailSize size,
                                          bool storedOrientation = false) const;
    // Writes a thumbnail (already no larger than the size); false when the
    // cache cannot be written, which only costs a later decode.
    bool Store(const QString& absolutePath, int64_t modified, int64_t fileSize, ThumbnailSize size,
               const CachedThumbnail& thumbnail) const;

  private:
    QString root;
};

// The PNG of image with tEXt chunks (key, value pairs, Latin-1) after its
// header chunk.
QByteArray PngWithText(const QImage& image, const std::vector<std::pair<QString, QString>>& text);

} // namespace pixmill
