// What a gallery profile may make the run do. A profile can come from
// someone else (a .vhb file passed with --dest-profile), so before a run
// every number is brought into the range its settings page allows, a
// thumbnail name expansion must be a name and not a path, and the files the
// pages read or copy (templates, header and footer files, an absolute
// background picture) must lie inside the folders the run may read.
#pragma once

#include "html_profile.h"

#include <string>
#include <vector>

namespace pixmill::pagesmith {

// Every number of the profile within its settings page's limits.
void ClampToDeclaredRanges(HtmlProfile& profile);

// "" or the refusal, naming the profile's group and key: a name expansion
// that holds a folder separator or control character; with roots given, a
// file the pages would read that does not resolve (links and ".." followed)
// inside one of them.
std::string CheckProfileNames(const HtmlProfile& profile, const std::vector<std::string>& roots);

} // namespace pixmill::pagesmith
