// The objects of a compound image: image-map regions, text and pictures on
// a canvas, each with a link record.
#pragma once

#include "compound/html_property.h"
#include "pixmill/win_types.h"

#include <QImage>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pixmill {

// Kind codes of compound objects; 4 (the default area) is never written.
namespace CompoundKind {
enum : int { Rectangle = 1, Circle = 2, Polygon = 3, DefaultArea = 4, Text = 5, Image = 6 };
}

// The link of an object. The name doubles as the hint when flag Hint is set.
struct HtmlLink {
    enum Flag : int { Hint = 1, NewWindow = 2, Hand = 16 };
    int flags = 0;
    std::string url;
    std::string name;

    bool HasHint() const { return (flags & Hint) != 0 && !name.empty(); }
    // Opens the target picture in a window of its own: a new-window link to
    // a picture file (the extension compared exactly).
    bool IsPopup() const;
    // Written at all: a target or any flag.
    bool Active() const { return !url.empty() || (flags & (Hint | NewWindow | Hand)) != 0; }
    bool operator==(const HtmlLink&) const = default;
};

struct CompoundObject {
    int kind = CompoundKind::Rectangle;
    RECT rect{0, 0, 0, 0}; // canvas pixels; for shapes their bounding box
    HtmlLink link;

    // circle
    int centerX = 0, centerY = 0, radius = 0;
    // polygon
    std::vector<POINT> points;
    std::vector<uint8_t> selected; // one flag per point (editor state)
    // text
    std::string text;
    LogFont font;
    // The CSS font size as the page wrote it ("14pt", "0.9em"): written
    // again as long as the font's height is the one it reads as, and its
    // unit kept when the height changes. Empty for texts made here.
    std::string fontSize;
    uint32_t textColor = 0; // 0x00BBGGRR
    // image
    std::shared_ptr<const QImage> picture;
    std::string fileName; // absolute path or URL of the picture file

    bool IsRegion() const {
        return kind >= CompoundKind::Rectangle && kind <= CompoundKind::Polygon;
    }

    static CompoundObject MakeRectangle(const RECT& rect);
    static CompoundObject MakeCircle(int centerX, int centerY, int radius);
    static CompoundObject MakePolygon(std::vector<POINT> points);
    // A text object at (left, top) of the given width; its height follows
    // the font (TextLineHeight per line).
    static CompoundObject MakeText(std::string text, const LogFont& font, uint32_t color, int left,
                                   int top, int width);
    static CompoundObject MakeImage(std::shared_ptr<const QImage> picture, std::string fileName,
                                    int left, int top);

    // Recomputes the bounding box of a circle or polygon from its geometry.
    void UpdateShapeRect();
};

// The height of one line of text in the font: the character height and a
// quarter of it for the line gap. Deterministic, so that the stored forms
// (which keep only the top-left corner and width of a text) read back the
// same rectangle.
int TextLineHeight(const LogFont& font);

// The face name of a font as a string (at most 31 characters).
std::string FaceNameOf(const LogFont& font);
void SetFaceName(LogFont& font, const std::string& name);

// Colours as the system keeps them (0x00BBGGRR).
inline uint32_t MakeColorRef(int red, int green, int blue) {
    return static_cast<uint32_t>(red & 255) | (static_cast<uint32_t>(green & 255) << 8) |
           (static_cast<uint32_t>(blue & 255) << 16);
}
inline int RedOf(uint32_t color) {
    return static_cast<int>(color & 255);
}
inline int GreenOf(uint32_t color) {
    return static_cast<int>((color >> 8) & 255);
}
inline int BlueOf(uint32_t color) {
    return static_cast<int>((color >> 16) & 255);
}

// Names given to objects that have none when they are first listed
// ("Rectangle%d", "Circle%d", ...), from one counter shared by every kind.
class CompoundNameCounter {
  public:
    // The next name for an object of this kind; the counter goes up by one.
    static std::string Next(int kind);
    static void SetStart(int value);
    static int Current();
};

} // namespace pixmill
