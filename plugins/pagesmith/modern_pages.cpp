#include "modern_pages.h"

#include "html/html_text_util.h"
#include "picture_size.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <strings.h>

namespace pixmill::pagesmith {

namespace {

using html::EscapeHtmlText;

std::string Extension(const std::string& file) {
    const std::string name = FileNameOf(file);
    const size_t dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return extension;
}

// The formats a browser may pick from <source>, smallest files first: a
// browser takes the first source it can show.
constexpr std::pair<const char*, const char*> kSourceTypes[] = {{"avif", "image/avif"},
                                                                {"webp", "image/webp"}};

bool EveryBrowserShows(const std::string& extension) {
    return extension == "jpg" || extension == "jpeg" || extension == "png" || extension == "gif";
}

std::string Attribute(const char* name, const std::string& value) {
    std::string text = " ";
    text.append(name).append("=\"").append(EscapeHtmlText(value)).append("\"");
    return text;
}

// width and height, so the browser keeps the picture's place before it loads.
std::string SizeAttributes(PictureSize size) {
    if (size.width <= 0 || size.height <= 0) {
        return {};
    }
    return " width=\"" + std::to_string(size.width) + "\" height=\"" +
           std::to_string(size.height) + "\"";
}

// The top of every page: HTML5 head with the viewport, the sharing card and
// the gallery's style sheet and script.
std::string Head(const PageNames& names, const std::string& title, const std::string& cardImage) {
    std::string text = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
                       "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    text += "<title>" + EscapeHtmlText(title) + "</title>\n";
    text += "<meta property=\"og:title\"" + Attribute("content", title) + ">\n";
    text += "<meta property=\"og:type\" content=\"website\">\n";
    if (!cardImage.empty()) {
        text += "<meta property=\"og:image\"" + Attribute("content", cardImage) + ">\n";
    }
    text += "<link rel=\"stylesheet\"" + Attribute("href", LinkTarget(names.Base() + ".css")) +
            ">\n";
    text += "<script" + Attribute("src", LinkTarget(names.Base() + ".js")) + " defer></script>\n";
    return text + "</head>\n";
}

std::string GalleryTitle(const HtmlProfile& profile) {
    return profile.project.galleryTitle.empty() ? std::string("Photographs")
                                                : profile.project.galleryTitle;
}

// The widths a browser may choose from for one format: "a-480.avif 480w,
// a.avif 1600w" when the picture was also written narrower, else the file
// alone. `full` is the full-size file of that format.
std::string SourceSet(const GalleryImage& image, const std::string& full) {
    const std::string extension = Extension(full);
    std::string set;
    for (const SizedPicture& sized : image.sizedFiles) {
        if (Extension(sized.file) == extension && sized.width < image.width) {
            set += LinkTarget(FileNameOf(sized.file)) + " " + std::to_string(sized.width) + "w, ";
        }
    }
    if (set.empty() || image.width <= 0) {
        return LinkTarget(FileNameOf(full));
    }
    return set + LinkTarget(FileNameOf(full)) + " " + std::to_string(image.width) + "w";
}

// How wide the picture is shown, as the style sheet lays it out: never
// wider than the page's column (the screen less the margins, at most
// 98rem), its own width, or the width that keeps it within 85% of the
// screen's height. The browser chooses the file by it before any layout.
std::string SizesAttribute(const GalleryImage& image) {
    if (image.sizedFiles.empty() || image.width <= 0 || image.height <= 0) {
        return {};
    }
    char text[160];
    std::snprintf(text, sizeof text, "min(100vw - 2rem, 98rem, %dpx, %.4gvh)", image.width,
                  85.0 * image.width / image.height);
    return Attribute("sizes", text);
}

// The big picture as <picture>: the formats only some browsers show as
// sources and one every browser shows as the <img>, each at every width it
// was written at.
std::string PictureElement(const GalleryImage& image) {
    std::vector<std::string> files{image.bigFile};
    files.insert(files.end(), image.otherFiles.begin(), image.otherFiles.end());
    std::string fallback = image.bigFile;
    for (const std::string& file : files) {
        if (EveryBrowserShows(Extension(file))) {
            fallback = file;
            break;
        }
    }
    const std::string sizes = SizesAttribute(image);
    std::string sources;
    for (const auto& [extension, type] : kSourceTypes) {
        for (const std::string& file : files) {
            if (file != fallback && Extension(file) == extension) {
                sources += "<source" + Attribute("type", type) +
                           Attribute("srcset", SourceSet(image, file)) + sizes + ">\n";
                break;
            }
        }
    }
    std::string img = "<img" + Attribute("src", LinkTarget(FileNameOf(fallback)));
    if (!sizes.empty()) {
        img += Attribute("srcset", SourceSet(image, fallback)) + sizes;
    }
    img += SizeAttributes(ReadPictureSize(fallback));
    img += Attribute("alt", PictureCaption(image)) + ">";
    if (sources.empty()) {
        return img + "\n";
    }
    return "<picture>\n" + sources + img + "\n</picture>\n";
}

std::string GridPage(const HtmlProfile& profile, const PageNames& names,
                     const std::vector<GalleryImage>& images, int thumbnailWidth,
                     const PictureDownload& download) {
    const std::string title = GalleryTitle(profile);
    const std::string card =
        images.empty() ? std::string() : LinkTarget(FileNameOf(images.front().thumbnailFile));
    std::string text = Head(names, title, card);
    text += "<body>\n<header>\n<h1>" + EscapeHtmlText(title) + "</h1>\n";
    if (!download.name.empty()) {
        text += "<p class=\"download\"><a" + Attribute("href", LinkTarget(download.name)) +
                " download>" + EscapeHtmlText(download.LinkText()) + "</a></p>\n";
    }
    text += "</header>\n<main>\n";
    text += "<ul class=\"grid\" style=\"--thumb: " + std::to_string(thumbnailWidth) + "px\">\n";
    for (size_t i = 0; i < images.size(); ++i) {
        const GalleryImage& image = images[i];
        const int number = static_cast<int>(i) + 1;
        const std::string caption = PictureCaption(image);
        text.append("<li id=\"p").append(std::to_string(number)).append("\">");
        const bool linked = image.bigPresent && !image.bigFile.empty();
        if (linked) {
            text += "<a" + Attribute("href", LinkTarget(names.Zoom(number))) + ">";
        }
        text += "<img" + Attribute("src", LinkTarget(FileNameOf(image.thumbnailFile)));
        if (!image.doubleThumbnailFile.empty()) {
            // Screens with two device pixels per CSS pixel take the sharp one.
            text +=
                Attribute("srcset", LinkTarget(FileNameOf(image.thumbnailFile)) + " 1x, " +
                                        LinkTarget(FileNameOf(image.doubleThumbnailFile)) + " 2x");
        }
        text += SizeAttributes(ReadPictureSize(image.thumbnailFile));
        text += Attribute("alt", caption);
        if (number > kEagerThumbnails) {
            text += " loading=\"lazy\"";
        }
        text += "><span class=\"caption\">" + EscapeHtmlText(caption) + "</span>";
        text += linked ? "</a></li>\n" : "</li>\n";
    }
    return text + "</ul>\n</main>\n</body>\n</html>\n";
}

// The page of picture `number` (1-based) among `count`; previous and next
// are the numbers of its neighbours with pages, 0 when there is none.
std::string PicturePage(const HtmlProfile& profile, const PageNames& names,
                        const GalleryImage& image, int number, int count, int previousNumber,
                        int nextNumber) {
    const std::string caption = PictureCaption(image);
    std::string text = Head(names, caption, LinkTarget(FileNameOf(image.bigFile)));
    // Links keep their places when a neighbour is missing, so Index stays
    // in the middle on the first and the last page.
    const auto link = [](const char* id, const char* rel, const std::string& href,
                         const char* label) {
        if (href.empty()) {
            return std::string("<span>") + label + "</span>";
        }
        std::string text = "<a" + Attribute("id", id);
        if (rel != nullptr) {
            text += Attribute("rel", rel);
        }
        return text + Attribute("href", href) + ">" + label + "</a>";
    };
    const std::string previous =
        previousNumber > 0 ? LinkTarget(names.Zoom(previousNumber)) : std::string();
    const std::string next = nextNumber > 0 ? LinkTarget(names.Zoom(nextNumber)) : std::string();
    const std::string up = LinkTarget(names.Thumbnail(0, 1)) + "#p" + std::to_string(number);
    text += "<body>\n<nav class=\"bar\" aria-label=\"Pictures\">\n";
    text += link("prev", "prev", previous, "&larr; Previous") + "\n";
    text += link("up", nullptr, up, "Index") + "\n";
    text += link("next", "next", next, "Next &rarr;") + "\n</nav>\n";
    text += "<main>\n<figure>\n" + PictureElement(image);
    text += "<figcaption>\n<h1>" + EscapeHtmlText(caption) + "</h1>\n";
    if (!image.description.empty()) {
        text += "<p>" + EscapeHtmlText(image.description) + "</p>\n";
    }
    text += "<p>" + std::to_string(number) + " / " + std::to_string(count) + "</p>\n";
    return text + "</figcaption>\n</figure>\n</main>\n</body>\n</html>\n";
}

} // namespace

std::string PictureCaption(const GalleryImage& image) {
    if (!image.caption.empty()) {
        return image.caption;
    }
    return image.itemName;
}

std::vector<std::string>
WriteModernGallery(const HtmlProfile& profile, const PageNames& names,
                   const std::vector<GalleryImage>& images,
                   const std::function<bool(const std::string&, const std::string&)>& write,
                   const PictureDownload& download) {
    std::vector<std::string> written;
    const auto put = [&](const std::string& name, const std::string& text) {
        if (write(name, text)) {
            written.push_back(name);
        }
    };
    put(names.Base() + ".css", kModernStyleSheet);
    put(names.Base() + ".js", kModernScript);
    // The grid's narrowest column is the widest thumbnail.
    int thumbnailWidth = 0;
    for (const GalleryImage& image : images) {
        thumbnailWidth = std::max(thumbnailWidth, ReadPictureSize(image.thumbnailFile).width);
    }
    put(names.Thumbnail(0, 1),
        GridPage(profile, names, images, thumbnailWidth > 0 ? thumbnailWidth : 150, download));
    // Pictures whose big file was not saved have no page; their neighbours
    // link past them.
    std::vector<int> shown;
    for (size_t i = 0; i < images.size(); ++i) {
        if (images[i].bigPresent && !images[i].bigFile.empty()) {
            shown.push_back(static_cast<int>(i) + 1);
        }
    }
    const int count = static_cast<int>(images.size());
    for (size_t k = 0; k < shown.size(); ++k) {
        const int number = shown[k];
        put(names.Zoom(number),
            PicturePage(profile, names, images[static_cast<size_t>(number - 1)], number, count,
                        k > 0 ? shown[k - 1] : 0, k + 1 < shown.size() ? shown[k + 1] : 0));
    }
    return written;
}

} // namespace pixmill::pagesmith
