#include "sized_pictures.h"

#include "page_names.h"
#include "pixmill/errors.h"
#include "pixmill/stream.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <strings.h>

namespace pixmill::pagesmith {

namespace {

// A file as the host's codecs read and write it.
class StdioStream final : public CVStream {
  public:
    StdioStream(const std::string& path, const char* mode) : file(std::fopen(path.c_str(), mode)) {}
    ~StdioStream() override {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
    StdioStream(const StdioStream&) = delete;
    StdioStream& operator=(const StdioStream&) = delete;
    bool IsOpen() const { return file != nullptr; }
    // Flushes and closes; false when a write failed.
    bool Close() {
        const bool ok = file != nullptr && std::ferror(file) == 0 && std::fclose(file) == 0;
        file = nullptr;
        return ok;
    }
    size_t Read(void* buffer, size_t count) override {
        return file != nullptr ? std::fread(buffer, 1, count, file) : 0;
    }
    size_t Write(const void* buffer, size_t count) override {
        return file != nullptr ? std::fwrite(buffer, 1, count, file) : 0;
    }
    int64_t Seek(int64_t offset, int origin) override {
        if (file == nullptr) {
            return -1;
        }
        const int whence = origin == FromStart ? SEEK_SET : origin == FromEnd ? SEEK_END : SEEK_CUR;
        if (std::fseek(file, static_cast<long>(offset), whence) != 0) {
            return -1;
        }
        return std::ftell(file);
    }

  private:
    FILE* file;
};

// "…/name.ext" split before its extension's dot (the whole path without one).
std::pair<std::string, std::string> SplitExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {path, std::string()};
    }
    return {path.substr(0, dot), path.substr(dot)};
}

} // namespace

std::string SizedName(const std::string& path, int width) {
    const auto [stem, extension] = SplitExtension(path);
    return stem + "-" + std::to_string(width) + extension;
}

std::string DoubleThumbnailName(const std::string& path) {
    const auto [stem, extension] = SplitExtension(path);
    return stem + "@2x" + extension;
}

std::vector<int> WidthsBelow(const std::vector<int>& widths, int ownWidth) {
    std::vector<int> below;
    for (const int width : widths) {
        if (width > 0 && width < ownWidth) {
            below.push_back(width);
        }
    }
    return below;
}

int SizedPictures::FormatForExtension(BatchHost& host, const std::string& extension) {
    for (int i = 0; i < host.GetFormatCount(); ++i) {
        const char* list = host.GetFormatExtensions(i);
        std::string all = list != nullptr ? list : "";
        // "*.jpg;*.jpeg" or ".jpg;.jpeg": compare each entry's part after its dot.
        size_t start = 0;
        while (start < all.size()) {
            size_t end = all.find(';', start);
            if (end == std::string::npos) {
                end = all.size();
            }
            const std::string entry = all.substr(start, end - start);
            const size_t dot = entry.rfind('.');
            const std::string own = dot == std::string::npos ? entry : entry.substr(dot + 1);
            if (!own.empty() && strcasecmp(own.c_str(), extension.c_str()) == 0) {
                return i;
            }
            start = end + 1;
        }
    }
    return -1;
}

std::unique_ptr<CVImage> SizedPictures::Load(const std::string& file, std::string& error) {
    StdioStream stream(file, "rb");
    if (!stream.IsOpen()) {
        error = "cannot read " + file;
        return nullptr;
    }
    auto image = std::make_unique<CVImage>(host.GetPluginHost());
    try {
        if (host.LoadImage(&stream, image.get(), nullptr) && image->Width() > 0) {
            return image;
        }
        error = "cannot read " + file;
    } catch (CQorelError& failure) {
        error = "cannot read " + file + ": " + failure.Message();
    }
    return nullptr;
}

bool SizedPictures::Save(CVImage& image, const std::string& file, int format, std::string& error) {
    // Written beside its name and renamed when whole: a page never links a
    // half-written file, and a failed save leaves the earlier run's file.
    const std::string temporary = PageNames(file).Folder() + "." + FileNameOf(file) + ".new";
    bool saved = false;
    try {
        StdioStream stream(temporary, "wb");
        saved = stream.IsOpen() && host.SaveImage(&image, &stream, format, false) && stream.Close();
    } catch (CQorelError& failure) {
        error = "cannot write " + file + ": " + failure.Message();
    }
    std::error_code ignored;
    if (saved && std::rename(temporary.c_str(), file.c_str()) == 0) {
        return true;
    }
    std::filesystem::remove(temporary, ignored);
    if (error.empty()) {
        error = "cannot write " + file;
    }
    return false;
}

void SizedPictures::Release() {
    picture.reset();
    sizes.clear();
}

std::string SizedPictures::Prepare(const std::string& bigFile, const std::vector<int>& widths) {
    Release();
    std::string error;
    picture = Load(bigFile, error);
    if (!picture) {
        return error;
    }
    for (const int width : WidthsBelow(widths, picture->Width())) {
        const int height = std::max(
            1, static_cast<int>(std::lround(double(picture->Height()) * width / picture->Width())));
        auto sized = std::make_unique<CVImage>(host.GetPluginHost());
        try {
            if (!host.ResampleImage(sized.get(), picture.get(), width, height, false, 0)) {
                return "cannot resample " + bigFile + " to " + std::to_string(width) + " pixels";
            }
        } catch (CQorelError& failure) {
            return "cannot resample " + bigFile + ": " + failure.Message();
        }
        sizes.emplace_back(width, std::move(sized));
    }
    return {};
}

std::string SizedPictures::Write(const std::string& bigFile, int format,
                                 std::vector<SizedPicture>& written) {
    std::string error;
    for (auto& [width, image] : sizes) {
        const std::string file = SizedName(bigFile, width);
        if (!Save(*image, file, format, error)) {
            return error;
        }
        written.push_back({file, image->Width(), image->Height()});
    }
    return {};
}

bool SizedPictures::WriteDoubleThumbnail(const std::string& thumbnailFile, int format,
                                         std::string& error) {
    if (!picture) {
        return false;
    }
    const std::unique_ptr<CVImage> thumbnail = Load(thumbnailFile, error);
    if (!thumbnail) {
        return false;
    }
    const int width = thumbnail->Width() * 2, height = thumbnail->Height() * 2;
    // The part of the picture with the thumbnail's proportions: the whole
    // picture, or its middle when the thumbnail was cut.
    RECT part{0, 0, picture->Width(), picture->Height()};
    const double thumbnailAspect = double(width) / height;
    const double pictureAspect = double(picture->Width()) / picture->Height();
    if (pictureAspect > thumbnailAspect * 1.01) {
        const int kept = static_cast<int>(std::lround(picture->Height() * thumbnailAspect));
        part.left = (picture->Width() - kept) / 2;
        part.right = part.left + kept;
    } else if (pictureAspect < thumbnailAspect / 1.01) {
        const int kept = static_cast<int>(std::lround(picture->Width() / thumbnailAspect));
        part.top = (picture->Height() - kept) / 2;
        part.bottom = part.top + kept;
    }
    if (part.right - part.left < width || part.bottom - part.top < height) {
        return false; // the picture holds no more detail than the thumbnail
    }
    try {
        CVImage cut(host.GetPluginHost());
        CVImage::CopyImage(&cut, picture.get(), &part);
        CVImage sharp(host.GetPluginHost());
        if (!host.ResampleImage(&sharp, &cut, width, height, false, 0)) {
            error = "cannot resample " + thumbnailFile;
            return false;
        }
        return Save(sharp, DoubleThumbnailName(thumbnailFile), format, error);
    } catch (CQorelError& failure) {
        error = "cannot make " + DoubleThumbnailName(thumbnailFile) + ": " + failure.Message();
        return false;
    }
}

} // namespace pixmill::pagesmith
