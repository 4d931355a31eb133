#include "compound/compound_object.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pixmill {

namespace {

bool EndsWith(const std::string& text, const char* suffix) {
    const size_t length = std::strlen(suffix);
    return text.size() >= length && text.compare(text.size() - length, length, suffix) == 0;
}

int nameCounter = 0;

} // namespace

bool HtmlLink::IsPopup() const {
    return (flags & NewWindow) != 0 && (EndsWith(url, ".gif") || EndsWith(url, ".png") ||
                                        EndsWith(url, ".jpg") || EndsWith(url, ".jpeg"));
}

CompoundObject CompoundObject::MakeRectangle(const RECT& rect) {
    CompoundObject object;
    object.kind = CompoundKind::Rectangle;
    object.rect = rect;
    return object;
}

CompoundObject CompoundObject::MakeCircle(int centerX, int centerY, int radius) {
    CompoundObject object;
    object.kind = CompoundKind::Circle;
    object.centerX = centerX;
    object.centerY = centerY;
    object.radius = radius;
    object.UpdateShapeRect();
    return object;
}

CompoundObject CompoundObject::MakePolygon(std::vector<POINT> points) {
    CompoundObject object;
    object.kind = CompoundKind::Polygon;
    object.points = std::move(points);
    object.selected.assign(object.points.size(), 0);
    object.UpdateShapeRect();
    return object;
}

CompoundObject CompoundObject::MakeText(std::string text, const LogFont& font, uint32_t color,
                                        int left, int top, int width) {
    CompoundObject object;
    object.kind = CompoundKind::Text;
    object.text = std::move(text);
    object.font = font;
    object.textColor = color;
    const int lines =
        1 + static_cast<int>(std::count(object.text.begin(), object.text.end(), '\n'));
    object.rect = RECT{left, top, left + width, top + lines * TextLineHeight(font)};
    return object;
}

CompoundObject CompoundObject::MakeImage(std::shared_ptr<const QImage> picture,
                                         std::string fileName, int left, int top) {
    CompoundObject object;
    object.kind = CompoundKind::Image;
    const int width = picture ? picture->width() : 0;
    const int height = picture ? picture->height() : 0;
    object.picture = std::move(picture);
    object.fileName = std::move(fileName);
    object.rect = RECT{left, top, left + width, top + height};
    return object;
}

void CompoundObject::UpdateShapeRect() {
    if (kind == CompoundKind::Circle) {
        rect = RECT{centerX - radius, centerY - radius, centerX + radius, centerY + radius};
    } else if (kind == CompoundKind::Polygon && !points.empty()) {
        rect = RECT{points[0].x, points[0].y, points[0].x, points[0].y};
        for (const POINT& point : points) {
            rect.left = std::min(rect.left, point.x);
            rect.top = std::min(rect.top, point.y);
            rect.right = std::max(rect.right, point.x);
            rect.bottom = std::max(rect.bottom, point.y);
        }
    }
}

int TextLineHeight(const LogFont& font) {
    const int height = std::abs(font.height);
    return height + height / 4;
}

std::string FaceNameOf(const LogFont& font) {
    return std::string(font.faceName, strnlen(font.faceName, sizeof font.faceName));
}

void SetFaceName(LogFont& font, const std::string& name) {
    std::memset(font.faceName, 0, sizeof font.faceName);
    std::memcpy(font.faceName, name.data(), std::min(name.size(), sizeof font.faceName - 1));
}

std::string CompoundNameCounter::Next(int kind) {
    const char* format = "Rectangle%d";
    switch (kind) {
    case CompoundKind::Circle:
        format = "Circle%d";
        break;
    case CompoundKind::Polygon:
        format = "Polygon%d";
        break;
    case CompoundKind::Text:
        format = "Text%d";
        break;
    case CompoundKind::Image:
        format = "Image%d";
        break;
    default:
        break;
    }
    char name[32];
    std::snprintf(name, sizeof name, format, nameCounter++);
    return name;
}

void CompoundNameCounter::SetStart(int value) {
    nameCounter = value;
}

int CompoundNameCounter::Current() {
    return nameCounter;
}

} // namespace pixmill
