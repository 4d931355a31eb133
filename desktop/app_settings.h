// The program's own settings records, kept as fixed-size binary values in the
// "Settings" section (a stored value of another length is ignored and the
// defaults stay), and the list of recently used files.
#pragma once

#include "compound/html_property.h"
#include "desktop/image_display.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pixmill {

class SettingsStore;

#pragma pack(push, 1)

// "ImageProperty": the "General" page of the preferences.
struct ImageProperty {
    int32_t sheetWidth = 100;  // contact-sheet preview, 10..150
    int32_t sheetHeight = 100; // 10..150
    int32_t progressiveView = 0;
    int32_t zoomToWindow = 1; // fit pictures larger than the window when opening
    char workingDirectory[260] = {};
    int32_t reserved1[4] = {};
    int32_t previewDelay = 2000; // milliseconds, 1000..10000
    // 1: pictures keep their stored pixels; 0 (the default, and what
    // earlier settings hold here): turned upright by their EXIF orientation.
    int32_t keepStoredOrientation = 0;
    // 1: pictures are saved (from the window and the batch window) as sRGB,
    // converted from their colour profile, without it; 0 (the default, and
    // what earlier settings hold here): they keep their profile.
    int32_t saveAsSrgb = 0;
};
static_assert(sizeof(ImageProperty) == 304);

// "WindowPlace": the main window's placement in our own 44-byte layout, then
// the toolbar and status-bar flags and 2 spare bytes.
struct WindowPlacement {
    int32_t length = 44;
    int32_t showState = 0; // 0 normal, 1 minimised, 2 maximised
    int32_t x = 0;         // normal (restored) geometry
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    int32_t reserved[5] = {};
};
static_assert(sizeof(WindowPlacement) == 44);

struct WindowPlace {
    WindowPlacement placement;
    uint8_t toolbarVisible = 1;
    uint8_t statusBarVisible = 1;
    uint8_t spare[2] = {};
};
static_assert(sizeof(WindowPlace) == 48);

#pragma pack(pop)

inline constexpr const char* kImagePropertyName = "ImageProperty";
inline constexpr const char* kGammaParametersName = "GammaParameters";
inline constexpr const char* kWindowPlaceName = "WindowPlace";

// The global records the program reads at start and writes at exit. The
// working directories default to the current directory.
struct AppSettings {
    ImageProperty image;
    HtmlProperty html;
    alignas(8) GammaParameters gamma; // its double lies on an 8-byte boundary

    void Load(SettingsStore& store, const std::string& currentDirectory);
    void Save(SettingsStore& store) const;
};

// The recent-file list: newest first, at most kMaxRecentFiles entries, kept
// as text values "File1".."File5" of the "Recent File List" section.
class RecentFiles {
  public:
    static constexpr size_t kMaxRecentFiles = 5;
    void Load(SettingsStore& store);
    void Save(SettingsStore& store) const;
    void Add(const std::string& path);
    void Remove(const std::string& path);
    const std::vector<std::string>& Files() const { return files; }

  private:
    std::vector<std::string> files;
};

// Copies text into a fixed character field, cut to fit and terminated.
void SetFixedText(char* field, size_t capacity, const std::string& text);

} // namespace pixmill
