#include "compound/text_renderer.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace pixmill {

QFont QFontOf(const LogFont& font) {
    QFont qfont;
    const std::string face = FaceNameOf(font);
    switch ((font.pitchAndFamily >> 4) & 15) {
    case 1:
        qfont.setStyleHint(QFont::Serif);
        break;
    case 2:
        qfont.setStyleHint(QFont::SansSerif);
        break;
    case 3:
        qfont.setStyleHint(QFont::Monospace);
        break;
    case 4:
        qfont.setStyleHint(QFont::Cursive);
        break;
    case 5:
        qfont.setStyleHint(QFont::Fantasy);
        break;
    default:
        break;
    }
    if (!face.empty()) {
        qfont.setFamily(QString::fromStdString(face));
    } else {
        qfont.setFamily(qfont.defaultFamily());
    }
    qfont.setPixelSize(std::max(1, std::abs(font.height)));
    qfont.setWeight(
        static_cast<QFont::Weight>(std::clamp(font.weight == 0 ? 400 : font.weight, 1, 1000)));
    qfont.setItalic(font.italic != 0);
    qfont.setUnderline(font.underline != 0);
    qfont.setStrikeOut(font.strikeOut != 0);
    return qfont;
}

int MeasureTextWidth(const std::string& text, const LogFont& font) {
    const bool fonts = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    std::optional<QFontMetrics> measure;
    if (fonts) {
        measure.emplace(QFontOf(font));
    }
    int widest = 0;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        const int width = measure ? measure->horizontalAdvance(QString::fromStdString(line))
                                  : static_cast<int>(line.size()) * std::abs(font.height) / 2;
        widest = std::max(widest, width);
        start = end + 1;
    }
    return widest;
}

QImage ComposeCanvas(const CompoundImage& image) {
    QImage canvas = image.CanvasPicture().copy();
    QPainter painter(&canvas);
    const bool fonts = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    for (const CompoundObject& object : image.Objects()) {
        if (object.kind == CompoundKind::Image && object.picture) {
            painter.drawImage(object.rect.left, object.rect.top, *object.picture);
        } else if (object.kind == CompoundKind::Text && fonts) {
            painter.setFont(QFontOf(object.font));
            painter.setPen(QColor(RedOf(object.textColor), GreenOf(object.textColor),
                                  BlueOf(object.textColor)));
            const QRect box(object.rect.left, object.rect.top,
                            std::max(1, static_cast<int>(object.rect.right - object.rect.left)),
                            std::max(1, static_cast<int>(object.rect.bottom - object.rect.top)));
            painter.drawText(box, Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip,
                             QString::fromStdString(object.text));
        }
    }
    painter.end();
    return canvas;
}

} // namespace pixmill
