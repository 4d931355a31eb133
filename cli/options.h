// pixmill-cli's command line: what the user asked for (Options) and the one
// table of options it comes from. Each row declares an option once — its
// names, its argument, its help text and how it sets Options — and both the
// parser and --help are made from the table, so an option cannot be parsed
// without being listed or listed without being parsed.
#pragma once

#include "host/private_metadata.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

namespace pixmill::cli {

enum ExitCode { ExitOk = 0, ExitFailure = 1, ExitUsage = 2 };

struct Options {
    std::string command;
    std::vector<std::string> arguments;
    std::vector<std::string> operations; // --op, in order
    std::vector<std::string> sets;       // --set RECORD.FIELD=VALUE
    std::string settingsFile;            // --settings
    bool json = false;
    bool quiet = false;
    bool force = false;
    unsigned long long maxPixels = 0; // --max-pixels (0: the stored or default limit)
    bool allowDamaged = false;        // --allow-damaged
    bool strip = false;               // --strip: no ICC profile or EXIF in outputs
    bool exactDecode = false;         // --exact-decode: no reduced JPEG decoding
    bool noAutoOrient = false;        // --no-auto-orient: keep the stored pixels
    bool toSrgb = false;              // --to-srgb: sRGB pixels, no profile in outputs
    bool webSafe = false;             // --web-safe: no private EXIF in outputs
    bool keepLocation = false;        // --keep-location: web output keeps GPS
    bool hasQualityOffset = false;
    int qualityOffset = 0;
    long long maxBytes = 0; // --max-bytes: every format's targetBytes field (0: not given)

    // batch
    std::string outDir;                  // --out
    std::string profile;                 // --profile FILE.prf
    std::vector<std::string> formats;    // --format, in order
    int thumbWidth = 0, thumbHeight = 0; // --thumbs WxH (0: no thumbnails)
    std::string thumbName = "_Thumb";    // --thumb-name
    bool fit = false, smartCut = false, thumbsOnly = false, copyOriginal = false;
    std::string logFile;                // --log
    std::string destination;            // --dest NAME
    std::string destProfile;            // --dest-profile FILE (the destination's profile)
    std::string project;                // --project NAME (the destination's project name)
    std::string sizes;                  // --sizes W,W,...: a gallery's further picture widths
    int jobs = 0;                       // --jobs (0: one per core)
    int shardIndex = 0, shardCount = 1; // --shard I/N
    bool recursive = false;
    bool fastDecode = false;            // --fast-decode: the default, accepted for older scripts
    bool pagesOnly = false;             // --pages-only: a sharded gallery's pages

    // page
    std::string pageForm;    // --form html|applet|image-map
    std::string imageFormat; // --image-format gif|png|jpg
    bool openPage = false;   // help --open
};

// What web output leaves out of the EXIF: --web-safe, or always for a
// destination that publishes on the web (gallery), the location kept with
// --keep-location; otherwise everything stays.
MetadataPrivacy PrivacyOf(const Options& options, bool gallery = false);

// One option as the parser found it: every value given (in order; none for
// a switch) and the argument's bytes as typed (file names are bytes).
struct GivenOption {
    QStringList values;
    std::function<std::string(const QString&)> bytes;

    const QString& Last() const { return values.back(); }
};

// Sets Options from a given option; returns a usage error ("" when fine).
using OptionSetter = std::string (*)(const GivenOption& given, Options& options);

// Where --help lists an option.
enum class HelpSection {
    General,  // "Options:"
    Batch,    // "Batch options:"
    OwnWords, // described in its command's text (page's --form, --image-format)
};

struct OptionSpec {
    HelpSection section;
    const char* names;    // "op", or "q,quiet" (the short name first)
    const char* argument; // as --help shows it ("FILE", "\"NAME\""); null for a switch
    // The help text's lines, "\n" between them; a line's own leading blanks
    // are kept beyond the column.
    const char* help;
    // Null for a second help entry of an option declared in an earlier row
    // (batch's own words on --op).
    OptionSetter set;
};

// Every option, in --help's order.
const std::vector<OptionSpec>& OptionTable();

// The whole --help text.
const char* HelpText();

// Prints "pixmill-cli: MESSAGE" and the hint to --help on stderr.
void PrintUsageError(const std::string& message);

// Parses argv; on a usage error prints it and returns false with exitCode
// set; --help and --version are answered here (false, exit code 0).
bool ParseArguments(int argc, char** argv, Options& options, int& exitCode);

// Whether both names lead to one existing file (an output that would
// overwrite its input needs --force).
bool SameFile(const std::string& a, const std::string& b);

} // namespace pixmill::cli
