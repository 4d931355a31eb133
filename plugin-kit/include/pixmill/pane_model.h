// CPaneModel: what a settings or options pane shows, without widgets. A model
// holds the values, takes their limits from the settings declaration and
// applies the pane's rules (clamping, locks, which fields are enabled), so
// tests drive it directly and the pane only binds controls to its fields.
#pragma once

#include "pixmill/settings_schema.h"

#include <string_view>

namespace pixmill {

// The closed range a field's value is kept in.
struct NumberRange {
    double minimum;
    double maximum;

    double Clamp(double value) const;
    int ClampInt(double value) const; // clamped, then rounded to the nearest integer
};

// The range a settings field declares.
NumberRange RangeOf(const SettingsField& field);

// How an edit's text becomes a value. Typing passes through values outside
// the range on the way to valid ones ("1" before "17"), so a pane chooses
// whether such text is replaced at once.
struct TypingRules {
    enum class Below { Rewrite, Keep };
    enum class Above { Rewrite, RewriteAndStop, Keep };

    bool decimals = false;         // a decimal number ("," or "."), else an integer
    bool notANumberIsZero = false; // text that is no number reads as 0; else it waits
    Below below = Below::Rewrite;  // Keep: the value counts as the minimum, the text stays
    Above above = Above::Rewrite;  // RewriteAndStop: the maximum replaces the text, nothing else
};

// What to do with a text typed into an edit.
struct TypedNumber {
    bool take = false;    // hand value to the model
    double value = 0;     // the number as typed (the model limits it)
    bool rewrite = false; // replace the edit's text by the limited value
};

TypedNumber ReadTyped(std::string_view text, const NumberRange& range, const TypingRules& rules);

class CPaneModel {
  public:
    virtual ~CPaneModel() = default;

    // Fields are numbered by each model's own enumeration.
    virtual double Value(int field) const = 0;
    virtual NumberRange Range(int field) const = 0;
    // Takes a value the user gave: the model keeps it within the field's
    // range and applies its rules to the other fields. Returns whether any
    // value changed.
    virtual bool Set(int field, double value) = 0;
    virtual bool Enabled(int /*field*/) const { return true; }
};

} // namespace pixmill
