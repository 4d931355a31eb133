// pixmill-cli: the headless front end over the program's plug-in manager
// and image documents.
#pragma once

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
    int jobs = 0;                       // --jobs (0: one per core)
    int shardIndex = 0, shardCount = 1; // --shard I/N
    bool recursive = false;
    bool fastDecode = false;

    // page
    std::string pageForm;    // --form html|applet|image-map
    std::string imageFormat; // --image-format gif|png|jpg
    bool openPage = false;   // help --open
};

// Parses argv; on a usage error prints it and returns false with exitCode set.
bool ParseArguments(int argc, char** argv, Options& options, int& exitCode);
int Run(const Options& options);
const char* HelpText();
// Whether both names lead to one existing file.
bool SameFile(const std::string& a, const std::string& b);

} // namespace pixmill::cli
