#include "desktop/browser/thumbnail_source.h"

#include "desktop/image_display.h"
#include "desktop/row_renderer.h"
#include "host/color_management.h"
#include "host/host_services.h"
#include "host/image_io.h"
#include "host/plugin_manager.h"
#include "host/streams.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"

#include <QFileInfo>

namespace pixmill {

namespace {

// Damaged files become error cells instead of message boxes; the policy and
// the damage list are left as they were.
class RefuseDamage {
  public:
    explicit RefuseDamage(HostServices& host) : host(host), before(host.GetDamagePolicy()) {
        host.SetDamagePolicy(HostServices::DamagePolicy::Refuse);
    }
    ~RefuseDamage() {
        host.SetDamagePolicy(before);
        host.TakeDamageReports();
    }
    RefuseDamage(const RefuseDamage&) = delete;
    RefuseDamage& operator=(const RefuseDamage&) = delete;

  private:
    HostServices& host;
    HostServices::DamagePolicy before;
};

QImage ToQImage(const CVImage& image) {
    QImage out(image.Width(), image.Height(), QImage::Format_RGB32);
    if (out.isNull()) {
        return out;
    }
    static const GammaTable identity = MakeGammaTable(GammaParameters{});
    RenderRows(image, 100.0, identity, RenderArea{0, 0, image.Width(), image.Height()},
               reinterpret_cast<uint32_t*>(out.bits()),
               static_cast<size_t>(out.bytesPerLine()) / sizeof(uint32_t));
    return out;
}

} // namespace

ThumbnailSource::ThumbnailSource(HostServices& host, PluginManager& plugins, ThumbnailCache cache)
    : host(host), plugins(plugins), cache(std::move(cache)) {}

Thumbnail ThumbnailSource::Decode(const QString& path, ThumbnailSize size) {
    Thumbnail result;
    const int side = static_cast<int>(size);
    // Twice the thumbnail's size, then a smooth reduction: the readers'
    // reduced previews take the nearest pixel.
    const SIZE box{2 * side, 2 * side};
    try {
        RefuseDamage refuse(host);
        FileStream stream(path.toStdString(), FileStream::ForReading);
        CVImage image(&host);
        ImageMetadata metadata;
        const SIZE stored =
            ReadImageByContent(plugins, stream, image, &box, nullptr, {}, nullptr, &metadata);
        // The thumbnail shows what a colour-managed viewer shows.
        ConvertToSrgb(image, metadata.icc);
        result.width = stored.cx;
        result.height = stored.cy;
        result.depth = image.BitCount();
        QImage picture = ToQImage(image);
        if (picture.isNull()) {
            throw CVImageError(CVImageError::OutOfMemory);
        }
        if (picture.width() > side || picture.height() > side) {
            picture = picture.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        }
        result.image = picture;
    } catch (CQorelError& error) {
        result = Thumbnail{};
        result.failed = true;
        result.error = QString::fromUtf8(error.Report(false));
    }
    return result;
}

bool ThumbnailSource::ReadSizeAndDepth(const QString& path, Thumbnail& thumbnail) {
    try {
        RefuseDamage refuse(host);
        FileStream stream(path.toStdString(), FileStream::ForReading);
        CVImage image(&host);
        const SIZE tiny{1, 1};
        const SIZE stored = ReadHeaderByContent(plugins, stream, image, &tiny);
        thumbnail.width = stored.cx;
        thumbnail.height = stored.cy;
        thumbnail.depth = image.BitCount();
        return true;
    } catch (CQorelError&) {
        return false;
    }
}

Thumbnail ThumbnailSource::Get(const QString& path, int boxWidth, int boxHeight) {
    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    const int64_t modified = info.lastModified().toSecsSinceEpoch();
    const ThumbnailSize size = ThumbnailCache::SizeFor(boxWidth, boxHeight);
    const bool stored = !host.AutoOrient();
    if (std::optional<CachedThumbnail> cached = cache.Lookup(absolute, modified, size, stored)) {
        Thumbnail result;
        result.image = cached->image;
        result.width = cached->width;
        result.height = cached->height;
        result.depth = cached->depth;
        result.cached = true;
        if (result.width == 0 || result.depth == 0) {
            ReadSizeAndDepth(absolute, result);
        }
        return result;
    }
    Thumbnail result = Decode(absolute, size);
    // The cache's own files are never thumbnailed into it: every visit to
    // the cache would add as many files again.
    const bool insideCache = absolute.startsWith(cache.Root() + '/');
    if (!result.failed && !insideCache) {
        cache.Store(absolute, modified, info.size(), size,
                    CachedThumbnail{result.image, result.width, result.height, result.depth,
                                    stored});
    }
    return result;
}

} // namespace pixmill
