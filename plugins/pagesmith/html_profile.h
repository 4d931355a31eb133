// The HTML generation profile: every setting of the web pages the destination
// writes, and its ".vhb" text. The text is read by plain searches, as the
// files users keep expect: a group runs from its header to the next "[", a
// flag is on when its name occurs anywhere in the group, and a value runs
// from its key's "=" to the next "[", CR or LF (so a text value cannot hold
// "["). A missing group or key leaves the setting as it was.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pixmill::pagesmith {

// Colours are Windows colour values: red in the low byte.
using ColorValue = int;

enum ThumbnailStyle : int { ThumbnailsAutomatic = 0, ThumbnailsFromTemplate = 1 };
enum ZoomStyle : int { ZoomJustImage = 0, ZoomPage = 1 };
enum ZoomSubstyle : int { ZoomAutomatic = 0, ZoomFromTemplate = 1 };
// How the big image is made (generation style of the zoom groups).
enum GenerationStyle : int { GenerateEncoded = 0, GenerateCopySource = 1 };
// How a thumbnail opens its picture when the zoom style is "just image".
enum JustStyle : int { JustLink = 0, JustModalWindow = 1 };
enum BorderStyle : int { BorderPlain = 0, BorderRaised = 1 };
// The thumbnail box: keep the aspect ratio and cut (smart cut) or stretch.
enum FitStyle : int { FitSmartCut = 0, FitDiscardAspect = 1 };
enum TitleLocation : int { TitleBelow = 0, TitleAbove = 1 };
// Which page settings apply: those of the header template file or our own.
enum RadioSet : int { SettingsFromHeader = 0, SettingsOwn = 1 };
enum TextAlign : int { AlignLeft = 0, AlignCenter = 1, AlignRight = 2, AlignJustify = 3 };

struct ProjectSettings {
    bool createThumbnailPages = true;
    int thumbnailStyle = ThumbnailsAutomatic;
    bool createZoomPages = true;
    int zoomStyle = ZoomPage;
    int zoomSubstyle = ZoomAutomatic;
    bool createContentPage = true;
    // A question per picture for its page titles; without it a run asks
    // nothing and the titles are the pictures' file names.
    bool askTitles = false;
    // The modern page set (a grid page and a page per picture in HTML5)
    // instead of the thumbnail, zoom and index pages; its grid page's title.
    bool modernPages = false;
    // A zip of the full-size pictures beside the pages, linked from the
    // index (written to the profile only when on).
    bool pictureZip = false;
    std::string galleryTitle;
    // The modern pages' further widths of every picture, in pixels, as
    // typed ("480,960,1600"; empty: the full size only). Written to the
    // profile only when set.
    std::string pictureSizes;
    std::string thumbnailTemplate;
    std::string zoomTemplate;
    std::string previewImage;
    std::string previewText;

    bool operator==(const ProjectSettings&) const = default;
};

struct PageSettings {
    bool useBackgroundColor = true;
    ColorValue backgroundColor = 0xFFFFFF;
    bool useActiveColor = false;
    ColorValue activeLinkColor = 0x0000FF;
    bool useVisitedColor = false;
    ColorValue visitedLinkColor = 0x800080;
    std::string backgroundImage;
    std::string headerFile;
    std::string footerFile;
    int radioSet = SettingsOwn;

    bool operator==(const PageSettings&) const = default;
};

struct ThumbnailCell {
    std::string nameExpansion = "_Thumbnail";
    int border = 1;
    int jpegEnhancement = 0;
    int width = 100;
    int height = 100;
    int borderStyle = BorderPlain;
    int fitStyle = FitSmartCut;
    ColorValue borderColor = 0x808080;
    ColorValue lightBorderColor = 0xE0E0E0;
    ColorValue darkBorderColor = 0x404040;
    ColorValue cellColor = 0xF0F0F0;
    int cellSpacing = 4;
    bool imageBorder = false;
    bool useCellColor = false;
    bool fitToThumbnailSize = false;

    bool operator==(const ThumbnailCell&) const = default;
};

struct ThumbnailTemplatePage {
    std::string nameExpansion = "_Thumbnail";
    int jpegEnhancement = 0;
    int width = 100;
    int height = 100;
    int fitStyle = FitSmartCut;
    std::string titleText;
    bool fitToThumbnailSize = false;

    bool operator==(const ThumbnailTemplatePage&) const = default;
};

struct ZoomTemplatePage {
    std::string zoomTitle;
    int generationStyle = GenerateEncoded;

    bool operator==(const ZoomTemplatePage&) const = default;
};

struct TitleSettings {
    int fontSize = 2; // HTML font size 1..7; 0 leaves the size alone
    bool bold = false, italic = false, underline = false, strike = false;
    int textAlign = AlignCenter;
    bool useTextColor = false;
    bool wrap = false;
    ColorValue textColor = 0;
    bool useBackgroundColor = false;
    ColorValue backgroundColor = 0xFFFFFF;

    bool operator==(const TitleSettings&) const = default;
};

struct ThumbnailTable {
    int border = 0;
    int padding = 4;
    int spacing = 4;
    int columns = 4;
    int rows = 3;
    bool limitRows = true;
    bool includeTitle = true;
    int titleLocation = TitleBelow;
    std::string titleText;
    int borderStyle = BorderPlain;
    ColorValue borderColor = 0x808080;
    ColorValue lightBorderColor = 0xE0E0E0;
    ColorValue darkBorderColor = 0x404040;

    bool operator==(const ThumbnailTable&) const = default;
};

struct LinkTable {
    int border = 0;
    int spacing = 2;
    int padding = 4;
    int columns = 5;

    bool operator==(const LinkTable&) const = default;
};

struct ZoomImage {
    int border = 0;
    int spacing = 0;
    int padding = 8;
    int borderStyle = BorderPlain;
    int titleStyle = TitleBelow;
    ColorValue borderColor = 0x808080;
    ColorValue lightBorderColor = 0xE0E0E0;
    ColorValue darkBorderColor = 0x404040;
    ColorValue cellColor = 0xFFFFFF;
    int generationStyle = GenerateEncoded;
    bool includeTitle = true;
    bool useCellColor = false;

    bool operator==(const ZoomImage&) const = default;
};

struct JustZoom {
    int justStyle = JustLink;
    int generationStyle = GenerateEncoded;

    bool operator==(const JustZoom&) const = default;
};

struct HtmlProfile {
    ProjectSettings project;
    PageSettings thumbnailPage, zoomPage, contentPage;
    ThumbnailCell thumbnailCell;
    ThumbnailTemplatePage thumbnailTemplatePage;
    ZoomTemplatePage zoomTemplatePage;
    TitleSettings thumbnailTitle, zoomTitle;
    ThumbnailTable thumbnailTable;
    LinkTable zoomLink;
    ZoomImage zoomImage;
    JustZoom justZoom;

    bool operator==(const HtmlProfile&) const = default;
};

// The profile as ".vhb" text (lines ending with "\n").
std::string WriteProfileText(const HtmlProfile& profile);
// Applies a ".vhb" text to the profile: what the text does not name stays.
void ReadProfileText(const std::string& text, HtmlProfile& profile);

// The profile file: false when it cannot be read or written.
bool LoadProfileFile(const std::string& path, HtmlProfile& profile);
bool SaveProfileFile(const std::string& path, const HtmlProfile& profile);

// "#RRGGBB" of a Windows colour value.
std::string HtmlColor(ColorValue color);

// The widths of a sizes text ("480,960,1600": numbers separated by commas
// or blanks), ascending without repeats, into `widths`; "" or why the text
// is refused (the widths are then left empty).
inline constexpr int kSmallestPictureSize = 16, kLargestPictureSize = 16384;
std::string ParsePictureSizes(const std::string& text, std::vector<int>& widths);

} // namespace pixmill::pagesmith
