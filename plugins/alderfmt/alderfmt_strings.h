// The texts of the JPEG plug-in, by identifier.
#pragma once

namespace pixmill::alder {

enum StringId {
    IdsName = 1,
    IdsExtensions,
    IdsGroup,
    IdsScale,
    IdsLuminance,
    IdsNumbers,
    IdsChrominance,
    IdsProgressive,
    IdsSmoothing,
    IdsLock,
    IdsSharpen,
};

// The text of an identifier ("" for an unknown one).
const char* Text(int id);

} // namespace pixmill::alder
