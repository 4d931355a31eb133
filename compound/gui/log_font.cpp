#include "compound/gui/log_font.h"

#include "compound/compound_object.h"

#include <QStringList>

#include <cmath>

namespace pixmill {

LogFont LogFontOf(const QFont& font, const LogFont& base) {
    LogFont out = base;
    // Negative: the character height in pixels, as text objects are drawn.
    int pixels = font.pixelSize();
    if (pixels <= 0) {
        pixels = static_cast<int>(std::lround(font.pointSizeF() * 96.0 / 72.0));
    }
    out.height = -std::max(1, pixels);
    out.width = 0;
    out.weight = font.weight();
    out.italic = font.italic() ? 1 : 0;
    out.underline = font.underline() ? 1 : 0;
    out.strikeOut = font.strikeOut() ? 1 : 0;
    int family = 0;
    switch (font.styleHint()) {
    case QFont::Serif:
        family = 1;
        break;
    case QFont::SansSerif:
        family = 2;
        break;
    case QFont::Monospace:
        family = 3;
        break;
    case QFont::Cursive:
        family = 4;
        break;
    case QFont::Fantasy:
        family = 5;
        break;
    default:
        family = (base.pitchAndFamily >> 4) & 15;
        break;
    }
    const int pitch = font.fixedPitch() ? 1 : 2;
    out.pitchAndFamily = static_cast<uint8_t>((family << 4) | pitch);
    SetFaceName(out, font.family().toStdString());
    return out;
}

QString QtFilterOf(const char* filters) {
    const QStringList parts = QString::fromUtf8(filters).split('|');
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty()) {
            break;
        }
        QString name = parts[i];
        // The name may already show its patterns; Qt reads them from the
        // last parenthesis, so they are given once, space-separated.
        if (const qsizetype open = name.lastIndexOf('('); open > 0) {
            name = name.left(open).trimmed();
        }
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        if (patterns == QStringLiteral("*.*")) {
            patterns = QStringLiteral("*");
        }
        out << QStringLiteral("%1 (%2)").arg(name, patterns);
    }
    return out.join(QStringLiteral(";;"));
}

} // namespace pixmill
