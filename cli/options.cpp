#include "cli/options.h"

#include <QByteArray>
#include <QCommandLineOption>
#include <QCommandLineParser>

#include <cstdio>
#include <sys/stat.h>

namespace pixmill::cli {

namespace {

// ------------------------------------------------ how options set Options

template <bool Options::*field> std::string Switch(const GivenOption&, Options& options) {
    options.*field = true;
    return {};
}

// A file name: the argument's bytes as typed.
template <std::string Options::*field>
std::string Bytes(const GivenOption& given, Options& options) {
    options.*field = given.bytes(given.Last());
    return {};
}

// A name the program looks up (a destination, a project).
template <std::string Options::*field>
std::string Text(const GivenOption& given, Options& options) {
    options.*field = given.Last().toStdString();
    return {};
}

// A repeatable option: every value, in order.
template <std::vector<std::string> Options::*field>
std::string Each(const GivenOption& given, Options& options) {
    for (const QString& value : given.values) {
        (options.*field).push_back(value.toStdString());
    }
    return {};
}

// --help and --version end the parsing before any option sets anything.
std::string AnsweredFirst(const GivenOption&, Options&) {
    return {};
}

// A whole number from minimum to maximum.
bool WholeNumberIn(const QString& text, long long minimum, long long maximum, long long& value) {
    bool ok = false;
    value = text.toLongLong(&ok);
    return ok && value >= minimum && value <= maximum;
}

// The two whole numbers of "AxB" or "A/B".
bool NumberPair(const QString& text, QChar separator, int& first, int& second) {
    const QStringList parts = text.split(separator);
    bool okFirst = false, okSecond = false;
    if (parts.size() == 2) {
        first = parts[0].toInt(&okFirst);
        second = parts[1].toInt(&okSecond);
    }
    return okFirst && okSecond;
}

std::string QualityOffset(const GivenOption& given, Options& options) {
    long long value = 0;
    if (!WholeNumberIn(given.Last(), -100, 100, value)) {
        return "--quality-offset takes a number from -100 to 100";
    }
    options.qualityOffset = static_cast<int>(value);
    options.hasQualityOffset = true;
    return {};
}

std::string MaxBytes(const GivenOption& given, Options& options) {
    if (!WholeNumberIn(given.Last(), 1, 2147483647, options.maxBytes)) {
        return "--max-bytes takes a number of bytes from 1 to 2147483647";
    }
    return {};
}

std::string Thumbs(const GivenOption& given, Options& options) {
    int& width = options.thumbWidth;
    int& height = options.thumbHeight;
    if (!NumberPair(given.Last().toLower(), 'x', width, height) || width < 1 || width > 32000 ||
        height < 1 || height > 32000) {
        return "--thumbs takes WxH, each from 1 to 32000";
    }
    return {};
}

std::string Jobs(const GivenOption& given, Options& options) {
    long long value = 0;
    if (!WholeNumberIn(given.Last(), 1, 256, value)) {
        return "--jobs takes a number from 1 to 256";
    }
    options.jobs = static_cast<int>(value);
    return {};
}

std::string Shard(const GivenOption& given, Options& options) {
    if (!NumberPair(given.Last(), '/', options.shardIndex, options.shardCount) ||
        options.shardCount < 1 || options.shardIndex < 0 ||
        options.shardIndex >= options.shardCount) {
        return "--shard takes I/N with 0 <= I < N";
    }
    return {};
}

std::string MaxPixels(const GivenOption& given, Options& options) {
    bool ok = false;
    options.maxPixels = given.Last().toULongLong(&ok);
    if (!ok || options.maxPixels < 1) {
        return "--max-pixels takes a positive number of pixels";
    }
    return {};
}

std::string ImageFormat(const GivenOption& given, Options& options) {
    options.imageFormat = given.Last().toLower().toStdString();
    return {};
}

// ------------------------------------------------------------- the table

const std::vector<OptionSpec> kOptions = {
    {HelpSection::General, "op", "\"NAME\"",
          "an operation by its menu name without \"&\": the group\n"
          "and the name (\"Filter Sharpen\", \"Convert to Grayscale\n"
          "(8-bit)\") or the name alone (\"Resample\"); repeatable",
     Each<&Options::operations>},
    {HelpSection::General, "set", "RECORD.FIELD=VALUE",
          "change one settings field for this run only (never\n"
          "written back); fields not set keep their stored\n"
          "values, so to make a picture 800 pixels wide keeping\n"
          "its aspect ratio set both sides:\n"
          "--op Resample --set Resample.width=800\n"
          "  --set Resample.height=32767\n"
          "  --set Resample.keepAspect=1",
     Each<&Options::sets>},
    {HelpSection::General, "quality-offset", "N",
          "format-specific write adjustment (JPEG: -100..100;\n"
          "positive values raise the quality towards the best\n"
          "level and make larger files, negative ones lower it\n"
          "towards the coarsest level and make smaller files)",
     QualityOffset},
    {HelpSection::General, "max-bytes", "N",
          "convert, batch: write each file at the best level\n"
          "whose file is at most N bytes (JPEG); an image that\n"
          "cannot get that small fails with a message",
     MaxBytes},
    {HelpSection::General, "exact-decode", nullptr,
          "convert, batch: decode every picture at its full size.\n"
          "Without it a JPEG picture whose first operation\n"
          "shrinks it to a size of its own (Resample) at least\n"
          "twice is decoded at 1/2, 1/4 or 1/8 of its size, still\n"
          "at least the target's size, and resampled from there:\n"
          "faster and leaner, within a few grey levels of the\n"
          "exact result",
     Switch<&Options::exactDecode>},
    {HelpSection::General, "settings", "FILE",
          "read settings from FILE instead of the program's\n"
          "settings file (default: $PIXMILL_SETTINGS, else\n"
          "~/.config/QOREL Technologies/Pixmill.ini)",
     Bytes<&Options::settingsFile>},
    {HelpSection::General, "json", nullptr,
          "info, ops, formats: machine-readable output (JSON)",
     Switch<&Options::json>},
    {HelpSection::General, "open", nullptr,
          "help: open the page instead of printing its path",
     Switch<&Options::openPage>},
    {HelpSection::Batch, "out", "DIR",
          "the folder the results go to (created when missing)",
     Bytes<&Options::outDir>},
    {HelpSection::Batch, "profile", "FILE.prf",
          "the formats, operations and log file of a batch\n"
          "profile saved by the desktop program",
     Bytes<&Options::profile>},
    {HelpSection::Batch, "format", "NAME",
          "an output format by its short name (\"JPEG\", \"TIFF\");\n"
          "repeatable; none: each image keeps its own format",
     Each<&Options::formats>},
    {HelpSection::Batch, "op", "NAME",
          "(with batch) an operation of the run, as for convert\n"
          "or by its profile name (\"Filter Sharpen\"); operations\n"
          "run in the program's fixed order; colour conversions\n"
          "run per output format that can store their result",
     nullptr},
    {HelpSection::Batch, "thumbs", "WxH",
          "also write a thumbnail of at most W x H pixels",
     Thumbs},
    {HelpSection::Batch, "thumb-name", "TEXT",
          "what the thumbnail's name adds (default \"_Thumb\")",
     Bytes<&Options::thumbName>},
    {HelpSection::Batch, "fit", nullptr,
          "thumbnails of exactly W x H (the aspect ratio is not\n"
          "kept)",
     Switch<&Options::fit>},
    {HelpSection::Batch, "smart-cut", nullptr,
          "thumbnails of exactly W x H cut from the middle of\n"
          "the image (the aspect ratio is kept)",
     Switch<&Options::smartCut>},
    {HelpSection::Batch, "thumbs-only", nullptr,
          "write thumbnails only, not the images themselves",
     Switch<&Options::thumbsOnly>},
    {HelpSection::Batch, "copy-original", nullptr,
          "the main file is the input file's bytes unchanged\n"
          "beside its thumbnail, which is still made from the\n"
          "result (needs --thumbs WxH)",
     Switch<&Options::copyOriginal>},
    {HelpSection::Batch, "log", "FILE",
          "the log file (default: DIR/qorel.log, or the\n"
          "profile's log file)",
     Bytes<&Options::logFile>},
    {HelpSection::Batch, "dest", "NAME",
          "a destination library by its name (default: the\n"
          "built-in \"Image files\")",
     Text<&Options::destination>},
    {HelpSection::Batch, "dest-profile", "FILE",
          "the destination's own settings file (for \"HTML\n"
          "pages\": an HTML generation profile, .vhb)",
     Bytes<&Options::destProfile>},
    {HelpSection::Batch, "project", "NAME",
          "the destination's project name in DIR (for \"HTML\n"
          "pages\": the first page's name, e.g. album.htm)",
     Text<&Options::project>},
    {HelpSection::Batch, "sizes", "W,W,...",
          "with --dest \"HTML pages\" and modern pages: also\n"
          "write every picture at these widths in pixels (e.g.\n"
          "480,960,1600), in each --format, for browsers to\n"
          "choose from; a picture is never enlarged (a width at\n"
          "or above its own is the full picture). Overrides\n"
          "the profile's \"Picture sizes\"",
     Text<&Options::sizes>},
    {HelpSection::Batch, "recursive", nullptr,
          "descend into sub-folders of folder inputs",
     Switch<&Options::recursive>},
    {HelpSection::Batch, "jobs", "N",
          "worker processes (default: one per core); each has\n"
          "its own plug-ins, the log keeps the input order",
     Jobs},
    {HelpSection::Batch, "shard", "I/N",
          "process only every N-th image starting at I (0-based),\n"
          "to spread one collection over N machines",
     Shard},
    {HelpSection::Batch, "pages-only", nullptr,
          "with --dest \"HTML pages\": write the gallery's pages\n"
          "from what its --shard runs into the same --out left\n"
          "(after the last shard); no picture is read. Sharded\n"
          "gallery runs write no pages themselves",
     Switch<&Options::pagesOnly>},
    {HelpSection::Batch, "fast-decode", nullptr,
          "the default, kept for older scripts: see --exact-decode",
     Switch<&Options::fastDecode>},
    {HelpSection::Batch, "force", nullptr,
          "convert: allow OUT to be the input file, and replace\n"
          "a read-only OUT; batch: replace read-only outputs,\n"
          "and a log file (--log, a profile's) that is not a\n"
          "batch log;\n"
          "page: allow replacing the input page and an\n"
          "existing flattened picture",
     Switch<&Options::force>},
    {HelpSection::Batch, "max-pixels", "N",
          "refuse pictures of more than N pixels (width x\n"
          "height) before reading them (default: the stored\n"
          "setting MaxImagePixels, else 268435456)",
     MaxPixels},
    {HelpSection::Batch, "allow-damaged", nullptr,
          "convert, batch: keep the picture of a damaged file\n"
          "(a truncated or corrupt JPEG) with a warning instead\n"
          "of failing",
     Switch<&Options::allowDamaged>},
    {HelpSection::Batch, "strip", nullptr,
          "convert, batch: write no ICC colour profile and no\n"
          "EXIF. By default both are kept where the output\n"
          "format can hold them (JPEG, PNG, TIFF, WebP, AVIF;\n"
          "not GIF): without its profile a wide-gamut photo\n"
          "shows wrong colours, and EXIF holds the camera,\n"
          "date and orientation. Stripping saves their bytes\n"
          "(often tens of kilobytes) for pictures on the web;\n"
          "thumbnails never carry either",
     Switch<&Options::strip>},
    {HelpSection::Batch, "to-srgb", nullptr,
          "convert, batch: convert a picture that carries an ICC\n"
          "profile to sRGB and write it without the profile\n"
          "(untagged pixels are sRGB to browsers). Thumbnails,\n"
          "--strip and formats without profiles (GIF) always\n"
          "convert",
     Switch<&Options::toSrgb>},
    {HelpSection::Batch, "web-safe", nullptr,
          "convert, batch: leave out of the EXIF what a picture\n"
          "on the web should not tell: the location (GPS),\n"
          "serial numbers, owner and artist names, maker notes,\n"
          "the camera's embedded preview.\n"
          "The \"HTML pages\" destination always does",
     Switch<&Options::webSafe>},
    {HelpSection::Batch, "keep-location", nullptr,
          "with --web-safe or the \"HTML pages\" destination:\n"
          "keep the GPS location (the rest is still removed)",
     Switch<&Options::keepLocation>},
    {HelpSection::Batch, "no-auto-orient", nullptr,
          "convert, batch, info: keep the pixels as stored\n"
          "instead of turning a photograph upright by its EXIF\n"
          "orientation (the default turns it, and the written\n"
          "file says orientation 1)",
     Switch<&Options::noAutoOrient>},
    {HelpSection::Batch, "q,quiet", nullptr,
          "no progress bar and no report of what was written",
     Switch<&Options::quiet>},
    {HelpSection::Batch, "h,help", nullptr,
          "this text",
     AnsweredFirst},
    {HelpSection::Batch, "version", nullptr,
          "the program's version",
     AnsweredFirst},
    {HelpSection::OwnWords, "form", "FORM", "", Text<&Options::pageForm>},
    {HelpSection::OwnWords, "image-format", "FORMAT", "", ImageFormat},
};

// ---------------------------------------------------------------- --help

constexpr const char* kHelpHead = R"HELP(Usage: pixmill-cli COMMAND [OPTIONS] [ARGUMENTS]

Opens, processes and saves images with Pixmill's plug-ins, without windows.

Commands:
  formats                 list every loaded format: name, long name, extensions,
                          capabilities and the image kinds it can store
                          (--json: a JSON array)
  ops                     list every operation: command id, group, name,
                          description, flags and kind (--json: a JSON array)
  info FILE...            show format, size (as the picture opens: upright),
                          depth, palette, transparency, resolution, file
                          size, the sizes of the ICC profile (with its
                          description) and EXIF block, the EXIF orientation
                          and whether a GPS location is present of each file
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
  page convert PAGE OBJECT --form html|applet|image-map|responsive --out NEWPAGE
                          write the page again as NEWPAGE with the object in
                          another form; pictures are written beside NEWPAGE
                          (--image-format gif|png|jpg for the flattened
                          picture and pictures not in a web format; default
                          png); the input page is never replaced without
                          --force

)HELP";

constexpr const char* kHelpTail = R"HELP(Progress is drawn on stderr when it is a terminal. Ctrl+C ends the current
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

// The help's column: names and argument in the first 24 characters after
// two blanks, the text from the 27th; longer names put the text below.
constexpr size_t kNameWidth = 24;

QStringList NamesOf(const OptionSpec& option) {
    return QString::fromLatin1(option.names).split(',');
}

std::string HelpEntry(const OptionSpec& option) {
    std::string label;
    for (const QString& name : NamesOf(option)) {
        label += (label.empty() ? "" : ", ") + std::string(name.size() == 1 ? "-" : "--") +
                 name.toStdString();
    }
    if (option.argument != nullptr) {
        label += std::string(" ") + option.argument;
    }
    const std::string indent(2 + kNameWidth, ' ');
    std::string text = "  " + label;
    if (label.size() + 2 <= kNameWidth) {
        text += std::string(kNameWidth - label.size(), ' ');
    } else {
        text += "\n" + indent;
    }
    for (const char* c = option.help; *c != '\0'; ++c) {
        text += *c;
        if (*c == '\n') {
            text += indent;
        }
    }
    return text + "\n";
}

std::string HelpSectionText(HelpSection section) {
    std::string text;
    for (const OptionSpec& option : kOptions) {
        if (option.section == section) {
            text += HelpEntry(option);
        }
    }
    return text;
}

std::string MakeHelpText() {
    return kHelpHead + std::string("Options:\n") + HelpSectionText(HelpSection::General) +
           "\nBatch options:\n" + HelpSectionText(HelpSection::Batch) + "\n" + kHelpTail;
}

// --------------------------------------------------------------- parsing

// File names are bytes: an argument that does not survive the trip through
// QString unchanged (not valid in the locale's encoding) goes to the parser
// as a private-use marker that the bytes function turns back into it.
constexpr char16_t kRawMarker = 0xE000;

QStringList ArgumentsAsText(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        const QString text = QString::fromLocal8Bit(argv[i]);
        if (text.toLocal8Bit() == QByteArray(argv[i]) && !text.startsWith(QChar(kRawMarker))) {
            arguments << text;
        } else {
            arguments << QChar(kRawMarker) + QString::number(i);
        }
    }
    return arguments;
}

std::function<std::string(const QString&)> BytesOfArguments(char** argv) {
    return [argv](const QString& value) -> std::string {
        if (value.startsWith(QChar(kRawMarker))) {
            return argv[value.mid(1).toInt()];
        }
        return value.toLocal8Bit().toStdString();
    };
}

// One parser option per table row that sets something.
void DeclareOptions(QCommandLineParser& parser) {
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const OptionSpec& option : kOptions) {
        if (option.set == nullptr) {
            continue;
        }
        parser.addOption(option.argument != nullptr
                             ? QCommandLineOption(NamesOf(option), QString(),
                                                  QString::fromLatin1(option.argument))
                             : QCommandLineOption(NamesOf(option)));
    }
}

// Every given option sets Options in the table's order; the first refusal
// is the usage error.
std::string ApplyOptions(const QCommandLineParser& parser,
                         const std::function<std::string(const QString&)>& bytes,
                         Options& options) {
    for (const OptionSpec& option : kOptions) {
        const QString name = NamesOf(option).back();
        if (option.set == nullptr || !parser.isSet(name)) {
            continue;
        }
        const GivenOption given{parser.values(name), bytes};
        if (std::string refusal = option.set(given, options); !refusal.empty()) {
            return refusal;
        }
    }
    return {};
}

// Options that only mean something together.
std::string CheckCombinations(const Options& options) {
    // Without thumbnails the image files destination encodes every main
    // file: --copy-original alone would copy nothing.
    if ((options.fit || options.smartCut || options.thumbsOnly || options.copyOriginal) &&
        options.thumbWidth == 0) {
        return "--fit, --smart-cut, --thumbs-only and --copy-original need --thumbs WxH";
    }
    if (options.thumbsOnly && options.copyOriginal) {
        return "--thumbs-only and --copy-original exclude each other";
    }
    if ((!options.destProfile.empty() || !options.project.empty()) &&
        options.destination.empty()) {
        return "--dest-profile and --project need --dest NAME";
    }
    if (!options.sizes.empty() && options.destination.empty()) {
        return "--sizes needs --dest \"HTML pages\"";
    }
    if (options.pagesOnly && (options.destination.empty() || options.shardCount > 1)) {
        return "--pages-only needs --dest NAME and no --shard";
    }
    return {};
}

bool IsCommand(const std::string& name) {
    static const char* const commands[] = {"formats",  "ops",   "info", "convert",
                                           "settings", "batch", "page", "help"};
    for (const char* command : commands) {
        if (name == command) {
            return true;
        }
    }
    return false;
}

} // namespace

const std::vector<OptionSpec>& OptionTable() {
    return kOptions;
}

const char* HelpText() {
    static const std::string text = MakeHelpText();
    return text.c_str();
}

void PrintUsageError(const std::string& message) {
    std::fprintf(stderr, "pixmill-cli: %s\nTry 'pixmill-cli --help'.\n", message.c_str());
}

bool ParseArguments(int argc, char** argv, Options& options, int& exitCode) {
    auto usage = [&exitCode](const std::string& message) {
        PrintUsageError(message);
        exitCode = ExitUsage;
        return false;
    };
    QCommandLineParser parser;
    DeclareOptions(parser);
    if (!parser.parse(ArgumentsAsText(argc, argv))) {
        return usage(parser.errorText().toStdString());
    }
    if (parser.isSet("help")) {
        std::fputs(HelpText(), stdout);
        exitCode = ExitOk;
        return false;
    }
    if (parser.isSet("version")) {
        std::printf("pixmill-cli %s\n", PIXMILL_VERSION);
        exitCode = ExitOk;
        return false;
    }
    const auto bytes = BytesOfArguments(argv);
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty()) {
        return usage("no command given");
    }
    options.command = positional.first().toStdString();
    for (qsizetype i = 1; i < positional.size(); ++i) {
        options.arguments.push_back(bytes(positional[i]));
    }
    if (std::string refusal = ApplyOptions(parser, bytes, options); !refusal.empty()) {
        return usage(refusal);
    }
    if (std::string refusal = CheckCombinations(options); !refusal.empty()) {
        return usage(refusal);
    }
    if (!IsCommand(options.command)) {
        return usage("unknown command '" + options.command + "'");
    }
    return true;
}

bool SameFile(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

MetadataPrivacy PrivacyOf(const Options& options, bool gallery) {
    if (!options.webSafe && !gallery) {
        return MetadataPrivacy::KeepAll;
    }
    return options.keepLocation ? MetadataPrivacy::KeepLocation : MetadataPrivacy::WebSafe;
}

} // namespace pixmill::cli
