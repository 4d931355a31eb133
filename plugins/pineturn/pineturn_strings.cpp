#include "pineturn_strings.h"

namespace pixmill::pineturn {

namespace {
constexpr StringEntry kEntries[] = {
    {kStrName, "Rotate"},
    {kStrMenuName, "R&otate"},
    {kStrDescription, "Rotate Image"},
};
} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::pineturn
