#include "compound/plugin_image_files.h"

#include "host/host_services.h"
#include "host/image_pipeline.h"
#include "pixmill/cv_image.h"
#include "pixmill/errors.h"

namespace pixmill {

QImage QImageOf(const CVImage& image) {
    if (image.bits == nullptr || image.Width() <= 0 || image.Height() <= 0) {
        return {};
    }
    if (image.HasAlphaPlane()) {
        // Straight alpha, as the record holds it: drawn over the canvas, a
        // partly transparent picture shows what lies under it.
        QImage picture(image.Width(), image.Height(), QImage::Format_ARGB32);
        for (int y = 0; y < image.Height(); ++y) {
            const uint8_t* row = image.Row(y);
            auto* out = reinterpret_cast<QRgb*>(picture.scanLine(y));
            for (int x = 0; x < image.Width(); ++x, row += 4) {
                out[x] = qRgba(row[2], row[1], row[0], row[3]);
            }
        }
        return picture;
    }
    QImage picture(image.Width(), image.Height(), QImage::Format_RGB888);
    const int bitCount = image.BitCount();
    for (int y = 0; y < image.Height(); ++y) {
        const uint8_t* row = image.Row(y);
        uchar* out = picture.scanLine(y);
        for (int x = 0; x < image.Width(); ++x) {
            RGBQUAD color{};
            if (bitCount == 24) {
                color = RGBQUAD{row[3 * x], row[3 * x + 1], row[3 * x + 2], 0};
            } else {
                int index = 0;
                if (bitCount == 8) {
                    index = row[x];
                } else if (bitCount == 4) {
                    index = (row[x / 2] >> (x % 2 ? 0 : 4)) & 15;
                } else if (bitCount == 1) {
                    index = (row[x / 8] >> (7 - x % 8)) & 1;
                }
                color = image.palette[index];
            }
            out[3 * x] = color.rgbRed;
            out[3 * x + 1] = color.rgbGreen;
            out[3 * x + 2] = color.rgbBlue;
        }
    }
    return picture;
}

void CVImageOf(const QImage& picture, CVImage& image) {
    if (picture.hasAlphaChannel()) {
        const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
        bool partial = false;
        for (int y = 0; y < argb.height() && !partial; ++y) {
            const auto* from = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < argb.width() && !partial; ++x) {
                partial = qAlpha(from[x]) != 0 && qAlpha(from[x]) != 255;
            }
        }
        if (partial) {
            // Partly transparent pixels keep their alpha plane, as a file
            // with them read by the program does.
            image.CreateWithAlpha(argb.width(), argb.height());
            for (int y = 0; y < argb.height(); ++y) {
                const auto* from = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
                uint8_t* to = image.Row(y);
                for (int x = 0; x < argb.width(); ++x, to += 4) {
                    to[0] = static_cast<uint8_t>(qBlue(from[x]));
                    to[1] = static_cast<uint8_t>(qGreen(from[x]));
                    to[2] = static_cast<uint8_t>(qRed(from[x]));
                    to[3] = static_cast<uint8_t>(qAlpha(from[x]));
                }
            }
            return;
        }
    }
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    image.Create(rgb.width(), rgb.height(), 24, 0, nullptr);
    for (int y = 0; y < rgb.height(); ++y) {
        const uchar* from = rgb.constScanLine(y);
        uint8_t* to = image.Row(y);
        for (int x = 0; x < rgb.width(); ++x) {
            to[3 * x] = from[3 * x + 2];
            to[3 * x + 1] = from[3 * x + 1];
            to[3 * x + 2] = from[3 * x];
        }
    }
}

QImage PluginImageFiles::Read(const std::string& path, std::string* error) {
    ImagePipeline pipeline(host, plugins, nullptr);
    if (!pipeline.Open(path)) {
        if (error) {
            *error = pipeline.Error();
        }
        return {};
    }
    return QImageOf(pipeline.Document().Image());
}

bool PluginImageFiles::Write(const QImage& picture, const std::string& path, std::string* error) {
    try {
        CVImage image(&host);
        CVImageOf(picture, image);
        ImagePipeline pipeline(host, plugins, nullptr);
        pipeline.Document().TakeImage(image, nullptr);
        if (!pipeline.Save(path)) {
            if (error) {
                *error = pipeline.Error();
            }
            return false;
        }
        return true;
    } catch (CQorelError& failure) {
        if (error) {
            *error = failure.Report(false);
        }
        return false;
    }
}

} // namespace pixmill
