// The high-quality adaptive palette. The picture's colours are gathered into
// cells of 2 x 2 x 2 levels, each kept at the exact mean of its pixels; boxes
// of cells are split where the squared error falls most, and the box means
// are then moved by Lloyd (k-means) steps until the error settles. Entries no
// colour is nearest to, or that round onto another entry, are moved to the
// colours the palette represents worst.
#pragma once

#include "pixmill/cv_image.h"
#include "pixmill/win_types.h"

namespace pixmill::cedarcol {

// Writes at most wanted (1..256) entries to palette and returns how many.
// Pixels equal to *skip are left out. A picture with no more distinct colours
// than wanted gets exactly its colours; one without any counted pixel gets a
// single black entry. Throws std::bad_alloc when memory runs out.
int BuildQualityPalette(const CVImage& source, const RGBQUAD* skip, int wanted, RGBQUAD* palette);

} // namespace pixmill::cedarcol
