#include "pagesmith_pane_model.h"

namespace pixmill::pagesmith {

namespace {

PageField Flag(const char* label, bool& value) {
    PageField field;
    field.kind = PageField::Flag;
    field.label = label;
    field.flag = &value;
    return field;
}
PageField Number(const char* label, int& value, int minimum, int maximum) {
    PageField field;
    field.kind = PageField::Number;
    field.label = label;
    field.number = &value;
    field.minimum = minimum;
    field.maximum = maximum;
    return field;
}
PageField Color(const char* label, int& value) {
    PageField field = Number(label, value, 0, 0xFFFFFF);
    field.kind = PageField::Color;
    return field;
}
PageField Text(const char* label, std::string& value, PageField::Kind kind = PageField::Text) {
    PageField field;
    field.kind = kind;
    field.label = label;
    field.text = &value;
    return field;
}
PageField Choice(const char* label, int& value, std::vector<const char*> choices) {
    PageField field = Number(label, value, 0, static_cast<int>(choices.size()) - 1);
    field.kind = PageField::Choice;
    field.choices = std::move(choices);
    return field;
}

PropertyPage Page(const char* title, PageSettings& page) {
    return {title,
            {Flag("Use &background colour", page.useBackgroundColor),
             Color("Background colour", page.backgroundColor),
             Flag("Use &active link colour", page.useActiveColor),
             Color("Active link colour", page.activeLinkColor),
             Flag("Use &visited link colour", page.useVisitedColor),
             Color("Visited link colour", page.visitedLinkColor),
             Text("Background &image:", page.backgroundImage, PageField::File),
             Text("&Header file:", page.headerFile, PageField::File),
             Text("&Footer file:", page.footerFile, PageField::File),
             Choice("Page settings:", page.radioSet,
                    {"Settings as defined in the header template file", "Own settings"})}};
}

PropertyPage Title(const char* title, TitleSettings& style) {
    return {title,
            {Number("Font size:", style.fontSize, 0, 7), Flag("&Bold", style.bold),
             Flag("&Italic", style.italic), Flag("&Underline", style.underline),
             Flag("&Strike", style.strike),
             Choice("Alignment:", style.textAlign, {"Left", "Center", "Right", "Justify"}),
             Flag("Use text colour", style.useTextColor), Color("Text colour", style.textColor),
             Flag("&Wrap", style.wrap), Flag("Use background colour", style.useBackgroundColor),
             Color("Background colour", style.backgroundColor)}};
}

const std::vector<const char*> kBorderStyles = {"Plain", "Raised (light and dark)"};
const std::vector<const char*> kFitStyles = {"Smart cut", "Discard aspect ratio"};
const std::vector<const char*> kGeneration = {"Encoded picture", "Copy of the source file"};
const std::vector<const char*> kLocations = {"Below the picture", "Above the picture"};

} // namespace

std::vector<PropertyPage> PropertyPages(HtmlProfile& p) {
    std::vector<PropertyPage> pages;
    pages.push_back(Page("Thumbnail page", p.thumbnailPage));
    ThumbnailTable& t = p.thumbnailTable;
    pages.push_back(
        {"Thumbnail table",
         {Number("Border:", t.border, 0, 100), Number("Cell padding:", t.padding, 0, 100),
          Number("Cell spacing:", t.spacing, 0, 100), Number("Columns:", t.columns, 1, 100),
          Number("Rows:", t.rows, 1, 100), Flag("&Limit rows", t.limitRows),
          Flag("Include &title", t.includeTitle),
          Choice("Title location:", t.titleLocation, kLocations),
          Text("Page heading:", t.titleText), Choice("Border style:", t.borderStyle, kBorderStyles),
          Color("Border colour", t.borderColor), Color("Light border colour", t.lightBorderColor),
          Color("Dark border colour", t.darkBorderColor)}});
    ThumbnailCell& c = p.thumbnailCell;
    pages.push_back(
        {"Thumbnail cell",
         {Text("Thumbnail name expansion:", c.nameExpansion), Number("Width:", c.width, 1, 32000),
          Number("Height:", c.height, 1, 32000),
          Flag("&Fit to thumbnail size", c.fitToThumbnailSize),
          Choice("Fit style:", c.fitStyle, kFitStyles),
          Number("JPEG Enhancement:", c.jpegEnhancement, -100, 100),
          Flag("Image &border", c.imageBorder), Number("Border:", c.border, 0, 100),
          Choice("Border style:", c.borderStyle, kBorderStyles),
          Color("Border colour", c.borderColor), Color("Light border colour", c.lightBorderColor),
          Color("Dark border colour", c.darkBorderColor), Flag("Use &cell colour", c.useCellColor),
          Color("Cell colour", c.cellColor),
          Number("Space around the picture:", c.cellSpacing, 0, 100)}});
    pages.push_back(Title("Thumbnail title", p.thumbnailTitle));
    ThumbnailTemplatePage& tt = p.thumbnailTemplatePage;
    pages.push_back({"Thumbnail template",
                     {Text("Thumbnail name expansion:", tt.nameExpansion),
                      Number("Width:", tt.width, 1, 32000), Number("Height:", tt.height, 1, 32000),
                      Flag("&Fit to thumbnail size", tt.fitToThumbnailSize),
                      Choice("Fit style:", tt.fitStyle, kFitStyles),
                      Number("JPEG Enhancement:", tt.jpegEnhancement, -100, 100),
                      Text("Title text:", tt.titleText)}});
    pages.push_back(Page("Zoom page", p.zoomPage));
    ZoomImage& z = p.zoomImage;
    pages.push_back(
        {"Zoom image",
         {Number("Border:", z.border, 0, 100), Number("Cell spacing:", z.spacing, 0, 100),
          Number("Cell padding:", z.padding, 0, 100),
          Choice("Border style:", z.borderStyle, kBorderStyles),
          Color("Border colour", z.borderColor), Color("Light border colour", z.lightBorderColor),
          Color("Dark border colour", z.darkBorderColor), Flag("Include &title", z.includeTitle),
          Choice("Title location:", z.titleStyle, kLocations),
          Flag("Use &cell colour", z.useCellColor), Color("Cell colour", z.cellColor),
          Choice("Big picture:", z.generationStyle, kGeneration)}});
    pages.push_back(Title("Zoom title", p.zoomTitle));
    LinkTable& l = p.zoomLink;
    pages.push_back(
        {"Navigation links",
         {Number("Border:", l.border, 0, 100), Number("Cell spacing:", l.spacing, 0, 100),
          Number("Cell padding:", l.padding, 0, 100), Number("Columns:", l.columns, 1, 100)}});
    pages.push_back({"Zoom template",
                     {Text("Zoom title:", p.zoomTemplatePage.zoomTitle),
                      Choice("Big picture:", p.zoomTemplatePage.generationStyle, kGeneration)}});
    pages.push_back({"Just image",
                     {Choice("Thumbnail opens:", p.justZoom.justStyle,
                             {"The picture", "The picture in a window of its own"}),
                      Choice("Big picture:", p.justZoom.generationStyle, kGeneration)}});
    pages.push_back(Page("Index page", p.contentPage));

    using Project = const ProjectSettings&;
    const auto automaticThumbnails = [](Project s) {
        return s.createThumbnailPages && s.thumbnailStyle == ThumbnailsAutomatic;
    };
    const auto automaticZoom = [](Project s) {
        return s.createZoomPages && s.zoomStyle == ZoomPage && s.zoomSubstyle == ZoomAutomatic;
    };
    bool (*const relevance[])(Project) = {
        automaticThumbnails,
        automaticThumbnails,
        automaticThumbnails,
        automaticThumbnails,
        [](Project s) {
            return s.createThumbnailPages && s.thumbnailStyle == ThumbnailsFromTemplate;
        },
        automaticZoom,
        automaticZoom,
        automaticZoom,
        [](Project s) {
            return (s.createThumbnailPages && s.thumbnailStyle == ThumbnailsAutomatic) ||
                   (s.createZoomPages && s.zoomStyle == ZoomPage &&
                    s.zoomSubstyle == ZoomAutomatic);
        },
        [](Project s) {
            return s.createZoomPages && s.zoomStyle == ZoomPage &&
                   s.zoomSubstyle == ZoomFromTemplate;
        },
        [](Project s) { return s.createZoomPages && s.zoomStyle == ZoomJustImage; },
        [](Project s) { return s.createContentPage; },
    };
    static_assert(sizeof relevance / sizeof relevance[0] == 12);
    for (size_t i = 0; i < pages.size(); ++i) {
        pages[i].relevant = relevance[i];
    }
    return pages;
}

int StepPage(const std::vector<PropertyPage>& pages, const ProjectSettings& project, int current,
             int delta) {
    // Page 0 is the first page; property page i is page i + 1.
    for (int page = current + delta; page >= 0 && page <= static_cast<int>(pages.size());
         page += delta) {
        if (page == 0 || pages[static_cast<size_t>(page - 1)].relevant(project)) {
            return page;
        }
    }
    return -1;
}

} // namespace pixmill::pagesmith
