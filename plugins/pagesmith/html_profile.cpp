#include "html_profile.h"

#include "pixmill/side_file.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>

namespace pixmill::pagesmith {

namespace {

// Writes a group: one line per value, flags only when set.
class GroupWriter {
  public:
    explicit GroupWriter(std::string& out) : out(out) {}
    void Header(const char* header) { out.append(header).append("\n"); }
    void Flag(const char* name, bool& value) {
        if (value) {
            out.append(name).append("\n");
        }
    }
    void Int(const char* key, int& value) { out.append(key).append(std::to_string(value)) += '\n'; }
    void Text(const char* key, std::string& value) { out.append(key).append(value) += '\n'; }
    // Written only when the text is not empty.
    void OptionalText(const char* key, std::string& value) {
        if (!value.empty()) {
            Text(key, value);
        }
    }
    // The key only when the text is not empty, the line end always.
    void PreviewText(const char* key, std::string& value) {
        if (!value.empty()) {
            out.append(key);
        }
        out.append(value) += '\n';
    }

  private:
    std::string& out;
};

// Reads a group by plain text searches (case matters).
class GroupReader {
  public:
    explicit GroupReader(const std::string& text) : text(text) {}
    void Header(const char* header) {
        // From just after the header's "[" to the next "[" or the end.
        const std::string name(header);
        const size_t at = text.find(name.substr(0, name.find('\n')));
        missing = at == std::string::npos;
        if (missing) {
            group.clear();
            return;
        }
        const size_t end = text.find('[', at + 1);
        group = text.substr(at + 1, end == std::string::npos ? std::string::npos : end - at - 1);
    }
    // Without its group a setting keeps its value.
    void Flag(const char* name, bool& value) {
        if (!missing) {
            value = group.find(name) != std::string::npos;
        }
    }
    void Int(const char* key, int& value) {
        if (const auto found = Value(key)) {
            value = ToInt(*found);
        }
    }
    void Text(const char* key, std::string& value) {
        if (const auto found = Value(key)) {
            value = *found;
        }
    }
    void OptionalText(const char* key, std::string& value) { Text(key, value); }
    void PreviewText(const char* key, std::string& value) { Text(key, value); }

  private:
    // The text after the key's first "=" up to "[", CR, LF or the end.
    std::optional<std::string> Value(const char* key) const {
        const size_t at = group.find(key);
        if (missing || at == std::string::npos) {
            return std::nullopt;
        }
        const size_t equals = group.find('=', at);
        const size_t start = equals == std::string::npos ? group.size() : equals + 1;
        const size_t end = group.find_first_of("[\r\n", start);
        return group.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    // Leading blanks, a sign and digits; 0 without digits, clamped to int.
    static int ToInt(const std::string& value) {
        errno = 0;
        const long long number = std::strtoll(value.c_str(), nullptr, 10);
        if (number > INT_MAX) {
            return INT_MAX;
        }
        return number < INT_MIN ? INT_MIN : static_cast<int>(number);
    }

    const std::string& text;
    std::string group;
    bool missing = true;
};

template <class Io> void VisitPage(Io& io, const char* header, PageSettings& p) {
    io.Header(header);
    io.Flag("Use background color", p.useBackgroundColor);
    io.Int("Background color=", p.backgroundColor);
    io.Flag("Use activ color", p.useActiveColor);
    io.Int("Activ link color=", p.activeLinkColor);
    io.Flag("Use visited color", p.useVisitedColor);
    io.Int("Visited link color=", p.visitedLinkColor);
    io.Text("Background Image=", p.backgroundImage);
    io.Text("Header file=", p.headerFile);
    io.Text("Footer file=", p.footerFile);
    io.Int("Radio set=", p.radioSet);
}

template <class Io> void VisitTitle(Io& io, const char* header, TitleSettings& t) {
    io.Header(header);
    io.Int("Font size=", t.fontSize);
    io.Flag("Font style=Bold", t.bold);
    io.Flag("Font style=Italic", t.italic);
    io.Flag("Font style=Underline", t.underline);
    io.Flag("Font style=Strike", t.strike);
    io.Int("Text aling=", t.textAlign);
    io.Flag("Use text color", t.useTextColor);
    io.Flag("Wrap", t.wrap);
    io.Int("Text color=", t.textColor);
    io.Flag("Use background color", t.useBackgroundColor);
    io.Int("Background color=", t.backgroundColor);
}

// Every group in the order a profile file holds them.
template <class Io> void VisitProfile(Io& io, HtmlProfile& profile) {
    ProjectSettings& p = profile.project;
    io.Header("[Project settings]");
    io.Flag("Create thumbnail pages", p.createThumbnailPages);
    io.Int("Thumbnail style=", p.thumbnailStyle);
    io.Flag("Create zoom pages", p.createZoomPages);
    io.Int("Zoom style=", p.zoomStyle);
    io.Int("Zoom substyle=", p.zoomSubstyle);
    io.Flag("Create content page", p.createContentPage);
    io.Flag("Ask for titles", p.askTitles);
    io.Flag("Modern pages", p.modernPages);
    io.Flag("Zip of pictures", p.pictureZip);
    io.OptionalText("Gallery title=", p.galleryTitle);
    io.OptionalText("Picture sizes=", p.pictureSizes);
    io.OptionalText("Thumbnail template=", p.thumbnailTemplate);
    io.OptionalText("Zoom template=", p.zoomTemplate);
    io.PreviewText("Preview Image=", p.previewImage);
    io.PreviewText("Preview Text=", p.previewText);

    VisitPage(io, "[Thumbnail page]", profile.thumbnailPage);
    VisitPage(io, "[Zoom page]", profile.zoomPage);
    VisitPage(io, "[Content page]", profile.contentPage);

    ThumbnailCell& c = profile.thumbnailCell;
    io.Header("[Thumbnail Cell]");
    io.Text("Thumbnail name expansion=", c.nameExpansion);
    io.Int("Border=", c.border);
    io.Int("JPEG Enhancement=", c.jpegEnhancement);
    io.Int("Width=", c.width);
    io.Int("Height=", c.height);
    io.Int("Border style=", c.borderStyle);
    io.Int("Fit style=", c.fitStyle);
    io.Int("Border color=", c.borderColor);
    io.Int("Lightborder color=", c.lightBorderColor);
    io.Int("Darkborder color=", c.darkBorderColor);
    io.Int("Cell color=", c.cellColor);
    io.Int("CellSpacing=", c.cellSpacing);
    io.Flag("Image border", c.imageBorder);
    io.Flag("Use cell color", c.useCellColor);
    io.Flag("Fit to thumbnail size", c.fitToThumbnailSize);

    ThumbnailTemplatePage& tt = profile.thumbnailTemplatePage;
    io.Header("[Thumbnail template page]");
    io.Text("Thumbnail name expansion=", tt.nameExpansion);
    io.Int("JPEG Enhancement=", tt.jpegEnhancement);
    io.Int("Width=", tt.width);
    io.Int("Height=", tt.height);
    io.Int("Fit style=", tt.fitStyle);
    io.Text("Title text=", tt.titleText);
    io.Flag("Fit to thumbnail size", tt.fitToThumbnailSize);

    io.Header("[Zoom template page]");
    io.Text("Zoom title=", profile.zoomTemplatePage.zoomTitle);
    io.Int("Generation style=", profile.zoomTemplatePage.generationStyle);

    VisitTitle(io, "[Thumbnail title]", profile.thumbnailTitle);
    VisitTitle(io, "[Zoom title]", profile.zoomTitle);

    ThumbnailTable& t = profile.thumbnailTable;
    io.Header("[Thumbnail table]");
    io.Int("Border=", t.border);
    io.Int("Padding=", t.padding);
    io.Int("Spacing=", t.spacing);
    io.Int("Columns=", t.columns);
    io.Int("Rows=", t.rows);
    io.Flag("Limit rows", t.limitRows);
    io.Flag("Include title", t.includeTitle);
    io.Int("Title location=", t.titleLocation);
    io.Text("Title text=", t.titleText);
    io.Int("Border style=", t.borderStyle);
    io.Int("Border color=", t.borderColor);
    io.Int("Lightborder color=", t.lightBorderColor);
    io.Int("Darkborder color=", t.darkBorderColor);

    io.Header("[Zoom link]");
    io.Int("Border=", profile.zoomLink.border);
    io.Int("Spacing=", profile.zoomLink.spacing);
    io.Int("Padding=", profile.zoomLink.padding);
    io.Int("Columns=", profile.zoomLink.columns);

    io.Header("[Thumbnail link]");

    ZoomImage& z = profile.zoomImage;
    io.Header("[Zoom image]");
    io.Int("Border=", z.border);
    io.Int("Spacing=", z.spacing);
    io.Int("Padding=", z.padding);
    io.Int("Border style=", z.borderStyle);
    io.Int("Title style=", z.titleStyle);
    io.Int("Border color=", z.borderColor);
    io.Int("Lightborder color=", z.lightBorderColor);
    io.Int("Darkborder color=", z.darkBorderColor);
    io.Int("Cell color=", z.cellColor);
    io.Int("Generation style=", z.generationStyle);
    io.Flag("Include title", z.includeTitle);
    io.Flag("Use cell color", z.useCellColor);

    io.Header("[Just zoom]");
    io.Int("Just style=", profile.justZoom.justStyle);
    io.Int("Generation style=", profile.justZoom.generationStyle);
}

} // namespace

std::string WriteProfileText(const HtmlProfile& profile) {
    std::string out;
    GroupWriter writer(out);
    HtmlProfile copy = profile; // the visitor takes references for both directions
    VisitProfile(writer, copy);
    return out;
}

void ReadProfileText(const std::string& text, HtmlProfile& profile) {
    GroupReader reader(text);
    VisitProfile(reader, profile);
}

bool LoadProfileFile(const std::string& path, HtmlProfile& profile) {
    std::string text;
    try {
        text = ReadSideFile(path, "an HTML generation profile");
    } catch (CVFileError&) {
        return false;
    }
    ReadProfileText(text, profile);
    return true;
}

bool SaveProfileFile(const std::string& path, const HtmlProfile& profile) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    const std::string text = WriteProfileText(profile);
    file.write(text.data(), static_cast<std::streamsize>(text.size()));
    file.close();
    return !file.fail();
}

std::string HtmlColor(ColorValue color) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", color & 0xFF, (color >> 8) & 0xFF,
                  (color >> 16) & 0xFF);
    return text;
}

std::string ParsePictureSizes(const std::string& text, std::vector<int>& widths) {
    widths.clear();
    std::vector<int> found;
    size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == ',' || c == ' ' || c == '\t') {
            ++at;
            continue;
        }
        size_t end = at;
        while (end < text.size() && text[end] != ',' && text[end] != ' ' && text[end] != '\t') {
            ++end;
        }
        const std::string word = text.substr(at, end - at);
        at = end;
        const bool digits = word.size() <= 6 && std::all_of(word.begin(), word.end(), [](char d) {
                                return d >= '0' && d <= '9';
                            });
        const int width = digits ? std::atoi(word.c_str()) : 0;
        if (width < kSmallestPictureSize || width > kLargestPictureSize) {
            return "picture sizes: \"" + word + "\" is not a width in pixels from " +
                   std::to_string(kSmallestPictureSize) + " to " +
                   std::to_string(kLargestPictureSize) + " (give widths like 480,960,1600)";
        }
        found.push_back(width);
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    widths = std::move(found);
    return {};
}

} // namespace pixmill::pagesmith
