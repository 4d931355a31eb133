// The pixel size of a picture file the gallery wrote, read from its header:
// the pages give every picture its width and height, so a browser keeps its
// place before the bytes arrive. JPEG, PNG, GIF and WebP are known.
#pragma once

#include <string>

namespace pixmill::pagesmith {

struct PictureSize {
    int width = 0, height = 0; // 0 x 0 when the file is not known or damaged
};

PictureSize ReadPictureSize(const std::string& path);

} // namespace pixmill::pagesmith
