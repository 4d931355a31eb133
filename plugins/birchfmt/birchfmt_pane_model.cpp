#include "birchfmt_pane_model.h"

#include <cmath>

namespace pixmill::birch {

namespace {
NumberRange ChoiceRange() {
    return RangeOf(kTiffSchema.fields[0]);
}
} // namespace

TiffOptionsModel::TiffOptionsModel(const TiffSettings& settings)
    // An unknown stored choice is written as LZW; show it as that.
    : choice(settings.compressionChoice >= ChoiceRange().minimum &&
                     settings.compressionChoice <= ChoiceRange().maximum
                 ? settings.compressionChoice
                 : ChoiceLzw) {}

bool TiffOptionsModel::Offered(int candidate) const {
    if (candidate < ChoiceRange().minimum || candidate > ChoiceRange().maximum) {
        return false;
    }
    const bool bilevel = imageBits == 0 || imageBits == 1;
    return bilevel || (candidate != ChoiceCcitt && candidate != ChoiceHuffman);
}

bool TiffOptionsModel::SetImageBits(int bitCount) {
    imageBits = bitCount;
    if (Offered(choice)) {
        return false;
    }
    choice = ChoiceLzw;
    return true;
}

double TiffOptionsModel::Value(int) const {
    return choice;
}

NumberRange TiffOptionsModel::Range(int) const {
    return ChoiceRange();
}

bool TiffOptionsModel::Set(int, double value) {
    const int candidate = static_cast<int>(std::lround(ChoiceRange().Clamp(value)));
    if (!Offered(candidate) || candidate == choice) {
        return false;
    }
    choice = candidate;
    return true;
}

} // namespace pixmill::birch
