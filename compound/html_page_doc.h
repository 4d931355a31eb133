// The HTML page document without its windows: an existing page parsed into
// a tree, the pictures in it as editable objects (plain images, compound
// images in their HTML form, applet compound images), and the writing of an
// edited object back into the page in place of its element, leaving the
// rest of the page as its author wrote it.
#pragma once

#include "compound/compound_html_form.h"
#include "html/html_document.h"
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

// The three forms an edited compound image is written back in.
enum class CompoundForm { ImageMap = 1, Applet = 2, Html = 3 };

struct WriteBackOptions {
    CompoundForm form = CompoundForm::Html;
    // Image map: the file the flattened canvas is saved as (absolute).
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
std::vector<std::unique_ptr<HtmlNode>> ImageMapNodes(const CompoundImage& image,
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

    // The preview copy ("$vs%x.htm" beside the page), or empty.
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

    CompoundImageFiles* files;
    CUserInterface* ui;
    HtmlDocument document;
    HtmlUrl pageUrl;
    std::string pagePath;
    std::vector<HtmlPageObject> objects;
    MapNameTable maps;
    std::string previewPath;
    bool previewCurrent = false;
    int applets = 0;
    int compounds = 0;
};

} // namespace pixmill
