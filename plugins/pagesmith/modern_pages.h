// The modern page set of the gallery: one grid page of every thumbnail and a
// page per picture, written as HTML5 that phones and wide screens both show
// well, with a style sheet and a small script of the gallery's own beside
// them (B + ".css", B + ".js"). Every page works without the script.
#pragma once

#include "gallery_image.h"
#include "html_profile.h"
#include "page_names.h"
#include "picture_zip.h"

#include <functional>
#include <string>
#include <vector>

namespace pixmill::pagesmith {

// The style sheet and script every modern gallery carries.
extern const char* const kModernStyleSheet;
extern const char* const kModernScript;

// The thumbnails the first screen shows without waiting; later ones load
// when they come near the screen.
inline constexpr int kEagerThumbnails = 12;

// Writes the files of a modern gallery through write(name, text); returns
// the names written. The grid page links the download when there is one.
std::vector<std::string>
WriteModernGallery(const HtmlProfile& profile, const PageNames& names,
                   const std::vector<GalleryImage>& images,
                   const std::function<bool(const std::string&, const std::string&)>& write,
                   const PictureDownload& download = {});

// The text a picture is known by: its caption, else its file name without
// the extension.
std::string PictureCaption(const GalleryImage& image);

} // namespace pixmill::pagesmith
