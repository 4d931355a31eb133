#include "oaktone_strings.h"

#include <algorithm>
#include <cstring>

namespace pixmill::oaktone {

namespace {
struct StringEntry {
    int id;
    const char* text;
};

const StringEntry kStrings[] = {
    {IdNameTone, "Brightness-Contrast-Intensity"},
    {IdMenuTone, "&Brightness-Contrast-Intensity"},
    {IdNameGamma, "Gamma"},
    {IdMenuGamma, "&Gamma"},
    {IdGroup, "Adjust"},
    {IdGroupMenu, "&Adjust"},
    {IdDescriptionTone, "Adjust image colors"},
    {IdDescriptionGamma, "Adjust image colors"},
    {IdChannelAll, "All colors"},
    {IdChannelRed, "Red"},
    {IdChannelGreen, "Green"},
    {IdChannelBlue, "Blue"},
};
} // namespace

void LoadString(int id, char* buffer, size_t capacity) {
    if (capacity == 0) {
        return;
    }
    buffer[0] = '\0';
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id) {
            const size_t length = std::min(std::strlen(entry.text), capacity - 1);
            std::memcpy(buffer, entry.text, length);
            buffer[length] = '\0';
            return;
        }
    }
}

} // namespace pixmill::oaktone
