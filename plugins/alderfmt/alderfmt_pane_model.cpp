#include "alderfmt_pane_model.h"

namespace pixmill::alder {

namespace {

const SettingsField& FieldOf(int field) {
    switch (field) {
    case JpegOptionsModel::Luminance:
        return LuminanceField();
    case JpegOptionsModel::Chrominance:
        return ChrominanceField();
    default:
        return SharpenField();
    }
}

int32_t& Slot(JpegSettings& values, int field) {
    switch (field) {
    case JpegOptionsModel::Luminance:
        return values.luminance;
    case JpegOptionsModel::Chrominance:
        return values.chrominance;
    default:
        return values.sharpen;
    }
}

} // namespace

JpegOptionsModel::JpegOptionsModel(const JpegSettings& settings) : values(settings) {
    for (int field : {Luminance, Chrominance, Sharpen}) {
        Slot(values, field) = RangeOf(FieldOf(field)).ClampInt(Slot(values, field));
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

double JpegOptionsModel::Value(int field) const {
    switch (field) {
    case Luminance:
        return values.luminance;
    case Chrominance:
        return values.chrominance;
    default:
        return values.sharpen;
    }
}

NumberRange JpegOptionsModel::Range(int field) const {
    return RangeOf(FieldOf(field));
}

bool JpegOptionsModel::Set(int field, double value) {
    const JpegSettings before = values;
    const int level = Range(field).ClampInt(value);
    Slot(values, field) = level;
    if (field != Sharpen && values.lockSliders != 0) {
        // Locked levels move together (both fields declare the same range).
        Slot(values, field == Luminance ? Chrominance : Luminance) = level;
    }
    return values.luminance != before.luminance || values.chrominance != before.chrominance ||
           values.sharpen != before.sharpen;
}

bool JpegOptionsModel::Enabled(int field) const {
    return field != Chrominance || !greyImage;
}

void JpegOptionsModel::Store(JpegSettings& settings) const {
    settings = values;
}

} // namespace pixmill::alder
