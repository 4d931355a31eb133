// The screen's ICC profile as X11 colour-management tools publish it: the
// _ICC_PROFILE property of the root window (of the first screen). Empty on
// other platforms, without the property, or when it is not a sound profile:
// the screen is then taken for sRGB.
#pragma once

#include <cstdint>
#include <vector>

namespace pixmill {

std::vector<uint8_t> ReadScreenProfile();

} // namespace pixmill
