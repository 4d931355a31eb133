#include "template_preview.h"

#include "html_template.h"
#include "page_generator.h"

#include <filesystem>
#include <fstream>

namespace pixmill::pagesmith {

PreviewResult WritePreview(const HtmlProfile& given, bool zoom, const std::string& folder,
                           const std::string& defaultImage) {
    namespace fs = std::filesystem;
    PreviewResult result;
    std::error_code error;
    fs::create_directories(folder, error);
    const std::string base = folder + (folder.empty() || folder.back() == '/' ? "" : "/");
    result.logFile = base + "Preview.log";
    auto log = [&result](const std::string& text) { result.log += text; };

    HtmlProfile profile = given;
    ProjectSettings& project = profile.project;
    project.createThumbnailPages = !zoom;
    project.createZoomPages = zoom;
    project.zoomStyle = ZoomPage;
    project.createContentPage = false;

    const std::string source = project.previewImage.empty() ? defaultImage : project.previewImage;
    const std::string picture = base + "preview" + fs::path(source).extension().string();
    fs::copy_file(source, picture, fs::copy_options::overwrite_existing, error);
    if (error) {
        log("The file " + source + " was not found.\r\n");
    }

    // As many pictures as the first page has places.
    int count = 1;
    if (!zoom) {
        count = PageGenerator(profile, base + "preview.htm", log).AutomaticPlaces(1);
        if (project.thumbnailStyle == ThumbnailsFromTemplate) {
            try {
                HtmlTemplate pageTemplate(HtmlTemplate::Kind::Thumbnail, project.thumbnailTemplate);
                count = pageTemplate.Read([](const std::string&) {}) ? pageTemplate.Places() : 1;
            } catch (HtmlError&) {
                count = 1; // the generator reports it
            }
        }
    }
    std::vector<GalleryImage> images;
    for (int i = 0; i < count; ++i) {
        GalleryImage image;
        image.itemName = project.previewText;
        image.bigFile = image.thumbnailFile = picture;
        image.bigPresent = true;
        image.thumbnailTitle = image.zoomTitle = project.previewText;
        images.push_back(image);
    }
    PageGenerator generator(profile, base + "preview.htm", log);
    const std::vector<std::string> written = generator.Generate(images);
    const std::string wanted = base + (zoom ? "preview_z1.htm" : "preview.htm");
    for (const std::string& page : written) {
        if (page == wanted) {
            result.page = page;
        }
    }
    std::ofstream file(result.logFile, std::ios::binary | std::ios::trunc);
    file << result.log;
    return result;
}

} // namespace pixmill::pagesmith
