// The web pages of a batch run: thumbnail pages, zoom pages and the index
// page, made automatically from the profile or from its templates, written
// into the project folder. Messages (template errors and notes) go to the log.
#pragma once

#include "gallery_image.h"
#include "html_profile.h"
#include "page_names.h"
#include "picture_zip.h"

#include <functional>
#include <string>
#include <vector>

namespace pixmill::pagesmith {

class PageGenerator {
  public:
    using Log = std::function<void(const std::string&)>;

    PageGenerator(const HtmlProfile& profile, const std::string& projectPath, Log log);

    // Writes every page; returns the paths written.
    std::vector<std::string> Generate(const std::vector<GalleryImage>& images);

    // The opening of the picture behind a thumbnail: {href, onclick}.
    std::pair<std::string, std::string> ThumbnailLink(const GalleryImage& image, int number) const;
    // Thumbnails per automatic page: columns x rows with limited rows, else all.
    int AutomaticPlaces(int imageCount) const;

    bool WantThumbnailPages() const { return profile.project.createThumbnailPages; }
    bool WantZoomPages() const {
        return profile.project.createZoomPages && profile.project.zoomStyle == ZoomPage;
    }
    bool WantIndex() const { return profile.project.createContentPage; }

  private:
    std::vector<std::string> ThumbnailPages(const std::vector<GalleryImage>& images);
    std::vector<std::string> ZoomPages(const std::vector<GalleryImage>& images);
    std::string IndexPage(int thumbnailPages, int zoomPages);
    // Writes the zip of the full-size pictures when the profile asks for it.
    void WriteDownload(const std::vector<GalleryImage>& images, std::vector<std::string>& written);
    bool WriteFile(const std::string& name, const std::string& text,
                   std::vector<std::string>& written);

    HtmlProfile profile;
    PageNames names;
    Log log;
    int thumbnailPageCount = 0;
    PictureDownload download; // the zip the index links, when written
};

} // namespace pixmill::pagesmith
