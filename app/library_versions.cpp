#include "app/library_versions.h"

#include <QtGlobal>

#include <avif/avif.h>
#include <cstdio>
#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>
#include <webp/decode.h>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace pixmill {

namespace {

#define PIXMILL_TEXT(x) #x
#define PIXMILL_EXPAND_TEXT(x) PIXMILL_TEXT(x)

// "LIBTIFF, Version 4.5.0\nCopyright ..." -> "4.5.0".
std::string TiffVersion() {
    std::string text = TIFFGetVersion();
    const size_t start = text.find("Version ");
    if (start == std::string::npos) {
        return text.substr(0, text.find('\n'));
    }
    text = text.substr(start + 8);
    return text.substr(0, text.find_first_of(" \n"));
}

// libwebp packs its version as 0xMMmmrr.
std::string WebpVersion() {
    const int packed = WebPGetDecoderVersion();
    return std::to_string((packed >> 16) & 0xff) + "." + std::to_string((packed >> 8) & 0xff) +
           "." + std::to_string(packed & 0xff);
}

} // namespace

std::vector<LibraryVersion> LibraryVersions() {
    return {
        {"Qt", qVersion()},
        {"libjpeg-turbo", PIXMILL_EXPAND_TEXT(LIBJPEG_TURBO_VERSION)},
        {"libtiff", TiffVersion()},
        {"libpng", png_get_libpng_ver(nullptr)},
        {"giflib", std::to_string(GIFLIB_MAJOR) + "." + std::to_string(GIFLIB_MINOR) + "." +
                       std::to_string(GIFLIB_RELEASE)},
        {"libwebp", WebpVersion()},
        {"libavif", avifVersion()},
    };
}

} // namespace pixmill
