// BatchJob: everything a batch run needs that outlives one run. The
// catalogues of the formats that can save and of every operation (sorted by
// weight), the chosen output formats with their per-format operations, the
// chosen operations, up to 10 favourites, the log file name, and the loaded
// batch sources and destinations (the built-in file source and destination
// first). The chosen settings travel as profile text: in the settings store
// ("BatchProfile") from one run of the program to the next, and in ".prf"
// files. The job is also the BatchHost its sources and destinations use.
#pragma once

#include "host/output_metadata.h"
#include "host/path_fields.h"
#include "host/plugin_manager.h"
#include "pixmill/batch_interfaces.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace pixmill {

class HostServices;
class CFormatPlugin;
class CPluginPane;
class CProcessingPlugin;
class CUserInterface;
class ProgressDisplay;
class BatchFileSource;
class BatchFileDest;

class BatchJob : public BatchHost {
  public:
    static constexpr int kMaxLibraries = 16;
    static constexpr int kMaxFavorites = 10;
    static constexpr int kMaxConversions = 64;
    static constexpr const char* kProfileName = "BatchProfile";
    static constexpr const char* kDefaultLogName = "qorel.log";
    enum PluginType { SourceType = 0, DestinationType = 1 };
    enum OrderState { NotChosen = 0, Chosen = 1, ChosenForSomeFormats = 2 };
    enum FavoriteKind { FavoriteFormat = 1, FavoriteOperation = 2 };

    struct SourceEntry {
        BatchSource* source = nullptr;
        intptr_t reserved[2] = {0, 0};
        ModuleHandle module = nullptr; // null for the built-in source
    };
    struct DestinationEntry {
        BatchDestination* destination = nullptr;
        intptr_t reserved = 0;
        ModuleHandle module = nullptr;
    };
    struct OperationEntry {
        std::string name; // "GROUP NAME", or the name alone
        int kind = 0;
        CPluginPane* settingsPane = nullptr;
        QWidget* settingsWindow = nullptr;
        uint16_t operationIndex = 0;
        uint16_t pluginIndex = 0;
        int weight = 0;
    };
    struct Conversion {
        int operation = 0; // index into Operations()
        bool chosen = false;
    };
    struct FormatEntry {
        CFormatPlugin* format = nullptr;
        int pluginIndex = 0; // the format's index in the plug-in manager
        bool selected = false;
        std::vector<Conversion> conversions; // at most 64
        CPluginPane* optionsPane = nullptr;
        QWidget* optionsWindow = nullptr;
    };
    struct OperationOrder {
        int operation = 0; // index into Operations()
        int state = NotChosen;
    };
    struct Favorite {
        int kind = 0;  // FavoriteFormat or FavoriteOperation
        int index = 0; // into Formats() or Operations()
        bool operator==(const Favorite&) const = default;
    };

    // Builds the catalogues from the loaded plug-ins, creates the built-in
    // source and destination and reads "BatchProfile" from the settings.
    BatchJob(HostServices& host, PluginManager& plugins);
    // Writes "BatchProfile" back, releases plug-in sources and destinations
    // (their libraries) and deletes the built-in ones.
    ~BatchJob();
    BatchJob(const BatchJob&) = delete;
    BatchJob& operator=(const BatchJob&) = delete;

    // Scans root + "Sources/" and root + "Destinations/", then attaches every
    // source and destination to the job, built-in ones first.
    void LoadSourcesAndDestinations(const std::string& root);
    // The directory scan's callback: binds one library's entry point.
    bool AddPlugin(ModuleHandle module, void* entryPoint, int type);

    // --- profile text ---
    std::string WriteProfileText() const;
    void ReadProfileText(std::string text);
    // ".prf" files: the profile text without a terminating NUL. Both throw
    // CVFileError when the file cannot be written or read.
    void SaveProfileFile(const std::string& path) const;
    void LoadProfileFile(const std::string& path);

    // --- favourites ---
    // Adds when there is room and no favourite of the same kind and index.
    bool AddFavorite(int kind, int index);
    void RemoveFavorite(int position);

    // The log file name check of the Processing page: empty or starting
    // with "." is refused; a missing folder is created after the question.
    FieldCheck CheckLogFileName(const std::function<bool(const std::string&)>& askYesNo) const;

    // --- catalogues and chosen settings ---
    const std::vector<FormatEntry>& Formats() const { return formats; }
    std::vector<FormatEntry>& Formats() { return formats; }
    const std::vector<OperationEntry>& Operations() const { return operations; }
    std::vector<OperationEntry>& Operations() { return operations; }
    const std::vector<OperationOrder>& Order() const { return order; }
    std::vector<OperationOrder>& Order() { return order; }
    int ImageOperationCount() const { return imageOperationCount; }
    const std::vector<Favorite>& Favorites() const { return favorites; }
    const std::string& LogFileName() const { return logFileName; }
    void SetLogFileName(const std::string& name) { logFileName = name; }
    bool ShowLogAfterRun() const { return showLogAfterRun; }
    void SetShowLogAfterRun(bool on) { showLogAfterRun = on; }
    // Reduced-size JPEG decoding when the first operation shrinks the image
    // at least twofold (a setting of this run of the program only).
    bool FastDecode() const { return fastDecode; }
    void SetFastDecode(bool on) { fastDecode = on; }
    // Main images are saved without the source's ICC profile and EXIF
    // (thumbnails never carry them; a setting of this run only).
    bool StripMetadata() const { return outputPolicy.strip; }
    void SetStripMetadata(bool on) { outputPolicy.strip = on; }
    // Main images are written as sRGB without the profile (--to-srgb).
    void SetConvertToSrgb(bool on) { outputPolicy.toSrgb = on; }
    // What main images keep of their EXIF (--web-safe, --keep-location); a
    // destination that publishes on the web may ask for less
    // (DestinationPrivacy).
    void SetMetadataPrivacy(MetadataPrivacy privacy) { outputPolicy.privacy = privacy; }
    const OutputMetadataPolicy& OutputPolicy() const { return outputPolicy; }
    // What the destination asks its main images to keep of their EXIF: its
    // library's optional "GetBatchDestinationPrivacy" entry, else all.
    MetadataPrivacy DestinationPrivacy(const BatchDestination* destination) const;

    // Chooses the format or operation by name (exact case); false when none
    // has it. An operation of another kind than 0 is chosen for every format
    // that offers it.
    bool SelectFormat(const std::string& name);
    bool ChooseOperation(const std::string& name);
    // The operation with SetOperation already called.
    CProcessingPlugin* SelectOperation(int operation) const;
    int CommandIdOf(int operation) const;

    int SourceCount() const { return sourceCount; }
    int DestinationCount() const { return destinationCount; }
    BatchSource* SourceAt(int i) const { return sources[i].source; }
    BatchDestination* DestinationAt(int i) const { return destinations[i].destination; }
    // The library of destination i (null for the built-in one).
    ModuleHandle DestinationModule(int i) const { return destinations[i].module; }
    int CurrentSource() const { return currentSource; }
    int CurrentDestination() const { return currentDestination; }
    void SetCurrentSource(int i) { currentSource = i; }
    void SetCurrentDestination(int i) { currentDestination = i; }
    BatchFileSource& FileSource() { return *fileSource; }
    BatchFileDest& FileDest() { return *fileDest; }

    HostServices& Host() { return host; }
    PluginManager& Plugins() { return plugins; }
    // Where the host's loading and saving services show their progress.
    void SetProgressDisplay(ProgressDisplay* display) { progressDisplay = display; }
    ProgressDisplay* Progress() const { return progressDisplay; }

    // --- BatchHost ---
    int GetFormatCount() override;
    const char* GetFormatName(int i) override;
    const char* GetFormatExtensions(int i) override;
    bool LoadImage(CVStream* stream, CVImage* image, SIZE* size) override;
    bool SaveImage(CVImage* image, CVStream* stream, int formatIndex, bool withParent) override;
    bool ConvertColors(const CVImage* source, CVImage* destination,
                       const void* parameters) override;
    bool ResampleImage(CVImage* destination, const CVImage* source, int width, int height,
                       bool keepAspect, int option) override;
    CPluginHost* GetPluginHost() override;

    // The sort weight of the plug-in's current operation.
    static int WeightOf(CProcessingPlugin* plugin);

  private:
    void BuildCatalogues();
    void ResetChoices();
    int FindFormat(const std::string& name) const;
    int FindOrderPosition(const std::string& name) const;
    void ChooseFirstConversion(int formatIndex, int operation);

    HostServices& host;
    PluginManager& plugins;
    SourceEntry sources[kMaxLibraries];
    DestinationEntry destinations[kMaxLibraries];
    std::vector<FormatEntry> formats;
    std::vector<OperationEntry> operations;
    int currentSource = 0;
    int currentDestination = 0;
    int sourceCount = 1;
    int destinationCount = 1;
    int imageOperationCount = 0;
    std::string logFileName = kDefaultLogName;
    bool showLogAfterRun = false;
    bool fastDecode = false;
    OutputMetadataPolicy outputPolicy;
    std::vector<OperationOrder> order;
    std::vector<Favorite> favorites;
    std::unique_ptr<BatchFileSource> fileSource;
    std::unique_ptr<BatchFileDest> fileDest;
    ProgressDisplay* progressDisplay = nullptr;
};

} // namespace pixmill
