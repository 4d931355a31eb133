#include "compound/compound_image.h"

#include "compound/html_property.h"
#include "host/settings_store.h"
#include "pixmill/user_interface.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace pixmill {

namespace fs = std::filesystem;

CompoundDefaults CompoundDefaults::Load(SettingsStore& store) {
    HtmlProperty record;
    ReadRecord(store, kHtmlPropertyName, record);
    CompoundDefaults defaults;
    defaults.width = record.compoundWidth;
    defaults.height = record.compoundHeight;
    defaults.background = record.background;
    defaults.font = record.font;
    defaults.textColor = record.textColor;
    return defaults;
}

void CompoundDefaults::Save(SettingsStore& store) const {
    HtmlProperty record;
    ReadRecord(store, kHtmlPropertyName, record);
    record.compoundWidth = width;
    record.compoundHeight = height;
    record.background = background;
    record.font = font;
    record.textColor = textColor;
    WriteRecord(store, kHtmlPropertyName, record);
}

CompoundImage::CompoundImage(const CompoundDefaults& defaults) {
    SetCanvas(defaults.width, defaults.height, defaults.background);
}

namespace {
std::atomic<uint64_t> g_canvasPixelLimit{0};
} // namespace

void CompoundImage::LimitCanvasPixels(uint64_t pixels) {
    g_canvasPixelLimit.store(pixels);
}

void CompoundImage::SetCanvas(int newWidth, int newHeight, uint32_t color) {
    width = std::max(0, newWidth);
    height = std::max(0, newHeight);
    background = color;
    const uint64_t limit = g_canvasPixelLimit.load();
    const bool tooLarge = limit > 0 && uint64_t(width) * uint64_t(height) > limit;
    canvas = QImage(tooLarge ? 1 : std::max(1, width), tooLarge ? 1 : std::max(1, height),
                    QImage::Format_RGB888);
    canvas.fill(QColor(RedOf(color), GreenOf(color), BlueOf(color)));
}

void CompoundImage::Grow(const RECT& rect) {
    const int newWidth = std::max(width, static_cast<int>(rect.right));
    const int newHeight = std::max(height, static_cast<int>(rect.bottom));
    if (newWidth != width || newHeight != height) {
        SetCanvas(newWidth, newHeight, background);
    }
}

void CompoundImage::Insert(CompoundObject object, int index) {
    const RECT rect = object.rect;
    if (index < 0 || index > static_cast<int>(objects.size())) {
        objects.push_back(std::move(object));
    } else {
        objects.insert(objects.begin() + index, std::move(object));
    }
    Grow(rect);
}

void CompoundImage::ObjectChanged(int index) {
    if (index >= 0 && index < static_cast<int>(objects.size())) {
        Grow(objects[static_cast<size_t>(index)].rect);
    }
}

void CompoundImage::Remove(int index) {
    if (index >= 0 && index < static_cast<int>(objects.size())) {
        objects.erase(objects.begin() + index);
    }
}

void CompoundImage::AssignNames() {
    for (CompoundObject& object : objects) {
        if (object.link.name.empty()) {
            object.link.name = CompoundNameCounter::Next(object.kind);
        }
    }
}

bool CompoundImage::Minimise() {
    int right = 0, bottom = 0;
    for (const CompoundObject& object : objects) {
        right = std::max(right, static_cast<int>(object.rect.right));
        bottom = std::max(bottom, static_cast<int>(object.rect.bottom));
    }
    if (width <= right && height <= bottom) {
        return false;
    }
    SetCanvas(right, bottom, background);
    return true;
}

int CompoundImage::FindImageUnder(int index, int kind) const {
    if (index < 0 || index >= static_cast<int>(objects.size())) {
        return -1;
    }
    const RECT& region = objects[static_cast<size_t>(index)].rect;
    for (size_t i = static_cast<size_t>(index) + 1; i < objects.size(); ++i) {
        const CompoundObject& object = objects[i];
        if (object.kind != kind) {
            continue;
        }
        const RECT& r = object.rect;
        // The intersection equals the region's rectangle.
        if (std::max(r.left, region.left) == region.left &&
            std::max(r.top, region.top) == region.top &&
            std::min(r.right, region.right) == region.right &&
            std::min(r.bottom, region.bottom) == region.bottom) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int CompoundImage::TextCount() const {
    return static_cast<int>(std::count_if(objects.begin(), objects.end(), [](const auto& object) {
        return object.kind == CompoundKind::Text;
    }));
}

int CompoundImage::ImageCount() const {
    return static_cast<int>(std::count_if(objects.begin(), objects.end(), [](const auto& object) {
        return object.kind == CompoundKind::Image;
    }));
}

std::string CompoundImage::DefaultFileName() const {
    if (ImageCount() != 1 || TextCount() != 0) {
        return {};
    }
    for (const CompoundObject& object : objects) {
        if (object.kind == CompoundKind::Image) {
            return FileTitleOf(object.fileName);
        }
    }
    return {};
}

bool CompoundImage::OfferCanvasAsDefaults(CUserInterface& ui, CompoundDefaults& defaults) const {
    if (!ui.AskYesNo("Pixmill",
                     "Do you want to change the default compound image size and background color "
                     "?\nThis change will affect all new compound images.",
                     false)) {
        return false;
    }
    defaults.width = width;
    defaults.height = height;
    defaults.background = background;
    return true;
}

bool CompoundImage::OfferFontAsDefault(CUserInterface& ui, const LogFont& font, uint32_t color,
                                       CompoundDefaults& defaults) {
    const std::string question =
        FormatMessage("Do you want to change the default font to %s ?\nThis change will affect all "
                      "new text objects in the compound image.",
                      FaceNameOf(font));
    if (!ui.AskYesNo("Pixmill", question.c_str(), false)) {
        return false;
    }
    defaults.font = font;
    defaults.textColor = color;
    return true;
}

bool IsHtmlImageFile(const std::string& path) {
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".gif" || extension == ".png" || extension == ".jpg" ||
           extension == ".jpeg";
}

std::string FileTitleOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

int CopyAppletSupportFiles(const std::string& programDirectory, const std::string& outputDirectory,
                           bool* ok) {
    if (ok) {
        *ok = true;
    }
    std::error_code error;
    const fs::path java = fs::path(programDirectory) / "Java";
    if (fs::equivalent(java, fs::path(outputDirectory), error)) {
        return 0;
    }
    int copied = 0;
    for (fs::directory_iterator it(java, error), end; !error && it != end; it.increment(error)) {
        if (it->path().extension() != ".class" || !it->is_regular_file(error)) {
            continue;
        }
        std::error_code copyError;
        fs::copy_file(it->path(), fs::path(outputDirectory) / it->path().filename(),
                      fs::copy_options::overwrite_existing, copyError);
        if (copyError) {
            if (ok) {
                *ok = false;
            }
        } else {
            ++copied;
        }
    }
    return copied;
}

std::string FormatMessage(const char* format, const std::string& text) {
    const int length = std::snprintf(nullptr, 0, format, text.c_str());
    std::string out(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
    std::snprintf(out.data(), out.size(), format, text.c_str());
    out.resize(static_cast<size_t>(std::max(length, 0)));
    return out;
}

} // namespace pixmill
