// Tone adjustment per colour channel: brightness, contrast and intensity
// tables, and gamma tables. Qt-free. Both operations make destination a new
// image like the source: 24-bit pixels go through per-channel tables,
// paletted images get an adjusted palette and keep their pixels, and the
// transparent colour is adjusted like a pixel.
#pragma once

#include "oaktone_settings.h"

#include <cstdint>

namespace pixmill {
class CVImage;
class CVProgress;
} // namespace pixmill

namespace pixmill::oaktone {

// Channels in the order of the tables: red, green, blue.
enum Channel : int { ChannelRed = 0, ChannelGreen = 1, ChannelBlue = 2 };

// sign(e) * (|e| * (d - c) / (b - a + 1) + c), in extended precision.
long double Lin(long double e, long double a, long double b, long double c, long double d);

void BrightnessTable(int brightness, uint8_t* table);
void IntensityTable(int intensity, uint8_t* table);
// Tone i becomes middle + (i - middle) * gain, rounded (halves up) and
// limited to 0..255, with middle the centre of minimum..maximum and a gain of
// 1 + contrast / 100 when lowering, 100 / (100 - contrast) when raising (the
// two undo each other) and a threshold at the middle for 100.
void ContrastTable(int contrast, int minimum, int maximum, uint8_t* table);
void GammaTable(double gamma, uint8_t* table);

struct ToneValues {
    int brightness;
    int contrast;
    int intensity;
};
// The triple a channel uses, limited to -100..100.
ToneValues ToneOf(const AdjustSettings& settings, Channel channel);
// The gamma a channel uses, limited to 0.1..10 (1 when not a number).
double GammaOf(const AdjustSettings& settings, Channel channel);

// Images of more than 1 bit per pixel.
bool AcceptsAdjustment(const CVImage& image);

void AdjustTone(const CVImage& source, CVImage& destination, const AdjustSettings& settings,
                CVProgress* progress);
void AdjustGamma(const CVImage& source, CVImage& destination, const AdjustSettings& settings,
                 CVProgress* progress);

} // namespace pixmill::oaktone
