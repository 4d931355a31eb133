// Page templates: HTML files in which a proxy image ("default.jpg") marks
// the place of a picture, a proxy text ("def_text") the place of its title,
// and links whose HREF holds "$Content$", "$FirstPage$", "$PrevPage$",
// "$NextPage$" or "$LastPage$" the navigation. A thumbnail template has as
// many places per page as proxy images; a zoom template exactly one.
#pragma once

#include "html/html_error.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pixmill {
class HtmlDocument;
class HtmlElement;
class HtmlText;
} // namespace pixmill

namespace pixmill::pagesmith {

// A template that breaks the rules; the code is the message's string id.
class HtmlLogicalError : public HtmlError {
  public:
    explicit HtmlLogicalError(int stringId);
    ~HtmlLogicalError() override;
};

enum class SpecialLink { None = -1, Content = 0, FirstPage, PrevPage, NextPage, LastPage };

// What one place of a page shows.
struct TemplatePlace {
    std::string imageSource; // link target of the picture
    std::string title;
    // The link around the picture: an HREF, or an ONCLICK script; both
    // empty: no link.
    std::string href;
    std::string onclick;
};

// Targets of the navigation links; an empty one drops its link (its
// contents stay).
struct TemplateLinks {
    std::string targets[5];
};

class HtmlTemplate {
  public:
    enum class Kind { Thumbnail, Zoom };
    using Log = std::function<void(const std::string&)>;

    // Throws HtmlLogicalError when the name or the proxy image name is empty.
    HtmlTemplate(Kind kind, std::string file, std::string proxyImage = "default.jpg",
                 std::string proxyText = "def_text");
    ~HtmlTemplate();

    // Reads the template and checks its rules (HtmlLogicalError). Parser
    // errors and notes go to the log; false when the file could not be
    // parsed.
    bool Read(const Log& log);
    int Places() const { return places; }
    int Texts() const { return texts; }

    // The page for these places (at most Places(); places left over are
    // removed) and links, as HTML text.
    std::string Fill(const std::vector<TemplatePlace>& fill, const TemplateLinks& links) const;

    static SpecialLink SpecialOf(const std::string& href);

  private:
    struct Marks {
        std::vector<HtmlElement*> images;
        std::vector<HtmlText*> texts;
        std::vector<std::pair<HtmlElement*, SpecialLink>> links;
    };
    Marks Find(HtmlDocument& document) const;
    bool Parse(HtmlDocument& document, const Log* log) const;

    Kind kind;
    std::string file, proxyImage, proxyText;
    int places = 0;
    int texts = 0;
};

} // namespace pixmill::pagesmith
