// PluginManager: finds the format and processing libraries, binds them
// through their entry points, numbers every processing operation with a menu
// command identifier from 600, builds the processing menu model and answers
// the program's lookups. The shared directory scan also serves the batch
// job's "Sources/" and "Destinations/" loaders.
//
// (Declarations fixed up front so that the document and the command line can
// be written against them; the implementation lives in plugin_manager.cpp.)
#pragma once

#include "pixmill/entry_points.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pixmill {

class CPluginHost;
class CFormatPlugin;
class CProcessingPlugin;
class CVImage;
class CVProgress;
class CVStream;

// A loaded shared library (dlopen handle); released with ReleaseModule.
using ModuleHandle = void*;
void ReleaseModule(ModuleHandle module);

// The paths of directory's "*.so" files, in name order.
std::vector<std::string> ListPluginLibraries(const std::string& directory);
// Opens one library; when it exports entryName and accept(module,
// entryPoint) takes it, returns true and the callback owns the module.
// Otherwise the library is released without a message.
bool OpenPluginLibrary(const std::string& path, const char* entryName,
                       const std::function<bool(ModuleHandle, void*)>& accept);
// Lists directory + "*.so" in name order; for each
// file that loads and exports entryName, calls accept(module, entryPoint).
// A library that fails to load, lacks the entry or is refused (accept
// returns false) is released without a message. A missing directory loads
// nothing. Returns the number of libraries accepted.
int ScanPluginDirectory(const std::string& directory, const char* entryName,
                        const std::function<bool(ModuleHandle, void*)>& accept);

// The program's own directory (from /proc/self/exe), ending with "/".
std::string ProgramDirectory();

// A Qt-free menu model: the GUI renders it, tests inspect it.
struct MenuItem {
    int commandId = 0; // 0 for a submenu item
    std::string text;  // "&Resample", or the submenu's "&Filter"
    int submenu = -1;  // index into PluginManager::Menus(), or -1
};
struct Menu {
    std::vector<MenuItem> items;
};

// A library a plug-in is built on, and its version.
struct LibraryVersion {
    std::string name;
    std::string version;
};

class PluginManager {
  public:
    static constexpr int kMaxPlugins = 20;
    static constexpr int kFirstCommandId = 600;
    enum Kind { FormatKind = 0, ProcessingKind = 1 };

    explicit PluginManager(CPluginHost* host);
    virtual ~PluginManager(); // calls UnloadAll

    // Scans directory (ending with "/") for format libraries ("GetFormat");
    // returns the number of format plug-ins loaded so far.
    int LoadFormats(const std::string& directory);
    // The same table, filled as lookups need it: the libraries are listed
    // and only the first that loads is opened. DetectFormat and
    // FindFormatByExtension open the next ones in turn until one answers, so
    // they answer as after LoadFormats, and a picture opens with its own
    // library alone when that comes first (most of a short command's time is
    // the loader mapping and relocating a library's dependencies). For
    // commands that only read and write by content and extension: FormatAt
    // and FormatCount see only the libraries opened so far.
    int LoadFormatsOnDemand(const std::string& directory);
    // Opens the next listed library; false when none is left to open.
    bool LoadNextFormat() const;
    // Scans for processing libraries ("GetProcessing"), then builds the menus;
    // returns the number of processing plug-ins.
    int LoadProcessing(const std::string& directory);
    // The per-library callback of the scan (the manager's only virtual).
    virtual bool AddPlugin(ModuleHandle module, void* entryPoint, int kind);

    CFormatPlugin* FindFormatByExtension(const std::string& fileName) const;
    // Reads maxSignatureSize bytes; on a match rewinds the stream to 0.
    CFormatPlugin* DetectFormat(CVStream* stream) const;
    CFormatPlugin* FindFormatById(int value) const;
    CFormatPlugin* FormatAt(int i) const;
    CProcessingPlugin* ProcessorAt(int i) const;
    int FirstCommandOf(int i) const;
    int OperationCountOf(int i) const;
    int FormatCount() const { return formatCount; }
    int ProcessorCount() const { return operationPluginCount; }
    uint16_t MaxSignatureSize() const { return maxSignatureSize; }

    // The processing interface with SetOperation already called, or null.
    CProcessingPlugin* SelectOperation(int commandId) const;
    bool IsOperationCommand(int commandId) const;
    // Whether the command's operation accepts image; false for a null image
    // (no picture open) without asking the plug-in.
    bool CanApplyCommand(const CVImage* image, int commandId) const;

    uint8_t CallResampleImage(const CVImage* source, CVImage* destination, CVProgress* progress,
                              int width, int height, uint8_t keepAspect,
                              uint8_t mayOverwriteSource) const;
    uint8_t CallChangeColors(const CVImage* source, CVImage* destination, CVProgress* progress,
                             const void* conversion20) const;
    bool HasResampleImage() const { return resampleEntry != nullptr; }
    bool HasChangeColors() const { return changeColorsEntry != nullptr; }

    // menus[0] is the processing popup; [1..] one submenu per grouped plug-in.
    const std::vector<Menu>& Menus() const { return menus; }
    const Menu& GetMenu(int i) const { return menus.at(static_cast<size_t>(i)); }
    int MenuCount() const { return static_cast<int>(menus.size()); }

    // Destroys the menus and releases every library (their objects save
    // their settings); both counts become 0.
    void UnloadAll();

    // Every library's settings declarations (optional export
    // GetSettingsSchema), formats first, in table order.
    std::vector<const SettingsBlockSchema*> SettingsSchemas() const;
    // The codec libraries the format libraries name (optional export
    // GetLibraryVersion), in table order.
    std::vector<LibraryVersion> FormatLibraryVersions() const;

  private:
    struct FormatEntry {
        ModuleHandle module = nullptr;
        CFormatPlugin* plugin = nullptr;
    };
    struct ProcessorEntry {
        ModuleHandle module = nullptr;
        int firstCommand = 0;
        CProcessingPlugin* plugin = nullptr;
        int operationCount = 0;
    };
    void BuildMenus();

    CPluginHost* host;
    int formatCount = 0;
    int operationPluginCount = 0;
    uint16_t maxSignatureSize = 0;
    std::vector<std::string> unopenedFormats; // LoadFormatsOnDemand's list
    size_t nextUnopenedFormat = 0;
    FormatEntry formats[kMaxPlugins];
    ProcessorEntry processors[kMaxPlugins];
    ResampleImageFn resampleEntry = nullptr;
    ChangeColorsFn changeColorsEntry = nullptr;
    std::vector<Menu> menus;
};

} // namespace pixmill
