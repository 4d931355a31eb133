#include "cli/cli_app.h"

#include "cli/batch_command.h"
#include "cli/page_command.h"

#include "cli/help_command.h"
#include "cli/overlay_settings_store.h"
#include "cli/schema_catalog.h"
#include "cli/terminal.h"
#include "host/atomic_file.h"
#include "host/host_services.h"
#include "host/image_metadata.h"
#include "host/image_pipeline.h"
#include "host/path_fields.h"
#include "host/plugin_manager.h"
#include "host/qsettings_store.h"
#include "host/streams.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/processing_plugin.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QStringList>
#include <QtGlobal>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <sys/stat.h>

namespace pixmill::cli {

const char* HelpText() {
    return R"HELP(Usage: pixmill-cli COMMAND [OPTIONS] [ARGUMENTS]

Opens, processes and saves images with Pixmill's plug-ins, without windows.

Commands:
  formats                 list every loaded format: name, long name, extensions,
                          capabilities and the image kinds it can store
  ops                     list every operation: command id, group, name,
                          description, flags and kind
  info FILE...            show format, size, depth, palette, transparency,
                          resolution, file size and the sizes of the ICC
                          profile and EXIF block of each file
  convert IN OUT          open IN (by its content), run the --op operations in
                          order, save OUT in the format of its extension
                          (converting the image to a kind that format stores)
  settings                list every plug-in settings record and field with its
                          type, range and current value
  help [TOPIC]            print the path of a help topic's page (a topic number
                          as the desktop program's Help buttons use, or
                          "contents"); --open shows it in the desktop's browser
  batch INPUT... --out DIR
                          run one chain of operations over many images: files,
                          or every file of a folder (--recursive: and of its
                          sub-folders, whose tree is kept under DIR); each is
                          saved in every --format (or in its own format) with
                          an optional thumbnail, and a log is written
  page list PAGE          list the pictures of an HTML page: number, kind
                          (image, applet, compound), number within its kind,
                          name and size
  page render PAGE OBJECT OUT
                          save the composed picture of an object (by its
                          number in the list or its name) as an image file
  page convert PAGE OBJECT --form html|applet|image-map --out NEWPAGE
                          write the page again as NEWPAGE with the object in
                          another form; pictures are written beside NEWPAGE
                          (--image-format gif|png|jpg for the flattened
                          picture and pictures not in a web format; default
                          png); the input page is never replaced without
                          --force

Options:
  --op "NAME"             an operation by its menu name without "&": the group
                          and the name ("Filter Sharpen", "Convert to Grayscale
                          (8-bit)") or the name alone ("Resample"); repeatable
  --set RECORD.FIELD=VALUE
                          change one settings field for this run only (never
                          written back); fields not set keep their stored
                          values, so to make a picture 800 pixels wide keeping
                          its aspect ratio set both sides:
                          --op Resample --set Resample.width=800
                            --set Resample.height=32767
                            --set Resample.keepAspect=1
  --quality-offset N      format-specific write adjustment (JPEG: -100..100;
                          positive values raise the quality towards the best
                          level and make larger files, negative ones lower it
                          towards the coarsest level and make smaller files)
  --max-bytes N           convert, batch: write each file at the best level
                          whose file is at most N bytes (JPEG); an image that
                          cannot get that small fails with a message
  --settings FILE         read settings from FILE instead of the program's
                          settings file (default: $PIXMILL_SETTINGS, else
                          ~/.config/QOREL Technologies/Pixmill.ini)
  --json                  info: machine-readable output
  --open                  help: open the page instead of printing its path

Batch options:
  --out DIR               the folder the results go to (created when missing)
  --profile FILE.prf      the formats, operations and log file of a batch
                          profile saved by the desktop program
  --format NAME           an output format by its short name ("JPEG", "TIFF");
                          repeatable; none: each image keeps its own format
  --op NAME               (with batch) an operation of the run, as for convert
                          or by its profile name ("Filter Sharpen"); operations
                          run in the program's fixed order; colour conversions
                          run per output format that can store their result
  --thumbs WxH            also write a thumbnail of at most W x H pixels
  --thumb-name TEXT       what the thumbnail's name adds (default "_Thumb")
  --fit                   thumbnails of exactly W x H (the aspect ratio is not
                          kept)
  --smart-cut             thumbnails of exactly W x H cut from the middle of
                          the image (the aspect ratio is kept)
  --thumbs-only           write thumbnails only, not the images themselves
  --copy-original         the main file is the input file's bytes unchanged
                          (thumbnails are still made from the result)
  --log FILE              the log file (default: DIR/qorel.log, or the
                          profile's log file)
  --dest NAME             a destination library by its name (default: the
                          built-in "Image files")
  --dest-profile FILE     the destination's own settings file (for "HTML
                          pages": an HTML generation profile, .vhb)
  --project NAME          the destination's project name in DIR (for "HTML
                          pages": the first page's name, e.g. album.htm)
  --recursive             descend into sub-folders of folder inputs
  --jobs N                worker processes (default: one per core); each has
                          its own plug-ins, the log keeps the input order
  --shard I/N             process only every N-th image starting at I (0-based),
                          to spread one collection over N machines
  --fast-decode           decode JPEG files at 1/2, 1/4 or 1/8 of their size
                          when the first operation shrinks them at least twice
                          as much (faster, slightly less exact)
  --force                 convert: allow OUT to be the input file, and replace
                          a read-only OUT; batch: replace read-only outputs;
                          page: allow replacing the input page and an
                          existing flattened picture
  --max-pixels N          refuse pictures of more than N pixels (width x
                          height) before reading them (default: the stored
                          setting MaxImagePixels, else 268435456)
  --allow-damaged         convert, batch: keep the picture of a damaged file
                          (a truncated or corrupt JPEG) with a warning instead
                          of failing
  --strip                 convert, batch: write no ICC colour profile and no
                          EXIF. By default both are kept where the output
                          format can hold them (JPEG, PNG, TIFF, WebP, AVIF;
                          not GIF): without its profile a wide-gamut photo
                          shows wrong colours, and EXIF holds the camera,
                          date and orientation. Stripping saves their bytes
                          (often tens of kilobytes) for pictures on the web;
                          thumbnails never carry either
  -q, --quiet             no progress bar and no report of what was written
  -h, --help              this text
  --version               the program's version

Progress is drawn on stderr when it is a terminal. Ctrl+C ends the current
work with "User break"; a failed convert never leaves a partial OUT file.
A batch run shows "Process Image N of Total M   Time Left H:M'S''" on stderr;
Ctrl+C cancels it (the log ends with "Batch processing was interrupted.").
Files are written under temporary names and renamed when complete.

Environment:
  PIXMILL_SETTINGS        the settings file to use
  PIXMILL_PLUGIN_ROOT     the folder holding Formats/, Processing/, Sources/
                          and Destinations/ (default: the program's own folder)
  PIXMILL_HELP_DIR        the folder of the help pages (default: help/ in the
                          program's own folder)
  PIXMILL_PIXEL_THREADS   threads one operation may use (default: one per
                          core; each batch --jobs N worker gets cores / N)

Exit codes:
  0  success
  1  failure of some input (unreadable file, unsupported format, failed
     operation or save, user break); batch: some image was not saved (the
     log says which), or the run was cancelled
  2  usage error (unknown command, option, operation or settings field)
)HELP";
}

namespace {

void PrintUsageError(const std::string& message) {
    std::fprintf(stderr, "pixmill-cli: %s\nTry 'pixmill-cli --help'.\n", message.c_str());
}

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
    std::unique_ptr<CHostServices> host;
    std::unique_ptr<CPluginManager> plugins;

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
    session.host = std::make_unique<CHostServices>(*session.store, &session.ui);
    if (options.maxPixels > 0) {
        session.host->SetMaxImagePixels(options.maxPixels);
    }
    // Scripts must not take a damaged file's picture for a good one.
    if (!options.allowDamaged) {
        session.host->SetDamagePolicy(CHostServices::DamagePolicy::Refuse);
    }
    session.plugins = std::make_unique<CPluginManager>(session.host.get());
    session.plugins->LoadFormats(root + "Formats/");
    session.plugins->LoadProcessing(root + "Processing/");
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

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

int CommandFormats(Session& session) {
    CPluginManager& plugins = *session.plugins;
    std::printf("%-6s %-28s %-34s %-6s %s\n", "NAME", "LONG NAME", "EXTENSIONS", "CAPS", "SAVES");
    for (int i = 0; i < plugins.FormatCount(); ++i) {
        CFormatPlugin* format = plugins.FormatAt(i);
        std::printf("%-6s %-28s %-34s %-6s %s\n", format->GetName(false), format->GetName(true),
                    format->GetExtensions(), Hex(format->GetCapabilities()).c_str(),
                    Hex(format->GetSaveModes()).c_str());
    }
    return ExitOk;
}

int CommandOps(Session& session) {
    CPluginManager& plugins = *session.plugins;
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

struct ImageInfo {
    std::string file, format, error;
    int width = 0, height = 0, bits = 0, palette = 0;
    bool transparent = false;
    RGBQUAD transparentColor{};
    int dpiX = 0, dpiY = 0;
    long long fileSize = 0;
    size_t iccBytes = 0, exifBytes = 0; // metadata the header carries
};

ImageInfo ReadInfo(Session& session, const std::string& file) {
    ImageInfo info;
    info.file = file;
    try {
        CVFileStream stream(file, CVFileStream::ForReading);
        CVImage image(session.host.get());
        ImageMetadata metadata;
        CFormatPlugin* format = nullptr;
        ReadHeaderByContent(*session.plugins, stream, image, nullptr, &format, &metadata);
        info.format = format->GetName(false);
        info.width = image.Width();
        info.height = image.Height();
        info.bits = image.BitCount();
        info.palette = image.paletteCount;
        info.transparent = image.hasTransparentColor != 0;
        info.transparentColor = image.transparentColor;
        info.iccBytes = metadata.icc.size();
        info.exifBytes = metadata.exif.size();
        info.dpiX = static_cast<int>(std::lround(image.header.biXPelsPerMeter / 39.37007874015748));
        info.dpiY = static_cast<int>(std::lround(image.header.biYPelsPerMeter / 39.37007874015748));
        struct stat st {};
        if (stat(file.c_str(), &st) == 0) {
            info.fileSize = st.st_size;
        }
    } catch (CQorelError& error) {
        info.error = error.Report(false);
    }
    return info;
}

std::string ColorText(const RGBQUAD& c) {
    char text[16];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", c.rgbRed, c.rgbGreen, c.rgbBlue);
    return text;
}

std::string BytesOrNone(size_t bytes) {
    return bytes == 0 ? std::string("none") : std::to_string(bytes) + " bytes";
}

int CommandInfo(Session& session, const Options& options) {
    if (options.arguments.empty()) {
        PrintUsageError("info needs at least one FILE");
        return ExitUsage;
    }
    int status = ExitOk;
    if (options.json) {
        std::printf("[");
    }
    bool first = true;
    for (const std::string& file : options.arguments) {
        const ImageInfo info = ReadInfo(session, file);
        if (!info.error.empty()) {
            status = ExitFailure;
            std::fprintf(stderr, "pixmill-cli: %s: %s\n", file.c_str(), info.error.c_str());
        }
        if (options.json) {
            std::printf("%s\n  {\"file\": %s", first ? "" : ",", JsonString(file).c_str());
            if (!info.error.empty()) {
                std::printf(", \"error\": %s}", JsonString(info.error).c_str());
            } else {
                std::printf(", \"format\": %s, \"width\": %d, \"height\": %d, \"bits\": %d, "
                            "\"paletteEntries\": %d, \"transparentColor\": %s, "
                            "\"dpiX\": %d, \"dpiY\": %d, \"fileSize\": %lld, "
                            "\"iccProfileBytes\": %zu, \"exifBytes\": %zu}",
                            JsonString(info.format).c_str(), info.width, info.height, info.bits,
                            info.palette,
                            info.transparent ? JsonString(ColorText(info.transparentColor)).c_str()
                                             : "null",
                            info.dpiX, info.dpiY, info.fileSize, info.iccBytes, info.exifBytes);
            }
            first = false;
        } else if (info.error.empty()) {
            std::printf("%s\n  format:       %s\n  size:         %d x %d\n"
                        "  depth:        %d bit\n  palette:      %d entries\n"
                        "  transparency: %s\n  resolution:   %d x %d dpi\n"
                        "  file size:    %lld bytes\n"
                        "  ICC profile:  %s\n  EXIF:         %s\n",
                        file.c_str(), info.format.c_str(), info.width, info.height, info.bits,
                        info.palette,
                        info.transparent ? ColorText(info.transparentColor).c_str() : "none",
                        info.dpiX, info.dpiY, info.fileSize, BytesOrNone(info.iccBytes).c_str(),
                        BytesOrNone(info.exifBytes).c_str());
        }
    }
    if (options.json) {
        std::printf("\n]\n");
    }
    return status;
}

// The format whose extension list ("*.jpg;*.jpeg") holds the name's
// extension exactly (in any case); null when none does, with every known
// extension in known.
CFormatPlugin* FormatForOutput(CPluginManager& plugins, const std::string& path,
                               std::string& known) {
    std::string extension = ExtensionOf(path);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    CFormatPlugin* found = nullptr;
    for (int i = 0; i < plugins.FormatCount(); ++i) {
        CFormatPlugin* format = plugins.FormatAt(i);
        if (!(format->GetCapabilities() & CapCanSave)) {
            continue;
        }
        const std::string list = format->GetExtensions();
        size_t start = 0;
        while (start <= list.size()) {
            const size_t end = std::min(list.find(';', start), list.size());
            std::string entry = list.substr(start, end - start);
            if (entry.rfind("*", 0) == 0) {
                entry.erase(0, 1);
            }
            for (char& c : entry) {
                c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            }
            if (!entry.empty()) {
                known += (known.empty() ? "" : " ") + entry;
                if (found == nullptr && entry == extension) {
                    found = format;
                }
            }
            start = end + 1;
        }
    }
    return found;
}

// A file nobody may write to is not replaced without being told to.
int CommandConvert(Session& session, const Options& options) {
    if (options.arguments.size() != 2) {
        PrintUsageError("convert needs IN and OUT");
        return ExitUsage;
    }
    const std::string& in = options.arguments[0];
    const std::string& out = options.arguments[1];
    if (!options.force && SameFile(in, out)) {
        std::fprintf(stderr,
                     "pixmill-cli: %s: refusing to overwrite the input file (use --force)\n",
                     out.c_str());
        return ExitUsage;
    }
    std::vector<ImagePipeline::Step> steps;
    for (const std::string& name : options.operations) {
        const int id = ImagePipeline::FindOperation(*session.plugins, name);
        if (id == 0) {
            PrintUsageError("unknown operation '" + name + "' (see 'pixmill-cli ops')");
            return ExitUsage;
        }
        steps.push_back({id, name});
    }
    std::string known;
    if (FormatForOutput(*session.plugins, out, known) == nullptr) {
        std::fprintf(stderr, "pixmill-cli: %s: %s (the extensions that can be written: %s)\n",
                     out.c_str(), CVImageError::MessageOf(CVImageError::UnsupportedFormat),
                     known.c_str());
        return ExitFailure;
    }
    if (!options.force && IsReadOnlyFile(out)) {
        std::fprintf(stderr, "pixmill-cli: %s: the file is read-only (use --force to replace it)\n",
                     out.c_str());
        return ExitFailure;
    }

    ImagePipeline pipeline(*session.host, *session.plugins, session.progress.get());
    if (options.hasQualityOffset) {
        pipeline.SetWriteParameter(options.qualityOffset);
    }
    pipeline.SetStripMetadata(options.strip);
    if (!pipeline.Run(in, steps, out)) {
        std::fprintf(stderr, "pixmill-cli: %s\n", pipeline.Error().c_str());
        if (!session.host->TakeDamageReports().empty()) {
            std::fprintf(stderr, "pixmill-cli: %s: --allow-damaged keeps such a picture\n",
                         in.c_str());
        }
        return ExitFailure;
    }
    if (!options.quiet) {
        const CVImage& image = pipeline.Document().Image();
        struct stat st {};
        stat(out.c_str(), &st);
        std::printf("%s: %d x %d, %d bit, %lld bytes\n", out.c_str(), image.Width(), image.Height(),
                    image.BitCount(), static_cast<long long>(st.st_size));
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

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool ParseArguments(int argc, char** argv, Options& options, int& exitCode) {
    // File names are bytes: an argument that does not survive the trip
    // through QString unchanged (not valid in the locale's encoding) goes to
    // the parser as a private-use marker that Bytes turns back into it.
    constexpr char16_t kRawMarker = 0xE000;
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        const QString text = QString::fromLocal8Bit(argv[i]);
        if (text.toLocal8Bit() == QByteArray(argv[i]) && !text.startsWith(QChar(kRawMarker))) {
            arguments << text;
        } else {
            arguments << QChar(kRawMarker) + QString::number(i);
        }
    }
    auto bytes = [argv, kRawMarker](const QString& value) -> std::string {
        if (value.startsWith(QChar(kRawMarker))) {
            return argv[value.mid(1).toInt()];
        }
        return value.toLocal8Bit().toStdString();
    };
    QCommandLineParser parser;
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    const QCommandLineOption op("op", "", "NAME");
    const QCommandLineOption set("set", "", "RECORD.FIELD=VALUE");
    const QCommandLineOption quality("quality-offset", "", "N");
    const QCommandLineOption settings("settings", "", "FILE");
    const QCommandLineOption json("json");
    const QCommandLineOption force("force");
    const QCommandLineOption quiet(QStringList{"q", "quiet"});
    const QCommandLineOption help(QStringList{"h", "help"});
    const QCommandLineOption version("version");
    const QCommandLineOption out("out", "", "DIR");
    const QCommandLineOption profile("profile", "", "FILE");
    const QCommandLineOption format("format", "", "NAME");
    const QCommandLineOption thumbs("thumbs", "", "WxH");
    const QCommandLineOption thumbName("thumb-name", "", "TEXT");
    const QCommandLineOption fit("fit");
    const QCommandLineOption smartCut("smart-cut");
    const QCommandLineOption thumbsOnly("thumbs-only");
    const QCommandLineOption copyOriginal("copy-original");
    const QCommandLineOption logFile("log", "", "FILE");
    const QCommandLineOption dest("dest", "", "NAME");
    const QCommandLineOption destProfile("dest-profile", "", "FILE");
    const QCommandLineOption project("project", "", "NAME");
    const QCommandLineOption jobs("jobs", "", "N");
    const QCommandLineOption shard("shard", "", "I/N");
    const QCommandLineOption recursive("recursive");
    const QCommandLineOption fastDecode("fast-decode");
    const QCommandLineOption maxPixels("max-pixels", "", "N");
    const QCommandLineOption allowDamaged("allow-damaged");
    const QCommandLineOption strip("strip");
    const QCommandLineOption maxBytes("max-bytes", "", "N");
    const QCommandLineOption pageForm("form", "", "FORM");
    const QCommandLineOption imageFormat("image-format", "", "FORMAT");
    const QCommandLineOption openPage("open");
    parser.addOptions({op,        set,          quality,  settings, json,        force,
                       quiet,     help,         version,  out,      profile,     format,
                       thumbs,    thumbName,    fit,      smartCut, thumbsOnly,  copyOriginal,
                       logFile,   dest,         jobs,     shard,    recursive,   fastDecode,
                       maxPixels, allowDamaged, maxBytes, pageForm, imageFormat, openPage});
    parser.addOptions({destProfile, project, strip});
    if (!parser.parse(arguments)) {
        PrintUsageError(parser.errorText().toStdString());
        exitCode = ExitUsage;
        return false;
    }
    if (parser.isSet(help)) {
        std::fputs(HelpText(), stdout);
        exitCode = ExitOk;
        return false;
    }
    if (parser.isSet(version)) {
        std::printf("pixmill-cli 0.1\n");
        exitCode = ExitOk;
        return false;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        PrintUsageError("no command given");
        exitCode = ExitUsage;
        return false;
    }
    options.command = positional.first().toStdString();
    for (qsizetype i = 1; i < positional.size(); ++i) {
        options.arguments.push_back(bytes(positional[i]));
    }
    for (const QString& value : parser.values(op)) {
        options.operations.push_back(value.toStdString());
    }
    for (const QString& value : parser.values(set)) {
        options.sets.push_back(value.toStdString());
    }
    options.settingsFile = bytes(parser.value(settings));
    options.json = parser.isSet(json);
    options.quiet = parser.isSet(quiet);
    options.force = parser.isSet(force);
    options.strip = parser.isSet(strip);
    if (parser.isSet(quality)) {
        bool ok = false;
        options.qualityOffset = parser.value(quality).toInt(&ok);
        if (!ok || options.qualityOffset < -100 || options.qualityOffset > 100) {
            PrintUsageError("--quality-offset takes a number from -100 to 100");
            exitCode = ExitUsage;
            return false;
        }
        options.hasQualityOffset = true;
    }
    auto usage = [&exitCode](const std::string& message) {
        PrintUsageError(message);
        exitCode = ExitUsage;
        return false;
    };
    auto local = [&parser, &bytes](const QCommandLineOption& option) {
        return bytes(parser.value(option));
    };
    options.outDir = local(out);
    options.profile = local(profile);
    for (const QString& value : parser.values(format)) {
        options.formats.push_back(value.toStdString());
    }
    if (parser.isSet(thumbs)) {
        const QStringList sides = parser.value(thumbs).toLower().split('x');
        bool okWidth = false, okHeight = false;
        if (sides.size() == 2) {
            options.thumbWidth = sides[0].toInt(&okWidth);
            options.thumbHeight = sides[1].toInt(&okHeight);
        }
        if (!okWidth || !okHeight || options.thumbWidth < 1 || options.thumbWidth > 32000 ||
            options.thumbHeight < 1 || options.thumbHeight > 32000) {
            return usage("--thumbs takes WxH, each from 1 to 32000");
        }
    }
    if (parser.isSet(thumbName)) {
        options.thumbName = local(thumbName);
    }
    options.fit = parser.isSet(fit);
    options.smartCut = parser.isSet(smartCut);
    options.thumbsOnly = parser.isSet(thumbsOnly);
    options.copyOriginal = parser.isSet(copyOriginal);
    if ((options.fit || options.smartCut || options.thumbsOnly) && options.thumbWidth == 0) {
        return usage("--fit, --smart-cut and --thumbs-only need --thumbs WxH");
    }
    if (options.thumbsOnly && options.copyOriginal) {
        return usage("--thumbs-only and --copy-original exclude each other");
    }
    options.logFile = local(logFile);
    options.destination = parser.value(dest).toStdString();
    options.destProfile = local(destProfile);
    options.project = parser.value(project).toStdString();
    if ((!options.destProfile.empty() || !options.project.empty()) && options.destination.empty()) {
        return usage("--dest-profile and --project need --dest NAME");
    }
    if (parser.isSet(jobs)) {
        bool ok = false;
        options.jobs = parser.value(jobs).toInt(&ok);
        if (!ok || options.jobs < 1 || options.jobs > 256) {
            return usage("--jobs takes a number from 1 to 256");
        }
    }
    if (parser.isSet(shard)) {
        const QStringList parts = parser.value(shard).split('/');
        bool okIndex = false, okCount = false;
        if (parts.size() == 2) {
            options.shardIndex = parts[0].toInt(&okIndex);
            options.shardCount = parts[1].toInt(&okCount);
        }
        if (!okIndex || !okCount || options.shardCount < 1 || options.shardIndex < 0 ||
            options.shardIndex >= options.shardCount) {
            return usage("--shard takes I/N with 0 <= I < N");
        }
    }
    if (parser.isSet(maxPixels)) {
        bool ok = false;
        options.maxPixels = parser.value(maxPixels).toULongLong(&ok);
        if (!ok || options.maxPixels < 1) {
            return usage("--max-pixels takes a positive number of pixels");
        }
    }
    options.allowDamaged = parser.isSet(allowDamaged);
    if (parser.isSet(maxBytes)) {
        bool ok = false;
        options.maxBytes = parser.value(maxBytes).toLongLong(&ok);
        if (!ok || options.maxBytes < 1 || options.maxBytes > 2147483647) {
            return usage("--max-bytes takes a number of bytes from 1 to 2147483647");
        }
    }
    options.recursive = parser.isSet(recursive);
    options.fastDecode = parser.isSet(fastDecode);
    options.pageForm = parser.value(pageForm).toStdString();
    options.imageFormat = parser.value(imageFormat).toLower().toStdString();
    options.openPage = parser.isSet(openPage);
    static const char* const commands[] = {"formats",  "ops",   "info", "convert",
                                           "settings", "batch", "page", "help"};
    bool known = false;
    for (const char* name : commands) {
        known = known || options.command == name;
    }
    if (!known) {
        PrintUsageError("unknown command '" + options.command + "'");
        exitCode = ExitUsage;
        return false;
    }
    return true;
}

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
        return CommandFormats(session);
    }
    if (options.command == "ops") {
        return CommandOps(session);
    }
    if (options.command == "info") {
        return CommandInfo(session, options);
    }
    if (options.command == "convert") {
        return CommandConvert(session, options);
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
