#include "birchfmt_settings.h"

#include <cstddef>

namespace pixmill::birch {

namespace {
const SettingsField kFields[] = {
    {"compressionChoice", offsetof(TiffSettings, compressionChoice), FieldType::I32, 0, 4, 0,
     "compression of written files: 0 none, 1 LZW, 2 PackBits, 3 CCITT Group 4, "
     "4 CCITT Huffman (CCITT only for 1-bit images)"},
};
} // namespace

const SettingsBlockSchema kTiffSchema = {kSettingsName, sizeof(TiffSettings), 3, kFields, 1};

uint16_t CompressionTagOf(int32_t choice) {
    switch (choice) {
    case ChoiceNone:
        return 1;
    case ChoiceLzw:
        return 5;
    case ChoicePackBits:
        return 32773;
    case ChoiceCcitt:
        return 4;
    case ChoiceHuffman:
        return 2;
    default:
        return 5;
    }
}

} // namespace pixmill::birch
