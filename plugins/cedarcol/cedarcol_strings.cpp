#include "cedarcol_strings.h"

namespace pixmill::cedarcol {

namespace {
const StringEntry kEntries[] = {
    {1, "Windows system"},
    {2, "Macintosh system"},
    {3, "Adaptive"},
    {4, "Netscape Navigator"},
    {5, "Microsoft Internet Explorer"},
};
} // namespace

const StringTable kStrings{kEntries};

} // namespace pixmill::cedarcol
