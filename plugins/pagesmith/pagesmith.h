// The library's destination object: the web-page destination with its
// settings page.
#pragma once

#include "web_page_destination.h"

#include <string>

namespace pixmill::pagesmith {

class PagesmithPage;

class HtmlPagesDestination : public WebPageDestination {
  public:
    ~HtmlPagesDestination() override;
    // Replaces any earlier page by a new one inside the area.
    QWidget* CreatePage(QWidget* parent, const RECT& area) override;
    // The page's values first, then the checks.
    bool ApplyPage() override;
    void Help(QWidget* window) override;
    // Headless settings: "profile" (a ".vhb" file), "project" (the
    // project output name), "shard" ("I/N": write a gallery part, not
    // pages) and "pages-only" (any value: the pages of the parts every
    // shard wrote; refused while one is missing).
    bool SetOption(const std::string& name, const std::string& value);

    // The program's folder (where "def.jpg" lies), with "/".
    static std::string ProgramFolder();

  private:
    PagesmithPage* page = nullptr;
};

} // namespace pixmill::pagesmith
