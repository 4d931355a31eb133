// The HTML form of a compound image: the marker comment, then a relatively
// positioned DIV holding absolutely positioned SPANs (texts, images with
// their links) and client-side image maps for the regions.
#pragma once

#include "compound/compound_image.h"
#include "compound/html_style.h"
#include "html/html_node.h"

#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace pixmill {

class CompoundImageFiles;
class HtmlUrl;

inline constexpr const char* kCompoundMarker = "<!-- QorelCompoundImage -->";
inline constexpr int kDefaultDpi = 96;

// The MAP names used in a page: a picture's map is named after its file
// title followed by the smallest number from 0 that is still free.
class MapNameTable {
  public:
    void Add(const std::string& name) { names.insert(name); }
    void Remove(const std::string& name) { names.erase(name); }
    bool Contains(const std::string& name) const { return names.count(name) != 0; }
    // "%s%d" with the first free number; the name is taken.
    std::string Take(const std::string& title);

  private:
    std::set<std::string> names;
};

// A compound image that breaks the HTML form.
class CompoundSyntaxError : public std::runtime_error {
  public:
    CompoundSyntaxError() : std::runtime_error("Wrong compound image syntax") {}
};

// The entities EscapeHtmlText (html_text_util.h) writes, as characters.
std::string UnescapeHtmlText(const std::string& text);
// A target as the page holds it: an absolute URL made relative to the page.
std::string LinkRelativeToPage(const std::string& url, const HtmlUrl& page);
// A picture file's reference from the page.
std::string FileRelativeToPage(const std::string& path, const HtmlUrl& page);
// A reference found in a page as a local path (resolved against the page's
// folder), or the reference itself where it is no local file.
std::string ResolveAgainstPage(const std::string& reference, const HtmlUrl& page);

class HtmlFormWriter {
  public:
    HtmlFormWriter(const HtmlUrl& page, MapNameTable& maps, int dpi = kDefaultDpi)
        : page(page), maps(maps), dpi(dpi) {}
    // The marker comment and the compound root DIV. Regions that lie over no
    // image are left out.
    std::vector<std::unique_ptr<HtmlNode>> Write(const CompoundImage& image);

    // The SPAN of a text object (with its A when it carries a link); null for
    // an empty text.
    std::unique_ptr<HtmlContainer> TextElement(const CompoundObject& text) const;
    // An AREA for a region, its coordinates moved by (dx, dy).
    std::unique_ptr<HtmlElement> AreaElement(const CompoundObject& region, int dx, int dy) const;

  private:
    std::unique_ptr<HtmlContainer> ImageElement(const CompoundObject& image,
                                                const std::string& mapName) const;
    void SetAnchorLink(HtmlElement& anchor, const HtmlLink& link) const;
    void SetPopupAndCursor(HtmlElement& outer, HtmlStyle& style, const HtmlLink& link) const;

    const HtmlUrl& page;
    MapNameTable& maps;
    int dpi;
};

// Reads the objects of a compound root DIV; images are read through files
// (none: objects without pictures). Throws CompoundSyntaxError.
class HtmlFormReader {
  public:
    HtmlFormReader(const HtmlUrl& page, CompoundImageFiles* files, int dpi = kDefaultDpi)
        : page(page), files(files), dpi(dpi) {}
    CompoundImage Read(const HtmlContainer& root);

    // The regions of one AREA; false for a shape that is not used.
    static bool ReadArea(const HtmlElement& area, int dx, int dy, CompoundObject& region);

  private:
    struct Pending;
    void ReadSpan(const HtmlContainer& span, const HtmlLink* link, Pending& pending);
    void ReadAnchor(const HtmlContainer& anchor, Pending& pending);
    HtmlLink LinkOf(const HtmlElement& anchor) const;
    CompoundObject ImageFrom(const HtmlElement& img, const HtmlStyle& style);

    const HtmlUrl& page;
    CompoundImageFiles* files;
    int dpi;
};

} // namespace pixmill
