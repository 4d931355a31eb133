// How a compound image window hands its image to the page it was opened
// from: the page writes it back in the form the user chooses and says
// whether that worked.
#pragma once

#include "compound/compound_image.h"

#include <functional>
#include <string>

namespace pixmill {

using SaveIntoPage = std::function<bool(const CompoundImage& image, std::string* error)>;

} // namespace pixmill
