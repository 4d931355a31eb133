#include "batch/batch_job.h"

#include "batch/batch_file_dest.h"
#include "batch/batch_file_source.h"
#include "host/color_management.h"
#include "host/host_services.h"
#include "host/image_io.h"
#include "host/progress.h"
#include "host/settings_store.h"
#include "host/streams.h"
#include "pixmill/alpha_rule.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/processing_plugin.h"
#include "pixmill/side_file.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>

namespace pixmill {

namespace {
constexpr const char* kSpecific = "[Specific] ";
constexpr size_t kSpecificLength = 11;
} // namespace

BatchJob::BatchJob(HostServices& host, PluginManager& plugins)
    : host(host), plugins(plugins),
      fileSource(std::make_unique<BatchFileSource>(host.Settings(), host.UserInterface())),
      fileDest(std::make_unique<BatchFileDest>(host.Settings(), host.UserInterface())) {
    sources[0].source = fileSource.get();
    destinations[0].destination = fileDest.get();
    BuildCatalogues();
    logFileName = kDefaultLogName;
    ReadProfileText(
        host.Settings().ReadText(SettingsStore::kSettingsSection, kProfileName).value_or(""));
}

BatchJob::~BatchJob() {
    host.Settings().WriteText(SettingsStore::kSettingsSection, kProfileName, WriteProfileText());
    // A plug-in's object goes with its library; the built-in ones are ours.
    for (int i = 1; i < destinationCount; ++i) {
        ReleaseModule(destinations[i].module);
    }
    for (int i = 1; i < sourceCount; ++i) {
        ReleaseModule(sources[i].module);
    }
}

// ------------------------------------------------------------- catalogues

int BatchJob::WeightOf(CProcessingPlugin* plugin) {
    const ImageKindSet input{KindAll, 0, 0, 0};
    const ImageKindSet* output = plugin->GetOutputKinds(&input);
    const uint16_t kinds = output != nullptr ? output->kinds : 0;
    const uint16_t traits = output != nullptr ? output->traits : 0;
    int weight = (kinds & KindRgb24)       ? 10
                 : (kinds & KindGray8)     ? 7
                 : (kinds & KindPaletted8) ? 4
                 : (kinds & KindPaletted4) ? 1
                                           : -2;
    if (traits & 1) {
        weight -= 1;
    } else if ((traits & 2) == 0) {
        weight += 1;
    }
    const int kind = plugin->GetKind();
    weight += kind == 0 ? 20 : kind == 2 ? -20 : 0;
    const uint16_t flags = plugin->GetFlags();
    if (flags & 0x08) {
        weight -= 10;
    }
    if ((flags & 0x10) == 0 && (flags & 0x01) != 0) {
        weight -= 10;
    }
    return weight;
}

void BatchJob::BuildCatalogues() {
    for (int i = 0; i < plugins.FormatCount(); ++i) {
        CFormatPlugin* format = plugins.FormatAt(i);
        if (format->GetCapabilities() & CapCanSave) {
            FormatEntry entry;
            entry.format = format;
            entry.pluginIndex = i;
            formats.push_back(std::move(entry));
        }
    }
    for (int i = 0; i < plugins.ProcessorCount(); ++i) {
        CProcessingPlugin* plugin = plugins.ProcessorAt(i);
        for (int j = 0; j < plugins.OperationCountOf(i); ++j) {
            plugin->SetOperation(static_cast<uint16_t>(j));
            OperationEntry entry;
            const char* group = plugin->GetGroupName(false);
            entry.name = group != nullptr ? std::string(group) + " " + plugin->GetName(false)
                                          : std::string(plugin->GetName(false));
            entry.kind = plugin->GetKind();
            entry.operationIndex = static_cast<uint16_t>(j);
            entry.pluginIndex = static_cast<uint16_t>(i);
            entry.weight = WeightOf(plugin);
            if (entry.kind == 0) {
                ++imageOperationCount;
            }
            operations.push_back(std::move(entry));
        }
    }
    for (size_t i = 0; i < operations.size(); ++i) {
        order.push_back({static_cast<int>(i), NotChosen});
    }
    // Bubble sort, highest weight first; only neighbours whose weights differ
    // swap, so equal weights keep plug-in order.
    for (size_t pass = 0; pass + 1 < order.size(); ++pass) {
        bool swapped = false;
        for (size_t k = 0; k + 1 < order.size() - pass; ++k) {
            if (operations[order[k].operation].weight < operations[order[k + 1].operation].weight) {
                std::swap(order[k], order[k + 1]);
                swapped = true;
            }
        }
        if (!swapped) {
            break;
        }
    }
    const ImageKindSet input{KindAll, 0, 0, 0};
    for (FormatEntry& format : formats) {
        for (size_t p = static_cast<size_t>(imageOperationCount); p < order.size(); ++p) {
            CProcessingPlugin* plugin = SelectOperation(order[p].operation);
            ImageKindSet* output = plugin->GetOutputKinds(&input);
            if (output != nullptr && format.format->AcceptsKinds(output) &&
                format.conversions.size() < kMaxConversions) {
                format.conversions.push_back({order[p].operation, false});
            }
        }
    }
}

CProcessingPlugin* BatchJob::SelectOperation(int operation) const {
    const OperationEntry& entry = operations.at(static_cast<size_t>(operation));
    CProcessingPlugin* plugin = plugins.ProcessorAt(entry.pluginIndex);
    plugin->SetOperation(entry.operationIndex);
    return plugin;
}

int BatchJob::CommandIdOf(int operation) const {
    const OperationEntry& entry = operations.at(static_cast<size_t>(operation));
    return plugins.FirstCommandOf(entry.pluginIndex) + entry.operationIndex;
}

// ------------------------------------------------- sources and destinations

void BatchJob::LoadSourcesAndDestinations(const std::string& root) {
    ScanPluginDirectory(
        root + "Sources/", "GetBatchSource",
        [this](ModuleHandle module, void* entry) { return AddPlugin(module, entry, SourceType); });
    ScanPluginDirectory(root + "Destinations/", "GetBatchDestination",
                        [this](ModuleHandle module, void* entry) {
                            return AddPlugin(module, entry, DestinationType);
                        });
    for (int i = 0; i < sourceCount; ++i) {
        sources[i].source->Attach(this);
    }
    for (int i = 0; i < destinationCount; ++i) {
        destinations[i].destination->Attach(this);
    }
}

namespace {
// Binds the next free entry of a list through the library's entry point.
template <class Entry, class Interface>
bool BindEntry(Entry* entries, int& count, ModuleHandle module, void* entryPoint,
               Interface* Entry::*object) {
    if (count >= BatchJob::kMaxLibraries) {
        return false;
    }
    Entry& entry = entries[count];
    entry.*object = nullptr;
    using EntryPoint = int (*)(Interface**);
    if (reinterpret_cast<EntryPoint>(entryPoint)(&(entry.*object)) == 0 ||
        entry.*object == nullptr) {
        entry.*object = nullptr;
        return false;
    }
    entry.module = module;
    ++count;
    return true;
}
} // namespace

bool BatchJob::AddPlugin(ModuleHandle module, void* entryPoint, int type) {
    return type == SourceType
               ? BindEntry(sources, sourceCount, module, entryPoint, &SourceEntry::source)
               : BindEntry(destinations, destinationCount, module, entryPoint,
                           &DestinationEntry::destination);
}

// ----------------------------------------------------------- profile text

std::string BatchJob::WriteProfileText() const {
    std::string text = "[Formats]\r\n";
    for (const FormatEntry& format : formats) {
        if (format.selected) {
            text += std::string(format.format->GetName(false)) + "\r\n";
        }
    }
    text += "[Operations]\r\n";
    for (const OperationOrder& position : order) {
        if (position.state == Chosen) {
            text += operations[position.operation].name + "\r\n";
        }
    }
    text += "[Favorites]\r\n";
    for (const Favorite& favorite : favorites) {
        text += favorite.kind == FavoriteFormat
                    ? std::string(formats[favorite.index].format->GetName(false))
                    : operations[favorite.index].name;
        text += "\r\n";
    }
    for (const OperationOrder& position : order) {
        if (position.state != ChosenForSomeFormats) {
            continue;
        }
        text += kSpecific + operations[position.operation].name + "\r\n";
        for (const FormatEntry& format : formats) {
            for (const Conversion& conversion : format.conversions) {
                if (conversion.operation == position.operation && conversion.chosen) {
                    text += std::string(format.format->GetName(false)) + "\r\n";
                    break;
                }
            }
        }
    }
    text += "[LogFile]\r\n" + logFileName + "\r\n";
    return text;
}

void BatchJob::ResetChoices() {
    for (OperationOrder& position : order) {
        position.state = NotChosen;
    }
    for (FormatEntry& format : formats) {
        format.selected = false;
        for (Conversion& conversion : format.conversions) {
            conversion.chosen = false;
        }
    }
}

int BatchJob::FindFormat(const std::string& name) const {
    for (size_t i = 0; i < formats.size(); ++i) {
        if (name == formats[i].format->GetName(false)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int BatchJob::FindOrderPosition(const std::string& name) const {
    for (size_t p = 0; p < order.size(); ++p) {
        if (operations[order[p].operation].name == name) {
            return static_cast<int>(p);
        }
    }
    return -1;
}

void BatchJob::ChooseFirstConversion(int formatIndex, int operation) {
    for (Conversion& conversion : formats[formatIndex].conversions) {
        if (conversion.operation == operation) {
            conversion.chosen = true;
            return;
        }
    }
}

void BatchJob::ReadProfileText(std::string text) {
    ResetChoices();
    enum Section { None, Formats, Operations, Favorites, Specific, LogFile };
    Section section = None;
    int specific = -1; // the operation of the current "[Specific] " section
    size_t position = 0;
    for (;;) {
        const size_t end = text.find("\r\n", position);
        if (end == std::string::npos || static_cast<signed char>(text[position]) <= 0) {
            break; // the last line needs its "\r\n"; a NUL or 8-bit byte ends the text
        }
        // Lines are C strings: a NUL inside one ends it.
        const std::string line(text.c_str() + position,
                               strnlen(text.c_str() + position, end - position));
        position = end + 2;
        if (line == "[Formats]") {
            section = Formats;
        } else if (line == "[Operations]") {
            section = Operations;
        } else if (line == "[Favorites]") {
            section = Favorites;
            favorites.clear();
        } else if (line == "[LogFile]") {
            section = LogFile;
        } else if (line.find(kSpecific) != std::string::npos) {
            section = Specific;
            const int p = FindOrderPosition(
                line.size() > kSpecificLength ? line.substr(kSpecificLength) : std::string());
            specific = p < 0 ? -1 : order[p].operation;
            if (p >= 0) {
                order[p].state = ChosenForSomeFormats;
            }
        } else {
            switch (section) {
            case Formats:
                if (const int f = FindFormat(line); f >= 0) {
                    formats[f].selected = true;
                }
                break;
            case Operations:
                if (const int p = FindOrderPosition(line); p >= 0) {
                    order[p].state = Chosen;
                    for (size_t f = 0; f < formats.size(); ++f) {
                        ChooseFirstConversion(static_cast<int>(f), order[p].operation);
                    }
                }
                break;
            case Favorites:
                // A name may be a format's and an operation's: both count.
                if (const int f = FindFormat(line);
                    f >= 0 && favorites.size() < static_cast<size_t>(kMaxFavorites)) {
                    favorites.push_back({FavoriteFormat, f});
                }
                for (size_t i = 0; i < operations.size(); ++i) {
                    if (operations[i].name == line) {
                        if (favorites.size() < static_cast<size_t>(kMaxFavorites)) {
                            favorites.push_back({FavoriteOperation, static_cast<int>(i)});
                        }
                        break;
                    }
                }
                break;
            case Specific:
                if (specific >= 0) {
                    for (size_t f = 0; f < formats.size(); ++f) {
                        if (line == formats[f].format->GetName(false)) {
                            ChooseFirstConversion(static_cast<int>(f), specific);
                        }
                    }
                }
                break;
            case LogFile:
                logFileName = line;
                break;
            case None:
                break;
            }
        }
    }
}

void BatchJob::SaveProfileFile(const std::string& path) const {
    const std::string text = WriteProfileText();
    FileStream file(path, FileStream::ForWriting);
    file.Write(text.data(), text.size());
    file.Close();
}

void BatchJob::LoadProfileFile(const std::string& path) {
    ReadProfileText(ReadSideFile(path, "a batch profile"));
}

bool BatchJob::SelectFormat(const std::string& name) {
    const int f = FindFormat(name);
    if (f >= 0) {
        formats[f].selected = true;
    }
    return f >= 0;
}

bool BatchJob::ChooseOperation(const std::string& name) {
    const int p = FindOrderPosition(name);
    if (p < 0) {
        return false;
    }
    order[p].state = Chosen;
    for (size_t f = 0; f < formats.size(); ++f) {
        ChooseFirstConversion(static_cast<int>(f), order[p].operation);
    }
    return true;
}

// ------------------------------------------------------------- favourites

bool BatchJob::AddFavorite(int kind, int index) {
    const Favorite favorite{kind, index};
    if (favorites.size() >= static_cast<size_t>(kMaxFavorites)) {
        return false;
    }
    for (const Favorite& existing : favorites) {
        if (existing == favorite) {
            return false;
        }
    }
    favorites.push_back(favorite);
    return true;
}

void BatchJob::RemoveFavorite(int position) {
    if (position >= 0 && static_cast<size_t>(position) < favorites.size()) {
        favorites.erase(favorites.begin() + position);
    }
}

FieldCheck
BatchJob::CheckLogFileName(const std::function<bool(const std::string&)>& askYesNo) const {
    FieldCheck check;
    check.value = logFileName;
    if (logFileName.empty() || logFileName[0] == '.') {
        check.accepted = false;
        check.message = "The Log file name is empty.Please, enter Log file name.";
        return check;
    }
    const size_t slash = logFileName.find_last_of('/');
    if (slash == std::string::npos || slash == 0) {
        return check;
    }
    const std::string directory = logFileName.substr(0, slash + 1);
    if (dirExists(directory.c_str())) {
        return check;
    }
    char question[1200];
    std::snprintf(question, sizeof question, "Path %s not found.\nDo you want to create it ?",
                  directory.c_str());
    if (!askYesNo(question) || !CreatePath(directory)) {
        check.accepted = false; // the question was the message
    }
    return check;
}

// -------------------------------------------------------------- BatchHost

int BatchJob::GetFormatCount() {
    return plugins.FormatCount();
}

const char* BatchJob::GetFormatName(int i) {
    return i >= 0 && i < plugins.FormatCount() ? plugins.FormatAt(i)->GetName(false) : nullptr;
}

const char* BatchJob::GetFormatExtensions(int i) {
    return i >= 0 && i < plugins.FormatCount() ? plugins.FormatAt(i)->GetExtensions() : nullptr;
}

bool BatchJob::LoadImage(CVStream* stream, CVImage* image, SIZE* size) {
    if (stream == nullptr) {
        return false;
    }
    // The pixels come as sRGB: SaveImage writes no profile, so a picture
    // with its own (an Adobe RGB photograph) would otherwise leave as values
    // that browsers take for sRGB, paler than the picture written with its
    // profile beside them.
    ImageMetadata metadata;
    // Partly transparent pixels stay; SaveImage flattens them for formats
    // that do not store them.
    const KeepAlphaScope keepAlpha(host);
    const SIZE stored = ReadImageByContent(plugins, *stream, *image, size, progressDisplay,
                                           "Load Image", nullptr, &metadata);
    ConvertMetadataToSrgb(*image, metadata);
    if (size != nullptr) {
        *size = stored;
    }
    return true;
}

bool BatchJob::SaveImage(CVImage* image, CVStream* stream, int formatIndex, bool withParent) {
    // There are no windows here for a save to parent.
    (void)withParent;
    if (stream == nullptr || formatIndex < 0 || formatIndex >= plugins.FormatCount()) {
        return false;
    }
    CFormatPlugin* format = plugins.FormatAt(formatIndex);
    const CVImage* written = image;
    CVImage flat(&host);
    if (image != nullptr && image->HasAlphaPlane()) {
        CVImage::CopyImage(&flat, image, nullptr);
        if (FlattenForFormat(flat, format)) {
            written = &flat;
        }
    }
    return WriteImage(format, *written, *stream, nullptr, progressDisplay, "Save Image") >= 0;
}

bool BatchJob::ConvertColors(const CVImage* source, CVImage* destination, const void* parameters) {
    HostProgress progress(progressDisplay, "Convert to Paletted image");
    // A palette holds no alpha plane: the colours are chosen from the
    // picture flattened by the alpha rule.
    CVImage flat(&host);
    if (source != nullptr && source->HasAlphaPlane()) {
        CVImage::CopyImage(&flat, source, nullptr);
        FlattenAlphaPlane(flat);
        source = &flat;
    }
    return plugins.CallChangeColors(source, destination, &progress, parameters) != 0;
}

bool BatchJob::ResampleImage(CVImage* destination, const CVImage* source, int width, int height,
                             bool keepAspect, int option) {
    HostProgress progress(progressDisplay, "Resample Image");
    return plugins.CallResampleImage(source, destination, &progress, width, height,
                                     keepAspect ? 1 : 0, static_cast<uint8_t>(option)) != 0;
}

CPluginHost* BatchJob::GetPluginHost() {
    return &host;
}

MetadataPrivacy BatchJob::DestinationPrivacy(const BatchDestination* destination) const {
    for (int i = 0; i < destinationCount; ++i) {
        if (destinations[i].destination != destination || destinations[i].module == nullptr) {
            continue;
        }
        const auto privacy = reinterpret_cast<GetBatchDestinationPrivacyFn>(
            dlsym(destinations[i].module, "GetBatchDestinationPrivacy"));
        switch (privacy != nullptr ? privacy() : 0) {
        case 1:
            return MetadataPrivacy::WebSafe;
        case 2:
            return MetadataPrivacy::KeepLocation;
        default:
            return MetadataPrivacy::KeepAll;
        }
    }
    return MetadataPrivacy::KeepAll;
}

} // namespace pixmill
