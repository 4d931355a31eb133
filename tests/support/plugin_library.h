// A built plug-in library opened with dlopen for the length of a scope, as
// the program opens it (RTLD_NOW | RTLD_LOCAL): entry points by name, and the
// library's one processing or format object through its entry point.
#pragma once

#include "pixmill/format_plugin.h"
#include "pixmill/plugin_host.h"
#include "pixmill/processing_plugin.h"

namespace pixmill::test {

class PluginLibrary {
  public:
    explicit PluginLibrary(const char* path);
    ~PluginLibrary() { Close(); }
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    // Unloads the library now (the object's settings are saved); later calls
    // do nothing.
    void Close();

    // An exported symbol, or null.
    template <class F> F Entry(const char* name) const { return reinterpret_cast<F>(Symbol(name)); }

    // The object GetProcessing / GetFormat hands out; null (and a test
    // failure) when the entry point is missing or does not answer 1.
    CProcessingPlugin* Processing(CPluginHost* host) const;
    CFormatPlugin* Format(CPluginHost* host) const;

    void* handle; // null when dlopen failed (see dlerror())

  private:
    void* Symbol(const char* name) const;
};

} // namespace pixmill::test
