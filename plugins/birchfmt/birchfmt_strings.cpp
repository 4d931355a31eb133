// The texts of the TIFF format library.
#include "birchfmt_strings.h"

namespace pixmill::birch {

namespace {

constexpr StringEntry kEntries[] = {
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

} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::birch
