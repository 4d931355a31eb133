#include "elmpass_strings.h"

#include <algorithm>
#include <cstring>

namespace pixmill::elmpass {

namespace {
struct StringEntry {
    int id;
    const char* text;
};

const StringEntry kStrings[] = {
    {IdNameNegative, "Negative"},
    {IdNameSmooth, "Smooth"},
    {IdNameSharpen, "Sharpen"},
    {IdNameMedian, "Median"},
    {IdGroup, "Filter"},
    {IdMenuNegative, "&Negative"},
    {IdMenuSmooth, "&Smooth"},
    {IdMenuSharpen, "S&harpen"},
    {IdMenuMedian, "&Median"},
    {IdGroupMenu, "&Filter"},
    {IdDescriptionNegative, "Filter Image"},
    {IdDescriptionSmooth, "Filter Image"},
    {IdDescriptionSharpen, "Filter Image"},
    {IdDescriptionMedian, "Filter Image"},
    {IdCaptionSmooth, "Smoothing filter"},
    {IdCaptionSharpen, "Sharpen filter"},
    {IdNameDespeckle, "Despeckle"},
    {IdMenuDespeckle, "&Despeckle"},
    {IdDescriptionDespeckle, "Filter Image"},
    {IdCaptionDespeckle, "Despeckle filter"},
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

} // namespace pixmill::elmpass
