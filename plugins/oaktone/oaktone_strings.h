// The colour adjustment library's string table: texts by identifier.
#pragma once

#include <cstddef>

namespace pixmill::oaktone {

enum StringId : int {
    IdNameTone = 1,
    IdMenuTone = 2,
    IdNameGamma = 3,
    IdMenuGamma = 4,
    IdGroup = 5,
    IdGroupMenu = 6,
    IdDescriptionTone = 7,
    IdDescriptionGamma = 8,
    IdChannelAll = 9,
    IdChannelRed = 10,
    IdChannelGreen = 11,
    IdChannelBlue = 12,
};

// Copies the text of id into buffer (at most capacity - 1 characters and a
// terminating zero); an unknown id gives the empty text.
void LoadString(int id, char* buffer, size_t capacity);

} // namespace pixmill::oaktone
