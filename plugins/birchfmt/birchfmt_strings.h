// The texts of the TIFF format library, by string identifier.
#pragma once

namespace pixmill::birch {

enum StringId {
    IdsShortName = 1,
    IdsLongName = 2,
    IdsExtensions = 3,
    IdsCompressionGroup = 100,
    IdsUncompressed = 1000,
    IdsLzw = 1001,
    IdsPackBits = 1002,
    IdsCcitt = 1003,
    IdsHuffman = 1004,
};

struct StringEntry {
    int id;
    const char* text;
};

inline constexpr StringEntry kStrings[] = {
    {IdsShortName, "TIFF"},
    {IdsLongName, "Tagged Image File Format"},
    {IdsExtensions, "*.tif;*.tiff"},
    {IdsCompressionGroup, "Compression format"},
    {IdsUncompressed, "&Uncompressed"},
    {IdsLzw, "&LZW"},
    {IdsPackBits, "&PackBits"},
    {IdsCcitt, "&CCITT"},
    {IdsHuffman, "&Huffman"},
};

inline const char* LoadText(int id) {
    for (const StringEntry& entry : kStrings) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return "";
}

} // namespace pixmill::birch
