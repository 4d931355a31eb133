// The exported entry points of plug-in libraries (looked up by name).
#pragma once

#include "pixmill/settings_schema.h"

#include <cstddef>
#include <cstdint>

namespace pixmill {
class CPluginHost;
class CFormatPlugin;
class CProcessingPlugin;
class CVImage;
class CVProgress;
} // namespace pixmill

#define PIXMILL_ENTRY extern "C" __attribute__((visibility("default")))

// Format libraries ("Formats/"): returns 1 and the library's format object.
using GetFormatFn = int (*)(pixmill::CPluginHost* host, pixmill::CFormatPlugin** out);
// Processing libraries ("Processing/"): returns 1 and the library's object
// (null when it could not be made). The same object on every call.
using GetProcessingFn = int (*)(pixmill::CPluginHost* host, pixmill::CProcessingPlugin** out);
// Colour conversion with a 20-byte conversion block that replaces the
// plug-in's settings for the call; 0 when the plug-in object does not exist.
using ChangeColorsFn = uint8_t (*)(const pixmill::CVImage* source, pixmill::CVImage* destination,
                                   pixmill::CVProgress* progress, const void* conversion20);
// Resampling to a size; 0 when the plug-in object does not exist.
using ResampleImageFn = uint8_t (*)(const pixmill::CVImage* source, pixmill::CVImage* destination,
                                    pixmill::CVProgress* progress, int width, int height,
                                    uint8_t keepAspect, uint8_t mayOverwriteSource);
// Format libraries, optional: the codec library the format is built on and
// its version (the one loaded at run time where the library tells it, else
// the one built against), each copied with a terminating zero and cut to its
// buffer. Returns 1, or 0 when the format names no library.
using GetLibraryVersionFn = int (*)(char* name, size_t nameCapacity, char* version,
                                    size_t versionCapacity);

// The two entry points every processing library exports: GetProcessing hands
// out the object its CPluginInstance `instance` holds, GetSettingsSchema the
// `count` consecutive declarations at `schemas`.
#define PIXMILL_PROCESSING_ENTRY_POINTS(instance, schemas, count)                                  \
    PIXMILL_ENTRY int GetProcessing(pixmill::CPluginHost* host,                                    \
                                    pixmill::CProcessingPlugin** out) {                            \
        *out = (instance).Get(host);                                                               \
        return 1;                                                                                  \
    }                                                                                              \
    PIXMILL_ENTRY int GetSettingsSchema(const pixmill::SettingsBlockSchema** blocks) {             \
        *blocks = (schemas);                                                                       \
        return (count);                                                                            \
    }
