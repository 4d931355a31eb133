// Turning a picture upright from its EXIF orientation: cameras and phones
// store the sensor's pixels as they came and say in the orientation tag
// (1..8) how to show them. The one read path (image_io) turns every picture
// it reads, so that the desktop program, the browser, the command line, the
// batch engine and the compound pages all see it the way it was taken.
// Qt-free.
#pragma once

namespace pixmill {

class CVImage;

// Whether the orientation turns the picture a quarter (its width and
// height trade places): 5, 6, 7 and 8.
bool OrientationSwapsSides(int orientation);

// Turns and mirrors image's pixels from the stored position that the
// orientation describes into the upright one: 2 mirrors left to right, 3
// turns half round, 4 mirrors top to bottom, 5 transposes, 6 turns a
// quarter clockwise, 7 transposes the other diagonal, 8 turns a quarter
// counter-clockwise. 1 and values outside 1..8 leave the picture as it is.
// Palette, transparent colour and resolution (traded with the sides) stay.
void TurnUpright(CVImage& image, int orientation);

} // namespace pixmill
