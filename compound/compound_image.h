// The compound image: a canvas of a fixed size and background colour, the
// ordered list of objects painted over it (list order is painting and
// output order), the page location that relative links are computed from,
// and the document-level operations: canvas growth, minimising, the image
// under a region, names, defaults and the checks made before saving.
#pragma once

#include "compound/compound_object.h"
#include "html/html_url.h"

#include <QImage>

#include <optional>
#include <string>
#include <vector>

namespace pixmill {

class CUserInterface;
class SettingsStore;

// The application-wide defaults of new compound images and text objects,
// kept in the "HtmlProperty" settings record.
struct CompoundDefaults {
    int width = 500;
    int height = 500;
    uint32_t background = 0xFFFFFF; // 0x00BBGGRR
    LogFont font;
    uint32_t textColor = 0;

    static CompoundDefaults Load(SettingsStore& store);
    // Writes these values into the stored record, keeping its other fields.
    void Save(SettingsStore& store) const;
};

class CompoundImage {
  public:
    explicit CompoundImage(const CompoundDefaults& defaults = {});

    int Width() const { return width; }
    int Height() const { return height; }
    uint32_t Background() const { return background; }
    // Sets the canvas size and colour and makes the canvas picture again.
    void SetCanvas(int width, int height, uint32_t background);
    // The most pixels a canvas picture is made for (0: no limit). A page
    // may declare any size: a larger canvas keeps its size but gets no
    // picture, and the command that reads it refuses it by its size.
    static void LimitCanvasPixels(uint64_t pixels);
    // The canvas picture: 24-bit, the canvas size, the background colour.
    const QImage& CanvasPicture() const { return canvas; }

    const std::vector<CompoundObject>& Objects() const { return objects; }
    std::vector<CompoundObject>& Objects() { return objects; }
    // Inserts at index (-1: at the end) and grows the canvas to hold it.
    void Insert(CompoundObject object, int index = -1);
    // After an object's properties changed: grows the canvas to hold it.
    void ObjectChanged(int index);
    void Remove(int index);

    // The page the compound image belongs to; relative links are computed
    // from it.
    const HtmlUrl& PageUrl() const { return pageUrl; }
    void SetPageUrl(const HtmlUrl& url) { pageUrl = url; }

    // Gives every object without a name one from the shared counter.
    void AssignNames();
    // Shrinks the canvas to the largest right and bottom edges of the
    // objects; false when it is already no larger.
    bool Minimise();
    // The first object after index, of the kind, whose rectangle contains
    // the object's rectangle whole; -1 when none.
    int FindImageUnder(int index, int kind = CompoundKind::Image) const;

    int TextCount() const;
    int ImageCount() const;

    // The file name a saved picture of the whole image takes by default: the
    // file title of its one image when it holds one image and no text.
    std::string DefaultFileName() const;

    // "Do you want to change the default ...": on Yes the canvas, or the
    // font and colour, become the defaults.
    bool OfferCanvasAsDefaults(CUserInterface& ui, CompoundDefaults& defaults) const;
    static bool OfferFontAsDefault(CUserInterface& ui, const LogFont& font, uint32_t color,
                                   CompoundDefaults& defaults);

  private:
    void Grow(const RECT& rect);

    int width = 0;
    int height = 0;
    uint32_t background = 0xFFFFFF;
    QImage canvas;
    std::vector<CompoundObject> objects;
    HtmlUrl pageUrl;
};

// Whether a picture file can stand in a page as it is (GIF, PNG, JPEG).
bool IsHtmlImageFile(const std::string& path);
// The file name without folder and extension.
std::string FileTitleOf(const std::string& path);

// Copies every "*.class" file of programDirectory's "Java/" folder into
// outputDirectory (replacing files there), unless that is the folder
// itself. Returns the number copied; false in *ok when a copy failed.
int CopyAppletSupportFiles(const std::string& programDirectory, const std::string& outputDirectory,
                           bool* ok = nullptr);

// Messages of saving.
namespace CompoundText {
inline constexpr const char* kEmptyCaption = "Can`t save Compound image as Html file";
inline constexpr const char* kEmpty = "The Compound image is empty.";
inline constexpr const char* kShouldBeSaved =
    "The %s should be saved\n in to one of the HTML supported formats (GIF, PNG, JPEG)";
inline constexpr const char* kUnsupportedFormat = "Unsupported image format";
inline constexpr const char* kNeedsImage = "Compound Image must contain at least one image.";
inline constexpr const char* kRegionOutside =
    "At least one image map object cover the area\n that do not belong to any compound image "
    "objects.\nYou can skip this image map object or save background area as image file.\nCreate "
    "background image file ?";
inline constexpr const char* kOverwrite = "File %s already exist.\nOverwrite this file ?";
inline constexpr const char* kCopyError = "File coping error";
inline constexpr const char* kNotFound = "File %s not found.";
inline constexpr const char* kWrongSyntax = "Wrong compound image syntax";
} // namespace CompoundText

// printf-style filling of a message with one text.
std::string FormatMessage(const char* format, const std::string& text);

} // namespace pixmill
