#include "cli/cli_app.h"

#include "cli/batch_command.h"
#include "cli/convert_command.h"
#include "cli/help_command.h"
#include "cli/info_command.h"
#include "cli/json_text.h"
#include "cli/overlay_settings_store.h"
#include "cli/page_command.h"
#include "cli/schema_catalog.h"
#include "cli/terminal.h"
#include "host/host_services.h"
#include "host/plugin_manager.h"
#include "host/qsettings_store.h"
#include "pixmill/format_plugin.h"
#include "pixmill/processing_plugin.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sys/stat.h>

namespace pixmill::cli {

namespace {

std::string PluginRoot() {
    if (const char* root = std::getenv("PIXMILL_PLUGIN_ROOT"); root != nullptr && *root) {
        std::string path = root;
        return path.back() == '/' ? path : path + "/";
    }
    return ProgramDirectory();
}

// Everything a command needs, built in the order the program needs it: the
// settings (with "--set" applied) before any plug-in object loads its block,
// and the plug-ins unloaded before the host and the settings go.
struct Session {
    std::unique_ptr<QSettingsStore> fileStore;
    std::unique_ptr<OverlaySettingsStore> store;
    SchemaCatalog catalog;
    CliUserInterface ui;
    std::unique_ptr<TerminalProgress> progress;
    std::unique_ptr<HostServices> host;
    std::unique_ptr<PluginManager> plugins;

    ~Session() {
        plugins.reset();
        host.reset();
        SetUserInterface(nullptr);
    }
};

int ApplySets(Session& session, const std::vector<std::string>& sets) {
    for (const std::string& set : sets) {
        const size_t dot = set.find('.');
        const size_t equals = set.find('=');
        if (dot == std::string::npos || equals == std::string::npos || equals < dot) {
            PrintUsageError("--set takes RECORD.FIELD=VALUE, not '" + set + "'");
            return ExitUsage;
        }
        const std::string record = set.substr(0, dot);
        const std::string fieldName = set.substr(dot + 1, equals - dot - 1);
        const std::string text = set.substr(equals + 1);
        const BlockInfo* block = session.catalog.Find(record);
        if (block == nullptr) {
            PrintUsageError("unknown settings record '" + record +
                            "' (see 'pixmill-cli settings')");
            return ExitUsage;
        }
        const FieldInfo* field = block->Find(fieldName);
        if (field == nullptr || field->type == FieldType::Bytes) {
            PrintUsageError("unknown settings field '" + record + "." + fieldName +
                            "' (see 'pixmill-cli settings')");
            return ExitUsage;
        }
        char* end = nullptr;
        const double value = std::strtod(text.c_str(), &end);
        if (text.empty() || end == nullptr || *end != '\0' || !std::isfinite(value)) {
            PrintUsageError("'" + text + "' is not a number for " + record + "." + fieldName);
            return ExitUsage;
        }
        if (value < field->minimum || value > field->maximum) {
            char range[128];
            std::snprintf(range, sizeof range, "%g..%g", field->minimum, field->maximum);
            PrintUsageError(record + "." + fieldName + " must lie in " + range);
            return ExitUsage;
        }
        std::vector<uint8_t> bytes = SchemaCatalog::CurrentBlock(*block, *session.store);
        WriteField(bytes.data(), field->AsField(), value);
        session.store->WriteBinary(SettingsStore::kSettingsSection, record, bytes);
    }
    return ExitOk;
}

// Whether text can be an INI settings file: no NUL bytes, and every line
// blank, a comment, a [section] or a key=value pair.
bool LooksLikeSettings(const std::string& text) {
    if (text.find('\0') != std::string::npos) {
        return false;
    }
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find('\n', start), text.size());
        std::string line = text.substr(start, end - start);
        line.erase(0, line.find_first_not_of(" \t\r"));
        if (!line.empty() && line[0] != ';' && line[0] != '#' && line[0] != '[' &&
            line.find('=') == std::string::npos) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

// The settings file to be used: one named with --settings must exist; none
// may be anything but a regular file (a FIFO would hang the program). One
// that cannot be read or is not a settings file is said so and the defaults
// apply. Returns false when the program must stop.
bool CheckSettingsFile(const Options& options) {
    std::string file = options.settingsFile;
    if (file.empty()) {
        if (const char* env = std::getenv("PIXMILL_SETTINGS"); env != nullptr && *env != '\0') {
            file = env;
        }
    }
    if (file.empty()) {
        return true; // the program's own file
    }
    struct stat st {};
    if (stat(file.c_str(), &st) != 0) {
        if (!options.settingsFile.empty()) {
            PrintUsageError(file + ": no such settings file");
            return false;
        }
        return true; // made when settings are first saved
    }
    if (!S_ISREG(st.st_mode)) {
        PrintUsageError(file + ": the settings file is not a regular file");
        return false;
    }
    std::ifstream in(file, std::ios::binary);
    std::string text;
    if (in) {
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (!in && !in.eof()) {
        std::fprintf(stderr,
                     "pixmill-cli: warning: %s: cannot read the settings file; the "
                     "defaults apply\n",
                     file.c_str());
    } else if (!LooksLikeSettings(text)) {
        std::fprintf(stderr, "pixmill-cli: warning: %s: not a settings file; the defaults apply\n",
                     file.c_str());
    }
    return true;
}

// Qt's own diagnostics (a stored value of a type it does not know) are not
// the user's business; the program says what matters itself.
void DropQtMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "pixmill-cli: %s\n", text.toLocal8Bit().constData());
    }
}

int OpenSession(Session& session, const Options& options) {
    if (!CheckSettingsFile(options)) {
        return ExitUsage;
    }
    qInstallMessageHandler(DropQtMessages);
    session.fileStore = std::make_unique<QSettingsStore>(options.settingsFile);
    session.store = std::make_unique<OverlaySettingsStore>(*session.fileStore);
    const std::string root = PluginRoot();
    // The declarations are read only when a command needs them: each library
    // is opened for them once more before the plug-ins load.
    if (!options.sets.empty() || options.maxBytes > 0 || options.command == "settings") {
        session.catalog.Scan({root + "Formats/", root + "Processing/"});
    }
    // --max-bytes is every size budget field at once; --set may still
    // change one of them afterwards.
    std::vector<std::string> sets;
    for (const BlockInfo& block : session.catalog.Blocks()) {
        if (options.maxBytes > 0 && block.Find("targetBytes") != nullptr) {
            sets.push_back(block.name + ".targetBytes=" + std::to_string(options.maxBytes));
        }
    }
    if (options.maxBytes > 0 && sets.empty()) {
        PrintUsageError("--max-bytes: no format plug-in writes to a size budget");
        return ExitUsage;
    }
    sets.insert(sets.end(), options.sets.begin(), options.sets.end());
    if (int code = ApplySets(session, sets); code != ExitOk) {
        return code;
    }
    SetUserInterface(&session.ui);
    session.progress = std::make_unique<TerminalProgress>(!options.quiet);
    session.host = std::make_unique<HostServices>(*session.store, &session.ui);
    if (options.maxPixels > 0) {
        session.host->SetMaxImagePixels(options.maxPixels);
    }
    // Scripts must not take a damaged file's picture for a good one.
    if (!options.allowDamaged) {
        session.host->SetDamagePolicy(HostServices::DamagePolicy::Refuse);
    }
    session.host->SetAutoOrient(!options.noAutoOrient);
    session.plugins = std::make_unique<PluginManager>(session.host.get());
    // info and convert need only the library that reads the input and the
    // one that writes the output: the others open only if those are not
    // found first.
    if (options.command == "info" || options.command == "convert") {
        session.plugins->LoadFormatsOnDemand(root + "Formats/");
    } else {
        session.plugins->LoadFormats(root + "Formats/");
    }
    // info and formats read headers and names only: opening the processing
    // libraries would be most of their time.
    if (options.command != "info" && options.command != "formats") {
        session.plugins->LoadProcessing(root + "Processing/");
    }
    if (session.plugins->FormatCount() == 0) {
        std::fprintf(stderr, "pixmill-cli: no format plug-ins found in %sFormats/\n", root.c_str());
        return ExitFailure;
    }
    return ExitOk;
}

std::string Hex(unsigned value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

int CommandFormats(Session& session, bool json) {
    PluginManager& plugins = *session.plugins;
    if (json) {
        std::printf("[");
        for (int i = 0; i < plugins.FormatCount(); ++i) {
            CFormatPlugin* format = plugins.FormatAt(i);
            std::printf("%s\n  {\"name\": %s, \"longName\": %s, \"extensions\": %s, "
                        "\"capabilities\": %u, \"saveModes\": %u}",
                        i == 0 ? "" : ",", JsonString(format->GetName(false)).c_str(),
                        JsonString(format->GetName(true)).c_str(),
                        JsonString(format->GetExtensions()).c_str(),
                        static_cast<unsigned>(format->GetCapabilities()),
                        static_cast<unsigned>(format->GetSaveModes()));
        }
        std::printf("\n]\n");
        return ExitOk;
    }
    std::printf("%-6s %-28s %-34s %-6s %s\n", "NAME", "LONG NAME", "EXTENSIONS", "CAPS", "SAVES");
    for (int i = 0; i < plugins.FormatCount(); ++i) {
        CFormatPlugin* format = plugins.FormatAt(i);
        std::printf("%-6s %-28s %-34s %-6s %s\n", format->GetName(false), format->GetName(true),
                    format->GetExtensions(), Hex(format->GetCapabilities()).c_str(),
                    Hex(format->GetSaveModes()).c_str());
    }
    return ExitOk;
}

int CommandOps(Session& session, bool json) {
    PluginManager& plugins = *session.plugins;
    if (json) {
        std::printf("[");
        bool first = true;
        for (int i = 0; i < plugins.ProcessorCount(); ++i) {
            CProcessingPlugin* plugin = plugins.ProcessorAt(i);
            for (int j = 0; j < plugins.OperationCountOf(i); ++j) {
                plugin->SetOperation(static_cast<uint16_t>(j));
                const char* group = plugin->GetGroupName(false);
                std::printf("%s\n  {\"id\": %d, \"group\": %s, \"name\": %s, "
                            "\"flags\": %u, \"kind\": %d, \"description\": %s}",
                            first ? "" : ",", plugins.FirstCommandOf(i) + j,
                            group != nullptr ? JsonString(group).c_str() : "null",
                            JsonString(plugin->GetName(false)).c_str(),
                            static_cast<unsigned>(plugin->GetFlags()), plugin->GetKind(),
                            JsonString(plugin->GetDescription()).c_str());
                first = false;
            }
        }
        std::printf("\n]\n");
        return ExitOk;
    }
    std::printf("%-5s %-12s %-30s %-6s %-4s %s\n", "ID", "GROUP", "NAME", "FLAGS", "KIND",
                "DESCRIPTION");
    for (int i = 0; i < plugins.ProcessorCount(); ++i) {
        CProcessingPlugin* plugin = plugins.ProcessorAt(i);
        for (int j = 0; j < plugins.OperationCountOf(i); ++j) {
            plugin->SetOperation(static_cast<uint16_t>(j));
            const char* group = plugin->GetGroupName(false);
            std::printf("%-5d %-12s %-30s %-6s %-4d %s\n", plugins.FirstCommandOf(i) + j,
                        group != nullptr ? group : "-", plugin->GetName(false),
                        Hex(plugin->GetFlags()).c_str(), plugin->GetKind(),
                        plugin->GetDescription());
        }
    }
    return ExitOk;
}

int CommandSettings(Session& session) {
    for (const BlockInfo& block : session.catalog.Blocks()) {
        std::printf("%s (%u bytes, %s)\n", block.name.c_str(), block.size, block.library.c_str());
        const std::vector<uint8_t> bytes = SchemaCatalog::CurrentBlock(block, *session.store);
        for (const FieldInfo& field : block.fields) {
            const std::string full = block.name + "." + field.name;
            if (field.type == FieldType::Bytes) {
                std::printf("  %-36s %-5s (%u bytes)  %s\n", full.c_str(), "bytes", field.length,
                            field.description.c_str());
                continue;
            }
            char range[64], value[32];
            std::snprintf(range, sizeof range, "%g..%g", field.minimum, field.maximum);
            std::snprintf(value, sizeof value, "%g", ReadField(bytes.data(), field.AsField()));
            std::printf("  %-36s %-5s %-16s = %-10s %s\n", full.c_str(), FieldTypeName(field.type),
                        range, value, field.description.c_str());
        }
    }
    return ExitOk;
}

} // namespace

int Run(const Options& options) {
    if (options.command == "help") {
        return CommandHelp(options); // needs no plug-ins
    }
    InstallBreakHandler();
    Session session;
    if (int code = OpenSession(session, options); code != ExitOk) {
        return code;
    }
    if (options.command == "formats") {
        return CommandFormats(session, options.json);
    }
    if (options.command == "ops") {
        return CommandOps(session, options.json);
    }
    if (options.command == "info") {
        return CommandInfo(*session.host, *session.plugins, options);
    }
    if (options.command == "convert") {
        return CommandConvert(*session.host, *session.plugins, session.progress.get(), options);
    }
    if (options.command == "batch") {
        return CommandBatch(*session.host, *session.plugins, session.progress.get(), PluginRoot(),
                            options);
    }
    if (options.command == "page") {
        return CommandPage(*session.host, *session.plugins, session.ui, ProgramDirectory(),
                           options);
    }
    return CommandSettings(session);
}

} // namespace pixmill::cli
