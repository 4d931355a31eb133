// The applet form of a compound image: an APPLET of the viewer class
// "getpara.class" whose PARAMs describe the images, texts with their fonts
// and colours, and the active regions (hotspots) with their links.
#pragma once

#include "compound/compound_image.h"
#include "html/html_node.h"

#include <map>
#include <memory>
#include <string>

namespace pixmill {

class CompoundImageFiles;
class HtmlUrl;

inline constexpr const char* kAppletClass = "getpara.class";

class AppletWriter {
  public:
    explicit AppletWriter(const HtmlUrl& page) : page(page) {}
    std::unique_ptr<HtmlContainer> Write(const CompoundImage& image) const;

  private:
    const HtmlUrl& page;
};

class AppletReader {
  public:
    AppletReader(const HtmlUrl& page, CompoundImageFiles* files) : page(page), files(files) {}
    CompoundImage Read(const HtmlContainer& applet) const;

    // The PARAMs of an applet by lower-case name.
    static std::map<std::string, std::string> Parameters(const HtmlContainer& applet);

  private:
    const HtmlUrl& page;
    CompoundImageFiles* files;
};

} // namespace pixmill
