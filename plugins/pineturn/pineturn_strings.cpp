#include "pineturn_strings.h"

namespace pixmill::pineturn {

namespace {
struct Entry {
    int id;
    const char* text;
};
constexpr Entry kTable[] = {
    {kStrName, "Rotate"},
    {kStrMenuName, "R&otate"},
    {kStrDescription, "Rotate Image"},
};
} // namespace

const char* LoadText(int id) {
    for (const Entry& entry : kTable) {
        if (entry.id == id) {
            return entry.text;
        }
    }
    return "";
}

} // namespace pixmill::pineturn
