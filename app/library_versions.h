// The libraries the program and its format plug-ins work with, and the
// versions loaded at run time where the library can tell (else the version
// it was built against), for the About box.
#pragma once

#include <string>
#include <vector>

namespace pixmill {

struct LibraryVersion {
    std::string name;
    std::string version;
};

std::vector<LibraryVersion> LibraryVersions();

} // namespace pixmill
