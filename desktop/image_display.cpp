#include "desktop/image_display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace pixmill {

int ZoomKey(double zoom) {
    return static_cast<int>(std::lround(zoom * 100.0));
}

int ImageToScreen(int value, double zoom) {
    return static_cast<int>(static_cast<int64_t>(value) * ZoomKey(zoom) / 10000);
}

int ScreenToImage(int value, double zoom) {
    const int z = ZoomKey(zoom);
    return static_cast<int>(static_cast<int64_t>(value) * 10000 / (z == 0 ? 1 : z));
}

double NextZoom(double zoom, bool up) {
    const int z = ZoomKey(zoom);
    size_t nearest = 0;
    for (size_t i = 1; i < kZoomSteps.size(); ++i) {
        if (std::abs(kZoomSteps[i] - z) < std::abs(kZoomSteps[nearest] - z)) {
            nearest = i;
        }
    }
    size_t next = nearest;
    if (up && next + 1 < kZoomSteps.size()) {
        ++next;
    } else if (!up && next > 0) {
        --next;
    }
    return kZoomSteps[next] / 100.0;
}

double SnapZoom(double zoom) {
    const int z = ZoomKey(zoom);
    if (z < kZoomSteps.front()) {
        return kZoomSteps.front() / 100.0;
    }
    if (z == kZoomSteps.back()) {
        return kZoomSteps.back() / 100.0;
    }
    if (z > kZoomSteps.back()) {
        return 100.0;
    }
    for (size_t i = 1; i < kZoomSteps.size(); ++i) {
        if (z >= kZoomSteps[i - 1] && z < kZoomSteps[i]) {
            return kZoomSteps[i - 1] / 100.0;
        }
    }
    return 100.0;
}

double FitZoom(int clientWidth, int clientHeight, int imageWidth, int imageHeight) {
    if (imageWidth <= 0 || imageHeight <= 0) {
        return 100.0;
    }
    const double zoom =
        std::min(clientWidth * 100.0 / imageWidth, clientHeight * 100.0 / imageHeight);
    return SnapZoom(zoom);
}

int CentreOffset(int client, int zoomedImage) {
    return std::max((client - zoomedImage) / 2, 0);
}

int ScrollToCentre(int imagePoint, double zoom, int client, int zoomedImage) {
    if (zoomedImage <= client) {
        return 0;
    }
    const int wanted = ImageToScreen(imagePoint, zoom) - client / 2;
    return std::clamp(wanted, 0, zoomedImage - client);
}

std::string FrameTitle(const std::string& title, double zoom) {
    char text[64];
    std::snprintf(text, sizeof text, " (%.0f%%)", zoom);
    return title + text;
}

std::string MainWindowTitle(const std::string& active, bool modified) {
    if (active.empty()) {
        return "Pixmill";
    }
    return active + (modified ? " *" : "") + " \u2014 Pixmill";
}

GammaTable MakeGammaTable(const GammaParameters& parameters) {
    GammaTable table{};
    for (int i = 0; i < 256; ++i) {
        table[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    }
    if (parameters.enabled == 0) {
        return table;
    }
    double g = parameters.gamma * 0.555;
    if (!(g >= 0.01)) {
        g = 0.01;
    }
    for (int i = 0; i < 256; ++i) {
        const double value = std::round(255.0 * std::pow(i / 255.0, 1.0 / g));
        table[static_cast<size_t>(i)] = static_cast<uint8_t>(std::clamp(value, 0.0, 255.0));
    }
    return table;
}

} // namespace pixmill

namespace pixmill {

std::string MousePositionText(int x, int y, int width, int height) {
    if (x < 0 || y < 0 || x >= width || y >= height) {
        return {};
    }
    return std::to_string(x) + ", " + std::to_string(y);
}

std::string ImageSizeText(int width, int height, int bitCount) {
    char text[64];
    std::snprintf(text, sizeof text, "%dx%d  %d bit ", width, height, bitCount);
    return text;
}

} // namespace pixmill
