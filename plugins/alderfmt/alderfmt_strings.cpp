#include "alderfmt_strings.h"

namespace pixmill::alder {

namespace {

struct Entry {
    int id;
    const char* text;
};

const Entry kTable[] = {
    {IdsName, "JPEG"},
    {IdsExtensions, "*.jpg;*.jif;*.jpeg;*.jfif;*.jpe"},
    {IdsGroup, "JPEG compression parameters"},
    {IdsScale, "High quality...................................Low quality"},
    {IdsLuminance, "&Luminance :"},
    {IdsNumbers, "0         50        100        150        200         255"},
    {IdsChrominance, "Ch&rominance :"},
    {IdsProgressive, "Pro&gressive"},
    {IdsSmoothing, "&Block smoothing"},
    {IdsLock, "Lock &sliders"},
    {IdsSharpen, "Sharpe&n :"},
};

} // namespace

const char* Text(int id) {
    for (const Entry& entry : kTable) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return "";
}

} // namespace pixmill::alder
