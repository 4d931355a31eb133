#include "app/library_versions.h"

#include <QtGlobal>

#include <algorithm>
#include <iterator>
#include <string_view>

namespace pixmill {

namespace {

// The order the About box has always listed the codec libraries in; a
// library it does not know comes after them, in plug-in order.
constexpr std::string_view kListOrder[] = {"libjpeg-turbo", "libtiff", "libpng",
                                           "giflib",        "libwebp", "libavif"};

size_t ListPosition(const LibraryVersion& library) {
    return static_cast<size_t>(
        std::find(std::begin(kListOrder), std::end(kListOrder), library.name) -
        std::begin(kListOrder));
}

} // namespace

std::vector<LibraryVersion> LibraryVersions(const PluginManager& plugins) {
    std::vector<LibraryVersion> codecs = plugins.FormatLibraryVersions();
    std::stable_sort(codecs.begin(), codecs.end(),
                     [](const LibraryVersion& a, const LibraryVersion& b) {
                         return ListPosition(a) < ListPosition(b);
                     });
    std::vector<LibraryVersion> result{{"Qt", qVersion()}};
    result.insert(result.end(), codecs.begin(), codecs.end());
    return result;
}

} // namespace pixmill
