#include "support/plugin_library.h"

#include "pixmill/entry_points.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace pixmill::test {

PluginLibrary::PluginLibrary(const char* path) : handle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}

void PluginLibrary::Close() {
    if (handle != nullptr) {
        dlclose(handle);
        handle = nullptr;
    }
}

void* PluginLibrary::Symbol(const char* name) const {
    return handle != nullptr ? dlsym(handle, name) : nullptr;
}

CProcessingPlugin* PluginLibrary::Processing(CPluginHost* host) const {
    auto entry = Entry<GetProcessingFn>("GetProcessing");
    if (entry == nullptr) {
        ADD_FAILURE() << "no GetProcessing entry";
        return nullptr;
    }
    CProcessingPlugin* plugin = nullptr;
    const int result = entry(host, &plugin);
    EXPECT_EQ(result, 1) << "GetProcessing";
    return result == 1 ? plugin : nullptr;
}

CFormatPlugin* PluginLibrary::Format(CPluginHost* host) const {
    auto entry = Entry<GetFormatFn>("GetFormat");
    if (entry == nullptr) {
        ADD_FAILURE() << "no GetFormat entry";
        return nullptr;
    }
    CFormatPlugin* format = nullptr;
    const int result = entry(host, &format);
    EXPECT_EQ(result, 1) << "GetFormat";
    return result == 1 ? format : nullptr;
}

} // namespace pixmill::test
