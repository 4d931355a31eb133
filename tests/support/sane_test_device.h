// The scanner library's virtual test device for the tests: a private
// configuration folder that enables only it (one device, a usable
// resolution, which its built-in default is not).
#pragma once

#include <dlfcn.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace pixmill::test {

inline void UseSaneTestDevice(const std::string& folder) {
    std::ofstream(folder + "/dll.conf") << "test\n";
    std::ofstream(folder + "/test.conf") << "number_of_devices 1\nresolution 50\n";
    setenv("SANE_CONFIG_DIR", folder.c_str(), 1);
    // The device's reader thread can lose a buffer when a scan ends or is
    // cancelled; keeping the device's library loaded lets the leak checker
    // name it (and the suppression file skip it) instead of reporting it
    // against an unknown module.
    dlopen(PIXMILL_SANE_BACKEND_DIR "/libsane-test.so.1", RTLD_NOW | RTLD_NODELETE);
}

} // namespace pixmill::test
