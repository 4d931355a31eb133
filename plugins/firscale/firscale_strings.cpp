#include "firscale_strings.h"

namespace pixmill::firscale {

namespace {
struct Entry {
    int id;
    const char* text;
};
constexpr Entry kTable[] = {
    {kStrName, "Resample"},
    {kStrMenuName, "&Resample"},
    {kStrDescription, "Resample the current image"},
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

} // namespace pixmill::firscale
