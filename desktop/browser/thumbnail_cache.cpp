#include "desktop/browser/thumbnail_cache.h"

#include "host/atomic_file.h"
#include "pixmill/errors.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QImageReader>
#include <QStandardPaths>

#include <array>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace pixmill {

namespace {

constexpr char kUriKey[] = "Thumb::URI";
constexpr char kMTimeKey[] = "Thumb::MTime";
constexpr char kSizeKey[] = "Thumb::Size";
constexpr char kWidthKey[] = "Thumb::Image::Width";
constexpr char kHeightKey[] = "Thumb::Image::Height";
// Not one of the shared keys: other programs ignore it.
constexpr char kDepthKey[] = "X-Pixmill::Depth";
constexpr char kOrientationKey[] = "X-Pixmill::Orientation"; // "upright" or "stored"

const char* FolderOf(ThumbnailSize size) {
    return size == ThumbnailSize::Large ? "large" : "normal";
}

uint32_t Crc32(const char* data, size_t length) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> values{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) {
                c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            }
            values[n] = c;
        }
        return values;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) {
        crc = table[(crc ^ static_cast<uint8_t>(data[i])) & 0xFF] ^ (crc >> 8);
    }
    return crc ^ 0xFFFFFFFFu;
}

void AppendBigEndian(QByteArray& out, uint32_t value) {
    out.append(static_cast<char>(value >> 24));
    out.append(static_cast<char>(value >> 16));
    out.append(static_cast<char>(value >> 8));
    out.append(static_cast<char>(value));
}

int TextNumber(const QImage& image, const char* key) {
    bool ok = false;
    const int value = image.text(QString::fromLatin1(key)).toInt(&ok);
    return ok && value > 0 ? value : 0;
}

} // namespace

QByteArray PngWithText(const QImage& image, const std::vector<std::pair<QString, QString>>& text) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImage plain = image;
    for (const QString& key : plain.textKeys()) {
        plain.setText(key, QString()); // only the chunks written below
    }
    if (!plain.save(&buffer, "PNG")) {
        return {};
    }
    // Signature (8) and the header chunk (4 + 4 + 13 + 4) come first.
    constexpr int kAfterHeader = 33;
    QByteArray chunks;
    for (const auto& [key, value] : text) {
        const QByteArray data = key.toLatin1() + '\0' + value.toLatin1();
        const QByteArray typed = "tEXt" + data;
        AppendBigEndian(chunks, static_cast<uint32_t>(data.size()));
        chunks += typed;
        AppendBigEndian(chunks, Crc32(typed.constData(), static_cast<size_t>(typed.size())));
    }
    png.insert(kAfterHeader, chunks);
    return png;
}

ThumbnailCache::ThumbnailCache(QString folder) : root(std::move(folder)) {
    if (root.isEmpty()) {
        root = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
               QStringLiteral("/thumbnails");
    }
}

ThumbnailSize ThumbnailCache::SizeFor(int width, int height) {
    return width <= 128 && height <= 128 ? ThumbnailSize::Normal : ThumbnailSize::Large;
}

QString ThumbnailCache::UriOf(const QString& absolutePath) {
    static constexpr char kKept[] = "-._~!$&'()*+,=:@/";
    QString uri = QStringLiteral("file://");
    for (const char c : absolutePath.toUtf8()) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') ||
                           (byte != 0 && std::strchr(kKept, byte) != nullptr);
        if (plain) {
            uri += QChar(byte);
        } else {
            uri += QStringLiteral("%%1").arg(byte, 2, 16, QChar('0')).toUpper();
        }
    }
    return uri;
}

QString ThumbnailCache::FileOf(const QString& absolutePath, ThumbnailSize size) const {
    const QByteArray md5 =
        QCryptographicHash::hash(UriOf(absolutePath).toUtf8(), QCryptographicHash::Md5).toHex();
    return root + '/' + FolderOf(size) + '/' + QString::fromLatin1(md5) + QStringLiteral(".png");
}

std::optional<CachedThumbnail> ThumbnailCache::Lookup(const QString& absolutePath, int64_t modified,
                                                      ThumbnailSize size,
                                                      bool storedOrientation) const {
    QImageReader reader(FileOf(absolutePath, size), "png");
    CachedThumbnail result;
    // The reader's own text() splits keys at ":", so the keys are taken
    // from the decoded image.
    result.image = reader.read();
    if (result.image.isNull() ||
        result.image.text(QString::fromLatin1(kUriKey)) != UriOf(absolutePath) ||
        result.image.text(QString::fromLatin1(kMTimeKey)) != QString::number(modified)) {
        return std::nullopt;
    }
    QString shows = result.image.text(QString::fromLatin1(kOrientationKey));
    if (shows.isEmpty()) {
        const bool ours = result.image.text(QStringLiteral("Software")) == QStringLiteral("Pixmill");
        shows = ours ? QStringLiteral("stored") : QStringLiteral("upright");
    }
    if (shows != (storedOrientation ? QStringLiteral("stored") : QStringLiteral("upright"))) {
        return std::nullopt;
    }
    result.storedOrientation = storedOrientation;
    result.width = TextNumber(result.image, kWidthKey);
    result.height = TextNumber(result.image, kHeightKey);
    result.depth = TextNumber(result.image, kDepthKey);
    return result;
}

bool ThumbnailCache::Store(const QString& absolutePath, int64_t modified, int64_t fileSize,
                           ThumbnailSize size, const CachedThumbnail& thumbnail) const {
    const QString target = FileOf(absolutePath, size);
    // The cache is private to its user.
    const QString folder = root + '/' + FolderOf(size);
    if (!QDir().mkpath(folder)) {
        return false;
    }
    QFile::setPermissions(root, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    std::vector<std::pair<QString, QString>> text = {
        {kUriKey, UriOf(absolutePath)},
        {kMTimeKey, QString::number(modified)},
        {kSizeKey, QString::number(fileSize)},
        {QStringLiteral("Software"), QStringLiteral("Pixmill")},
        {kOrientationKey, thumbnail.storedOrientation ? QStringLiteral("stored")
                                                      : QStringLiteral("upright")},
    };
    if (thumbnail.width > 0 && thumbnail.height > 0) {
        text.emplace_back(kWidthKey, QString::number(thumbnail.width));
        text.emplace_back(kHeightKey, QString::number(thumbnail.height));
    }
    if (thumbnail.depth > 0) {
        text.emplace_back(kDepthKey, QString::number(thumbnail.depth));
    }
    const QByteArray png = PngWithText(thumbnail.image, text);
    if (png.isEmpty()) {
        return false;
    }
    try {
        AtomicFile file(target.toStdString());
        std::FILE* out = std::fopen(file.Temporary().c_str(), "wb");
        if (out == nullptr) {
            return false;
        }
        const bool written = std::fwrite(png.constData(), 1, static_cast<size_t>(png.size()),
                                         out) == static_cast<size_t>(png.size());
        if (std::fclose(out) != 0 || !written) {
            return false;
        }
        file.Commit();
        // Private like its folder (the file keeps the process's usual mode until here).
        chmod(target.toLocal8Bit().constData(), S_IRUSR | S_IWUSR);
        return true;
    } catch (CQorelError&) {
        return false;
    }
}

} // namespace pixmill
