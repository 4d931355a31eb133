#include "gallery_parts.h"

#include "page_names.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace pixmill::pagesmith {

namespace {

namespace fs = std::filesystem;

// A part: a heading, then per picture its numbers on one line (the last two:
// how many further formats and further sizes) and its texts, each as
// "<bytes>:<text>\n" (names may hold any byte): item, big file, thumbnail,
// the two titles, caption, description, the sharp thumbnail, then the big
// files of the further formats, then per further size "<width> <height>\n"
// and its file. Parts of the previous kind (no sizes, no sharp thumbnail)
// are still read.
constexpr const char* kHeading = "Pixmill gallery part 3";
constexpr const char* kPreviousHeading = "Pixmill gallery part 2";

std::string PartName(int shard, int count) {
    return "part-" + std::to_string(shard) + "-of-" + std::to_string(count);
}

void PutText(std::ostream& out, const std::string& text) {
    out << text.size() << ':' << text << '\n';
}

bool GetText(std::istream& in, std::string& text) {
    size_t length = 0;
    if (!(in >> length) || in.get() != ':' || length > (1u << 20)) {
        return false;
    }
    text.resize(length);
    return static_cast<bool>(in.read(text.data(), static_cast<std::streamsize>(length))) &&
           in.get() == '\n';
}

// One part's pictures; false when it is not a whole part of `count` shards.
bool ReadPart(const fs::path& path, int count, std::vector<GalleryImage>& images) {
    std::ifstream in(path, std::ios::binary);
    std::string heading;
    int partCount = 0;
    size_t entries = 0;
    if (!std::getline(in, heading) || (heading != kHeading && heading != kPreviousHeading) ||
        !(in >> partCount >> entries) || partCount != count) {
        return false;
    }
    const bool withSizes = heading == kHeading;
    for (size_t i = 0; i < entries; ++i) {
        GalleryImage image;
        int present = 0;
        size_t others = 0, sizes = 0;
        if (!(in >> image.order >> present >> image.width >> image.height >> others) ||
            (withSizes && !(in >> sizes)) || in.get() != '\n' || others > 64 || sizes > 1024 ||
            !GetText(in, image.itemName) || !GetText(in, image.bigFile) ||
            !GetText(in, image.thumbnailFile) || !GetText(in, image.thumbnailTitle) ||
            !GetText(in, image.zoomTitle) || !GetText(in, image.caption) ||
            !GetText(in, image.description) ||
            (withSizes && !GetText(in, image.doubleThumbnailFile))) {
            return false;
        }
        image.otherFiles.resize(others);
        for (std::string& file : image.otherFiles) {
            if (!GetText(in, file)) {
                return false;
            }
        }
        image.sizedFiles.resize(sizes);
        for (SizedPicture& sized : image.sizedFiles) {
            if (!(in >> sized.width >> sized.height) || in.get() != '\n' ||
                !GetText(in, sized.file)) {
                return false;
            }
        }
        image.bigPresent = present != 0;
        images.push_back(std::move(image));
    }
    return true;
}

} // namespace

std::string PartsFolder(const std::string& projectPath) {
    return PageNames(projectPath).Folder() + ".pixmill-gallery/";
}

std::string WritePart(const std::string& projectPath, int shard, int count,
                      const std::vector<GalleryImage>& images) {
    const std::string folder = PartsFolder(projectPath);
    std::error_code error;
    fs::create_directories(folder, error);
    const std::string target = folder + PartName(shard, count);
    const std::string temporary = target + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << kHeading << '\n' << count << ' ' << images.size() << '\n';
        for (const GalleryImage& image : images) {
            out << image.order << ' ' << (image.bigPresent ? 1 : 0) << ' ' << image.width << ' '
                << image.height << ' ' << image.otherFiles.size() << ' ' << image.sizedFiles.size()
                << '\n';
            for (const std::string* text : {&image.itemName, &image.bigFile, &image.thumbnailFile,
                                            &image.thumbnailTitle, &image.zoomTitle, &image.caption,
                                            &image.description, &image.doubleThumbnailFile}) {
                PutText(out, *text);
            }
            for (const std::string& file : image.otherFiles) {
                PutText(out, file);
            }
            for (const SizedPicture& sized : image.sizedFiles) {
                out << sized.width << ' ' << sized.height << '\n';
                PutText(out, sized.file);
            }
        }
        out.flush();
        if (!out) {
            fs::remove(temporary, error);
            return "cannot write the gallery part " + target;
        }
    }
    if (std::rename(temporary.c_str(), target.c_str()) != 0) {
        fs::remove(temporary, error);
        return "cannot write the gallery part " + target;
    }
    return {};
}

std::string ReadParts(const std::string& projectPath, std::vector<GalleryImage>& images) {
    const std::string folder = PartsFolder(projectPath);
    // The number of shards is read from the names; every one must be there.
    int count = 0;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        int shard = 0, of = 0;
        char rest = 0;
        if (std::sscanf(entry.path().filename().c_str(), "part-%d-of-%d%c", &shard, &of,
                        &rest) == 2) {
            if (count != 0 && of != count) {
                return "the gallery parts in " + folder + " come from runs with different " +
                       "numbers of shards (" + std::to_string(count) + " and " +
                       std::to_string(of) + "); run the shards of one kind again";
            }
            count = of;
        }
    }
    if (count == 0) {
        return "no gallery parts in " + folder +
               ": run every --shard I/N of the gallery into the same --out first";
    }
    std::vector<GalleryImage> all;
    for (int shard = 0; shard < count; ++shard) {
        const fs::path path = folder + PartName(shard, count);
        if (!fs::is_regular_file(path, error)) {
            return "shard " + std::to_string(shard) + "/" + std::to_string(count) +
                   " of the gallery has not finished (no " + path.string() + ")";
        }
        if (!ReadPart(path, count, all)) {
            return "the gallery part " + path.string() + " is damaged; run shard " +
                   std::to_string(shard) + "/" + std::to_string(count) + " again";
        }
    }
    // The whole run's order; a picture's outputs keep the order they were made in.
    std::stable_sort(all.begin(), all.end(), [](const GalleryImage& a, const GalleryImage& b) {
        return a.order < b.order;
    });
    images = std::move(all);
    return {};
}

void RemoveParts(const std::string& projectPath) {
    std::error_code error;
    fs::remove_all(PartsFolder(projectPath), error);
}

} // namespace pixmill::pagesmith
