#include "alderfmt_pane_model.h"

namespace pixmill::alder {

namespace {

const SettingsField& FieldOf(int field) {
    switch (field) {
    case JpegOptionsModel::Luminance:
        return LuminanceField();
    case JpegOptionsModel::Chrominance:
        return ChrominanceField();
    case JpegOptionsModel::TargetBytes:
        return TargetBytesField();
    default:
        return SharpenField();
    }
}

int32_t& Slot(JpegSettings& values, JpegTargetSettings& budget, int field) {
    switch (field) {
    case JpegOptionsModel::TargetBytes:
        return budget.targetBytes;
    case JpegOptionsModel::Luminance:
        return values.luminance;
    case JpegOptionsModel::Chrominance:
        return values.chrominance;
    default:
        return values.sharpen;
    }
}

} // namespace

JpegOptionsModel::JpegOptionsModel(const JpegSettings& settings, const JpegTargetSettings& target)
    : values(settings), budget(target) {
    for (int field : {Luminance, Chrominance, Sharpen, TargetBytes}) {
        int32_t& slot = Slot(values, budget, field);
        slot = RangeOf(FieldOf(field)).ClampInt(slot);
    }
}

bool JpegOptionsModel::SetProgressive(bool on) {
    const bool changed = (values.progressive != 0) != on;
    values.progressive = on ? 1 : 0;
    return changed;
}

bool JpegOptionsModel::SetLocked(bool on) {
    const bool changed = (values.lockSliders != 0) != on;
    values.lockSliders = on ? 1 : 0;
    return changed;
}

bool JpegOptionsModel::SetWeb(bool on) {
    const bool changed = (values.web != 0) != on;
    values.web = on ? 1 : 0;
    return changed;
}

double JpegOptionsModel::Value(int field) const {
    switch (field) {
    case Luminance:
        return values.luminance;
    case Chrominance:
        return values.chrominance;
    case TargetBytes:
        return budget.targetBytes;
    default:
        return values.sharpen;
    }
}

NumberRange JpegOptionsModel::Range(int field) const {
    return RangeOf(FieldOf(field));
}

bool JpegOptionsModel::Set(int field, double value) {
    const JpegSettings before = values;
    const int32_t budgetBefore = budget.targetBytes;
    const int level = Range(field).ClampInt(value);
    Slot(values, budget, field) = level;
    if ((field == Luminance || field == Chrominance) && values.lockSliders != 0) {
        // Locked levels move together (both fields declare the same range).
        Slot(values, budget, field == Luminance ? Chrominance : Luminance) = level;
    }
    return values.luminance != before.luminance || values.chrominance != before.chrominance ||
           values.sharpen != before.sharpen || budget.targetBytes != budgetBefore;
}

bool JpegOptionsModel::Enabled(int field) const {
    return field != Chrominance || !greyImage;
}

void JpegOptionsModel::Store(JpegSettings& settings) const {
    settings = values;
}

void JpegOptionsModel::Store(JpegTargetSettings& target) const {
    target = budget;
}

} // namespace pixmill::alder
