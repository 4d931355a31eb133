// ThumbnailSource: the thumbnail of a picture file, from the shared cache
// when it is current, else decoded through the format plug-ins at a reduced
// size (the JPEG reader decodes 1/2, 1/4 or 1/8 of the picture) and stored
// in the cache. Plug-ins share the host's scratch arena, so this runs on the
// user-interface thread only, one picture at a time.
#pragma once

#include "desktop/browser/thumbnail_cache.h"

#include <QImage>
#include <QString>

namespace pixmill {

class HostServices;
class PluginManager;

struct Thumbnail {
    QImage image;  // at most the cache size; null when failed
    int width = 0; // the picture's own size and depth (0 when unknown)
    int height = 0;
    int depth = 0;
    bool failed = false;
    QString error;       // why it failed
    bool cached = false; // came from the cache
};

class ThumbnailSource {
  public:
    ThumbnailSource(HostServices& host, PluginManager& plugins,
                    ThumbnailCache cache = ThumbnailCache());

    // The thumbnail for a cell of boxWidth x boxHeight (served from the
    // smallest cache size that covers it). A file that does not decode gives
    // failed with the reader's message; the cache never holds it, nor
    // thumbnails of its own files.
    Thumbnail Get(const QString& path, int boxWidth, int boxHeight);
    // The decode alone, thumbnail no larger than size; nothing is cached.
    Thumbnail Decode(const QString& path, ThumbnailSize size);

    const ThumbnailCache& Cache() const { return cache; }

  private:
    // The picture's size and depth from its header (for thumbnails another
    // program wrote); false when the header does not read.
    bool ReadSizeAndDepth(const QString& path, Thumbnail& thumbnail);

    HostServices& host;
    PluginManager& plugins;
    ThumbnailCache cache;
};

} // namespace pixmill
