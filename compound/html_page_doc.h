// The HTML page document without its windows: an existing page parsed into
// a tree, the pictures in it as editable objects (plain images, compound
// images in their HTML form, applet compound images), and the writing of an
// edited object back into the page in place of its element, leaving the
// rest of the page as its author wrote it.
#pragma once

#include "compound/compound_html_form.h"
#include "html/html_document.h"
#include "html/html_markup_style.h"
#include "html/html_url.h"

#include <string>
#include <vector>

namespace pixmill {

class CUserInterface;
class CompoundImageFiles;

struct HtmlPageObject {
    enum Kind : int { Image = 1, Applet = 2, Compound = 3 };
    int kind = Image;
    int number = 0;                 // within its kind, from 1 in page order
    HtmlElement* element = nullptr; // the IMG, the APPLET or the compound root DIV
    HtmlComment* marker = nullptr;  // the marker comment of a compound image
};

// The forms an edited compound image is written back in. Responsive is the
// image-map form whose picture shrinks with a narrow page (never wider than
// the canvas) and whose map's coordinates follow it; it reads back as the
// image-map form does.
enum class CompoundForm { ImageMap = 1, Applet = 2, Html = 3, Responsive = 4 };

// The forms written with a flattened picture file of their own.
inline bool WritesFlatPicture(CompoundForm form) {
    return form == CompoundForm::ImageMap || form == CompoundForm::Responsive;
}

struct WriteBackOptions {
    CompoundForm form = CompoundForm::Html;
    // Image map and responsive: the file the flattened canvas is saved as
    // (absolute); also the applet's fallback picture when set.
    std::string imagePath;
    // HTML and applet forms: where the pictures are copied ("": they stay
    // where they are); pictures not in a web format are saved there with
    // this extension (".png", ".gif", ".jpg").
    std::string imageDirectory;
    std::string convertExtension = ".png";
    // Applet: the program folder whose "Java/" class files are copied.
    std::string programDirectory;
};

// The IMG of a flattened compound image saved as imagePath and, when it has
// regions (or linked texts and pictures), its MAP; map names from maps.
// Responsive: the IMG is as wide as the page allows up to the canvas's width,
// and its map's coordinates are scaled to the shown size by the IMG's own
// onload handler (the written coordinates stay in canvas pixels).
std::vector<std::unique_ptr<HtmlNode>> ImageMapNodes(const CompoundImage& image,
                                                     const std::string& imagePath,
                                                     const HtmlUrl& page, MapNameTable& maps,
                                                     bool responsive = false);
// The APPLET of a compound image; with imagePath (the flattened canvas's
// file) it holds that picture and its MAP as fallback content.
std::unique_ptr<HtmlContainer> AppletWithFallback(const CompoundImage& image,
                                                  const std::string& imagePath,
                                                  const HtmlUrl& page, MapNameTable& maps);
// The HTML that saving would put into the page, as text (what "Copy ... as
// HTML Source text" puts on the clipboard).
std::string CompoundSourceText(const CompoundImage& image, CompoundForm form, const HtmlUrl& page,
                               MapNameTable& maps, const std::string& imagePath = {});

class HtmlPageDoc {
  public:
    HtmlPageDoc(CompoundImageFiles* files, CUserInterface* ui);
    ~HtmlPageDoc();
    HtmlPageDoc(const HtmlPageDoc&) = delete;
    HtmlPageDoc& operator=(const HtmlPageDoc&) = delete;

    // Empties the document and reads the page; false (the parser has told
    // the user) when it cannot be parsed. With preview, the preview copy is
    // written beside the page.
    bool Open(const std::string& path, bool preview = true);
    // Writes the page (under a temporary name, renamed when complete).
    bool Save(const std::string& path, std::string* error = nullptr);
    // The page as Save writes it: a page read from a file is its bytes as
    // they were, with only the edited objects' markup replaced (written in
    // the page's own case and line ends); otherwise the whole tree.
    std::string PageText() const;

    HtmlDocument& Document() { return document; }
    const HtmlUrl& PageUrl() const { return pageUrl; }
    // Points relative references at another page location (a copy saved
    // elsewhere).
    void SetPageUrl(const HtmlUrl& url) { pageUrl = url; }
    const std::vector<HtmlPageObject>& Objects() const { return objects; }
    MapNameTable& Maps() { return maps; }

    // "Compound image %d", the applet's NAME or "Applet %d", an image's file
    // name.
    std::string DisplayName(size_t index) const;
    // The compound image of an object: an applet's or HTML form's objects,
    // or a plain image with its image map's regions. Throws
    // CompoundSyntaxError.
    CompoundImage ReadCompound(size_t index) const;

    // Replaces the object's element, in place, by the compound image in the
    // chosen form; the object's kind follows the form. False (with the
    // reason) when a file could not be written.
    bool WriteBack(size_t index, CompoundImage image, const WriteBackOptions& options,
                   std::string* error = nullptr);
    // Removes the object's element (and a compound image's marker); for an
    // image whose map no other image uses, asks whether the map goes too.
    void Delete(size_t index);

    // The preview copy ("$vs%x.htm" in a private temporary folder, its
    // relative references resolved against the page's folder), or empty.
    const std::string& PreviewPath() const { return previewPath; }
    bool PreviewCurrent() const { return previewCurrent; }
    // Rewrites the preview copy after an edit.
    bool UpdatePreview();
    // The shared counter of preview names.
    static void SetPreviewCounter(unsigned value);

  private:
    // Lists the objects and map names; quiet: no syntax messages (a rescan).
    void Scan(bool quiet = false);
    bool WritePreview();
    void RemovePreview();
    // How many IMG elements of the page use the map.
    int MapUsers(const std::string& name) const;
    HtmlContainer* FindMap(const std::string& name) const;
    bool PreparePictures(CompoundImage& image, const WriteBackOptions& options, std::string* error);
    // Before a node leaves the tree: the bytes it was read from are replaced
    // by the markup of added (nodes standing in its place), or the nodes it
    // stood among in an earlier replacement take added instead of it.
    void Replacing(HtmlNode* old, const std::vector<HtmlNode*>& added);
    bool InsideReplacement(const HtmlNode* node) const;
    // Where an applet's fallback picture is saved: the options' picture
    // path, the one the applet already had, or "<page>_appletN" beside the
    // pictures (the first free number).
    std::string AppletFallbackPath(const HtmlPageObject& object,
                                   const WriteBackOptions& options) const;
    std::string PreviewText() const;

    // An edited stretch of the page's bytes and the nodes now standing there.
    struct SourceSplice {
        size_t begin = 0;
        size_t end = 0;
        std::vector<HtmlNode*> nodes;
    };

    CompoundImageFiles* files;
    CUserInterface* ui;
    HtmlDocument document;
    HtmlUrl pageUrl;
    std::string pagePath;
    std::vector<HtmlPageObject> objects;
    MapNameTable maps;
    // The page's bytes as read, the edits to them, and whether the page is
    // written as those bytes with the edits (false: the whole tree).
    std::string source;
    std::vector<SourceSplice> splices;
    bool splicing = false;
    HtmlMarkupStyle markupStyle;
    std::string previewPath;
    std::string previewFolder;
    bool previewCurrent = false;
    int applets = 0;
    int compounds = 0;
};

} // namespace pixmill
