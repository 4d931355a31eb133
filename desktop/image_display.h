// The image display's arithmetic: the fixed zoom steps, snapping and fitting,
// image <-> screen conversions, centring and scroll positions, the frame
// title, and the gamma table applied to every colour drawn. Qt-free so that
// the view's behaviour is tested without a screen.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace pixmill {

// Zoom steps in hundredths of a percent (1 % .. 1600 %).
inline constexpr std::array<int, 18> kZoomSteps = {100,   500,   1000,  2000,  3333,   5000,
                                                   6667,  10000, 20000, 30000, 40000,  50000,
                                                   60000, 70000, 80000, 90000, 100000, 160000};

// round(zoom * 100): the zoom in hundredths of a percent.
int ZoomKey(double zoom);
// Truncated toward zero, as the view measures.
int ImageToScreen(int value, double zoom);
int ScreenToImage(int value, double zoom);
// The next step up or down from the step nearest to zoom, clamped.
double NextZoom(double zoom, bool up);
// Rounds down to a step; above the last step gives 100 %, below the first 1 %.
double SnapZoom(double zoom);
// The largest step at which the image fits the client area.
double FitZoom(int clientWidth, int clientHeight, int imageWidth, int imageHeight);
// Offset of the image inside the client area along one axis (centred).
int CentreOffset(int client, int zoomedImage);
// The scroll position that brings imagePoint to the client centre, limited
// to the scroll range (0 when the zoomed image fits).
int ScrollToCentre(int imagePoint, double zoom, int client, int zoomedImage);
// "%s (%.0f%%)".
std::string FrameTitle(const std::string& title, double zoom);
// The main window's title: the active window's title, " *" when its picture
// has unsaved changes, then the program's name ("Pixmill" alone without one).
std::string MainWindowTitle(const std::string& active, bool modified);

// The 16-byte "GammaParameters" record: enabled byte, 3 spare bytes, a
// stored-but-unused 32-bit field, gamma.
#pragma pack(push, 1)
struct GammaParameters {
    uint8_t enabled = 0;
    uint8_t spare[3] = {};
    int32_t reserved = 0;
    double gamma = 2.2;
};
#pragma pack(pop)
static_assert(sizeof(GammaParameters) == 16);

using GammaTable = std::array<uint8_t, 256>;
// Identity when disabled; else round(255 * (i / 255)^(1 / g)), g = gamma *
// 0.555 and at least 0.01.
GammaTable MakeGammaTable(const GammaParameters& parameters);

} // namespace pixmill

namespace pixmill {

// The view's status-pane texts: "%d, %d" inside the image, else empty;
// "%dx%d  %d bit ".
std::string MousePositionText(int x, int y, int width, int height);
std::string ImageSizeText(int width, int height, int bitCount);

} // namespace pixmill
