#include "host/plugin_manager.h"

#include "pixmill/cv_image.h"
#include "pixmill/format_plugin.h"
#include "pixmill/processing_plugin.h"
#include "pixmill/stream.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

namespace pixmill {

void ReleaseModule(ModuleHandle module) {
    if (module != nullptr) {
        dlclose(module);
    }
}

namespace {

bool HasLibrarySuffix(const std::string& name) {
    static constexpr char kSuffix[] = ".so";
    constexpr size_t n = sizeof(kSuffix) - 1;
    return name.size() >= n && name.compare(name.size() - n, n, kSuffix) == 0;
}

// Releases the module unless it was handed over; keeps a library from leaking
// when the accepting callback throws.
struct ModuleGuard {
    ModuleHandle module;
    ~ModuleGuard() { ReleaseModule(module); }
};

} // namespace

std::vector<std::string> ListPluginLibraries(const std::string& directory) {
    // dlopen takes a name without "/" as a library to search for, so the
    // current folder is named explicitly.
    std::string prefix = directory.empty() ? "./" : directory;
    if (prefix.back() != '/') {
        prefix += '/';
    }
    std::vector<std::string> paths;
    DIR* dir = opendir(prefix.c_str());
    if (dir == nullptr) {
        return paths;
    }
    while (const dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (HasLibrarySuffix(name)) {
            paths.push_back(prefix + name);
        }
    }
    closedir(dir);
    // Name order, so that the tables and the menus come out the same on every
    // machine whatever order the file system lists the folder in.
    std::sort(paths.begin(), paths.end());
    return paths;
}

bool OpenPluginLibrary(const std::string& path, const char* entryName,
                       const std::function<bool(ModuleHandle, void*)>& accept) {
    ModuleGuard guard{dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)};
    if (guard.module == nullptr) {
        return false;
    }
    void* entryPoint = dlsym(guard.module, entryName);
    if (entryPoint == nullptr || !accept(guard.module, entryPoint)) {
        return false;
    }
    guard.module = nullptr; // the callback keeps it
    return true;
}

int ScanPluginDirectory(const std::string& directory, const char* entryName,
                        const std::function<bool(ModuleHandle, void*)>& accept) {
    int accepted = 0;
    for (const std::string& path : ListPluginLibraries(directory)) {
        accepted += OpenPluginLibrary(path, entryName, accept) ? 1 : 0;
    }
    return accepted;
}

std::string ProgramDirectory() {
    std::string path(4096, '\0');
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
    if (n <= 0 || static_cast<size_t>(n) >= path.size()) {
        return "./";
    }
    path.resize(static_cast<size_t>(n));
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

PluginManager::PluginManager(CPluginHost* host) : host(host) {}

PluginManager::~PluginManager() {
    UnloadAll();
}

int PluginManager::LoadFormats(const std::string& directory) {
    ScanPluginDirectory(directory, "GetFormat", [this](ModuleHandle module, void* entry) {
        return AddPlugin(module, entry, FormatKind);
    });
    return formatCount;
}

int PluginManager::LoadFormatsOnDemand(const std::string& directory) {
    std::vector<std::string> paths = ListPluginLibraries(directory);
    // Appended in name order behind any already listed: the table fills in
    // exactly the order LoadFormats gives it.
    unopenedFormats.insert(unopenedFormats.end(), paths.begin(), paths.end());
    while (formatCount == 0 && LoadNextFormat()) {
    }
    return formatCount;
}

bool PluginManager::LoadNextFormat() const {
    // Opening a library only adds to the table; every lookup keeps its
    // answer, so the lookups that call this stay const to their callers.
    auto* self = const_cast<PluginManager*>(this);
    while (self->nextUnopenedFormat < self->unopenedFormats.size()) {
        const std::string& path = self->unopenedFormats[self->nextUnopenedFormat++];
        if (OpenPluginLibrary(path, "GetFormat", [self](ModuleHandle module, void* entry) {
                return self->AddPlugin(module, entry, FormatKind);
            })) {
            return true;
        }
    }
    return false;
}

int PluginManager::LoadProcessing(const std::string& directory) {
    ScanPluginDirectory(directory, "GetProcessing", [this](ModuleHandle module, void* entry) {
        return AddPlugin(module, entry, ProcessingKind);
    });
    BuildMenus();
    return operationPluginCount;
}

bool PluginManager::AddPlugin(ModuleHandle module, void* entryPoint, int kind) {
    if (kind == FormatKind) {
        if (formatCount >= kMaxPlugins) {
            return false;
        }
        CFormatPlugin* plugin = nullptr;
        if (reinterpret_cast<GetFormatFn>(entryPoint)(host, &plugin) == 0 || plugin == nullptr) {
            return false;
        }
        maxSignatureSize = std::max(maxSignatureSize, plugin->GetSignatureSize());
        formats[formatCount] = {module, plugin};
        ++formatCount;
        return true;
    }
    if (kind != ProcessingKind) {
        return false;
    }
    // The direct entries are taken from the first library that offers them.
    // They are looked up before the library is accepted, but an address is
    // only kept when its library stays loaded.
    const bool tookResample = resampleEntry == nullptr;
    const bool tookChangeColors = changeColorsEntry == nullptr;
    if (tookResample) {
        resampleEntry = reinterpret_cast<ResampleImageFn>(dlsym(module, "ResampleImage"));
    }
    if (tookChangeColors) {
        changeColorsEntry = reinterpret_cast<ChangeColorsFn>(dlsym(module, "ChangeColors"));
    }
    const auto refuse = [&] {
        if (tookResample) {
            resampleEntry = nullptr;
        }
        if (tookChangeColors) {
            changeColorsEntry = nullptr;
        }
        return false;
    };
    if (operationPluginCount >= kMaxPlugins) {
        return refuse();
    }
    CProcessingPlugin* plugin = nullptr;
    int result = 0;
    try {
        result = reinterpret_cast<GetProcessingFn>(entryPoint)(host, &plugin);
    } catch (...) {
        refuse();
        throw;
    }
    if (result == 0 || plugin == nullptr) {
        return refuse();
    }
    ProcessorEntry& entry = processors[operationPluginCount];
    if (operationPluginCount == 0) {
        entry.firstCommand = kFirstCommandId;
    } else {
        const ProcessorEntry& previous = processors[operationPluginCount - 1];
        entry.firstCommand = previous.firstCommand + previous.operationCount;
    }
    entry.module = module;
    entry.plugin = plugin;
    entry.operationCount = static_cast<int16_t>(plugin->GetOperationCount());
    ++operationPluginCount;
    return true;
}

void PluginManager::BuildMenus() {
    menus.clear();
    menus.emplace_back(); // the processing popup
    for (int i = 0; i < operationPluginCount; ++i) {
        ProcessorEntry& entry = processors[i];
        const char* group = entry.plugin->GetGroupName(true);
        size_t target = 0;
        if (group != nullptr) {
            target = menus.size();
            menus.emplace_back();
            menus[0].items.push_back({0, group, static_cast<int>(target)});
        }
        for (int j = 0; j < entry.operationCount; ++j) {
            entry.plugin->SetOperation(static_cast<uint16_t>(j));
            const char* name = entry.plugin->GetName(true);
            menus[target].items.push_back({entry.firstCommand + j, name ? name : "", -1});
        }
    }
}

CFormatPlugin* PluginManager::FindFormatByExtension(const std::string& fileName) const {
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos) {
        return nullptr;
    }
    std::string extension = fileName.substr(dot);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    for (int i = 0; i < formatCount || LoadNextFormat(); ++i) {
        const char* list = formats[i].plugin->GetExtensions();
        if (list != nullptr && std::strstr(list, extension.c_str()) != nullptr) {
            return formats[i].plugin;
        }
    }
    return nullptr;
}

CFormatPlugin* PluginManager::DetectFormat(CVStream* stream) const {
    if (stream == nullptr || (formatCount == 0 && !LoadNextFormat())) {
        return nullptr;
    }
    std::vector<uint8_t> bytes;
    for (int i = 0; i < formatCount || LoadNextFormat(); ++i) {
        // A library opened on demand may compare more bytes than those read.
        if (bytes.size() < std::max<size_t>(maxSignatureSize, 1)) {
            if (!bytes.empty()) {
                stream->Seek(0, CVStream::FromStart);
            }
            bytes.assign(std::max<size_t>(maxSignatureSize, 1), 0);
            if (stream->Read(bytes.data(), maxSignatureSize) < maxSignatureSize) {
                return nullptr;
            }
        }
        if (formats[i].plugin->Recognize(bytes.data())) {
            stream->Seek(0, CVStream::FromStart);
            return formats[i].plugin;
        }
    }
    return nullptr;
}

CFormatPlugin* PluginManager::FindFormatById(int value) const {
    for (int i = 0; i < formatCount; ++i) {
        if (formats[i].plugin->GetId() == value) {
            return formats[i].plugin;
        }
    }
    return nullptr;
}

CFormatPlugin* PluginManager::FormatAt(int i) const {
    return i >= 0 && i < formatCount ? formats[i].plugin : nullptr;
}

CProcessingPlugin* PluginManager::ProcessorAt(int i) const {
    return i >= 0 && i < operationPluginCount ? processors[i].plugin : nullptr;
}

int PluginManager::FirstCommandOf(int i) const {
    return i >= 0 && i < operationPluginCount ? processors[i].firstCommand : 0;
}

int PluginManager::OperationCountOf(int i) const {
    return i >= 0 && i < operationPluginCount ? processors[i].operationCount : 0;
}

CProcessingPlugin* PluginManager::SelectOperation(int commandId) const {
    for (int i = 0; i < operationPluginCount; ++i) {
        const ProcessorEntry& entry = processors[i];
        if (commandId >= entry.firstCommand &&
            commandId < entry.firstCommand + entry.operationCount) {
            entry.plugin->SetOperation(static_cast<uint16_t>(commandId - entry.firstCommand));
            return entry.plugin;
        }
    }
    return nullptr;
}

bool PluginManager::IsOperationCommand(int commandId) const {
    if (operationPluginCount == 0) {
        return false;
    }
    const ProcessorEntry& last = processors[operationPluginCount - 1];
    return commandId >= processors[0].firstCommand &&
           commandId < last.firstCommand + last.operationCount;
}

bool PluginManager::CanApplyCommand(const CVImage* image, int commandId) const {
    // No picture open: nothing to apply, whatever a plug-in would answer.
    if (image == nullptr || !IsOperationCommand(commandId)) {
        return false;
    }
    CProcessingPlugin* plugin = SelectOperation(commandId);
    if (plugin == nullptr) {
        return false;
    }
    if (image->HasAlphaPlane() && (plugin->GetFlags() & OpTakesAlpha) == 0) {
        // The operation will work on the picture flattened by the alpha
        // rule, which is RGB: it is asked about that.
        CVImage flattened(image->host);
        flattened.Create(1, 1, 24, 0, nullptr);
        return plugin->CanApply(&flattened);
    }
    return plugin->CanApply(image);
}

uint8_t PluginManager::CallResampleImage(const CVImage* source, CVImage* destination,
                                         CVProgress* progress, int width, int height,
                                         uint8_t keepAspect, uint8_t mayOverwriteSource) const {
    if (resampleEntry == nullptr) {
        return 0;
    }
    return resampleEntry(source, destination, progress, width, height, keepAspect,
                         mayOverwriteSource);
}

uint8_t PluginManager::CallChangeColors(const CVImage* source, CVImage* destination,
                                        CVProgress* progress, const void* conversion20) const {
    if (changeColorsEntry == nullptr) {
        return 0;
    }
    return changeColorsEntry(source, destination, progress, conversion20);
}

void PluginManager::UnloadAll() {
    menus.clear();
    // The direct entries live in the libraries about to go.
    resampleEntry = nullptr;
    changeColorsEntry = nullptr;
    for (int i = 0; i < formatCount; ++i) {
        ReleaseModule(formats[i].module);
        formats[i] = {};
    }
    for (int i = 0; i < operationPluginCount; ++i) {
        ReleaseModule(processors[i].module);
        processors[i] = {};
    }
    formatCount = 0;
    operationPluginCount = 0;
    maxSignatureSize = 0;
    unopenedFormats.clear();
    nextUnopenedFormat = 0;
}

std::vector<const SettingsBlockSchema*> PluginManager::SettingsSchemas() const {
    std::vector<const SettingsBlockSchema*> result;
    const auto collect = [&result](ModuleHandle module) {
        auto entry = reinterpret_cast<GetSettingsSchemaFn>(dlsym(module, "GetSettingsSchema"));
        if (entry == nullptr) {
            return;
        }
        const SettingsBlockSchema* blocks = nullptr;
        const int count = entry(&blocks);
        for (int i = 0; blocks != nullptr && i < count; ++i) {
            result.push_back(&blocks[i]);
        }
    };
    for (int i = 0; i < formatCount; ++i) {
        collect(formats[i].module);
    }
    for (int i = 0; i < operationPluginCount; ++i) {
        collect(processors[i].module);
    }
    return result;
}

std::vector<LibraryVersion> PluginManager::FormatLibraryVersions() const {
    std::vector<LibraryVersion> result;
    for (int i = 0; i < formatCount; ++i) {
        auto entry =
            reinterpret_cast<GetLibraryVersionFn>(dlsym(formats[i].module, "GetLibraryVersion"));
        char name[64];
        char version[64];
        if (entry != nullptr && entry(name, sizeof name, version, sizeof version) == 1) {
            result.push_back({name, version});
        }
    }
    return result;
}

} // namespace pixmill
