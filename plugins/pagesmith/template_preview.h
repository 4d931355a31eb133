// Previews of the thumbnail or zoom page: the page made with the profile's
// preview picture and text in every place, written with its log
// "Preview.log" into a folder of its own.
#pragma once

#include "html_profile.h"

#include <string>

namespace pixmill::pagesmith {

struct PreviewResult {
    std::string page;    // the page to show; empty when none was written
    std::string logFile; // "Preview.log" in the folder
    std::string log;     // what it holds
};

// zoom: the zoom page ("preview_z1.htm") instead of the first thumbnail page
// ("preview.htm"). defaultImage serves when the profile names no preview
// picture.
PreviewResult WritePreview(const HtmlProfile& profile, bool zoom, const std::string& folder,
                           const std::string& defaultImage);

} // namespace pixmill::pagesmith
