// BatchRun: one batch run as a state machine without windows. Takes images
// one by one from a source, applies the job's chosen image operations,
// converts the result for each output format and hands it to a destination,
// optionally with a thumbnail, and writes the plain-text log. The desktop
// program's batch dialog drives it one image at a time ("Save to", "Skip");
// the command line runs "Apply to all". A failing image is logged and the run
// goes on.
#pragma once

#include "host/image_io.h"
#include "host/output_metadata.h"
#include "pixmill/batch_interfaces.h"
#include "pixmill/cv_image.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pixmill {

class BatchJob;
class CFormatCodec;
class CFormatPlugin;
class CQorelError;
class CVStream;
class FileStream;
class ProgressDisplay;
class ThumbnailMaker;

// The start of every batch log; a file that begins with it is a log.
inline constexpr char kLogStart[] = "The number of selected images : ";

// Creates the batch log at path. A profile may name any file as its log, so
// the log replaces only nothing, an empty file, a log or /dev/null; any other
// file only with replaceAny, and never a folder, FIFO, socket or other
// device. A CVFileError says why a file was refused.
std::unique_ptr<FileStream> OpenLogFile(const std::string& path, bool replaceAny);

class BatchRun {
  public:
    // How the run ended.
    enum Code {
        Running = 0,
        Finished = 1,      // the last image was stepped through
        NothingLoaded = 2, // no image could be loaded at all (also: cancelled)
        AppliedToAll = 1115,
    };

    // One output format of the run and what it made of the current image.
    struct OutputSlot {
        int format = -1; // index into the job's Formats(); -1: the image's own format
        OwnedCodec codec; // the slot format's, for every image of the run
        CFormatPlugin* codecFormat = nullptr;
        std::unique_ptr<CVImage> convertedImage;
        std::unique_ptr<CVImage> thumbnailImage;
        bool converted = false, thumbnailMade = false, saved = false;
        int64_t savedSize = 0;
    };

    BatchRun(BatchJob& job, BatchSource* source, BatchDestination* destination);
    ~BatchRun(); // closes the log, releases the codecs
    BatchRun(const BatchRun&) = delete;
    BatchRun& operator=(const BatchRun&) = delete;

    void SetProgressDisplay(ProgressDisplay* display) { this->display = display; }
    // Milliseconds from a fixed start; the time left is computed from it.
    void SetClock(std::function<uint32_t()> clock) { this->clock = std::move(clock); }
    // Writes the log into this stream instead of creating the log file.
    void SetLogStream(CVStream* stream) { externalLog = stream; }
    // Whether the log may replace a file that is not a log (see OpenLogFile).
    void SetReplaceAnyLog(bool on) { replaceAnyLog = on; }
    // Lines written right after the start text (inputs that were left out).
    void SetStartNotes(std::vector<std::string> lines) { startNotes = std::move(lines); }
    // Whether errors are shown through the user-interface service as well.
    void SetInteractive(bool on) { interactive = on; }

    // Creates the log (a CVFileError when it cannot be created: no image is
    // touched then), writes the start text and loads the first image. False
    // when no image could be loaded: the run then finished with code 2.
    bool Start();
    // For a worker that handles single images of a larger run: prepares the
    // log, the output slots and the thumbnail maker, writing nothing.
    void Prepare();
    // Loads the source's next image and saves it to every output slot,
    // logging its failures; true when it was saved. No start or finish text.
    bool ProcessNext();
    // "Save to": saves the current image to the current output slot, then
    // moves on.
    void SaveTo();
    // "Skip": logs the image as skipped and moves on.
    void Skip();
    // "Apply to all": saves the current image and every further one to
    // every output slot. status shows "Process Image %d of Total %d   Time
    // Left %d:%d'%d''"; pump lets pending work run (it may call Cancel).
    // Returns the code (1115, or 2 when cancelled).
    int ApplyToAll(const std::function<void(const std::string&)>& status,
                   const std::function<void()>& pump);
    // "Cancel": tells the destination the batch ended unfinished and logs
    // "Batch processing was interrupted.".
    void Cancel();

    // The preview's crop tool: crops the result (picture coordinates); its
    // errors are logged as "Cropping" operation errors. The output slots
    // convert and make thumbnails afresh.
    bool CropResult(const RECT& rect);
    // Saves the current image to every output slot (as "Apply to all" does);
    // true when every write it asked for succeeded.
    bool SaveCurrentToAll();
    // Loads the next image; false when the source has none left.
    bool NextImage();
    // The preview of an output slot: converts the current image for it as
    // its save will (once per image); false when a conversion failed.
    bool ConvertOutput(int slot);
    // The chosen conversions or settings changed: every output slot converts
    // and makes its thumbnail afresh.
    void RedoConversions();
    // The current image's ICC profile and EXIF (none when the job strips).
    const ImageMetadata& SourceMetadata() const { return sourceMetadata; }

    int Code() const { return code; }
    bool Done() const { return code != Running; }
    bool Interrupted() const { return interrupted; }
    int Position() const { return position; }
    int Processed() const { return processed; }
    int Total() const { return total; }
    // The log the run writes (after Start or Prepare).
    CVStream* LogStream() const { return log; }
    bool HasImage() const { return hasImage; }
    const CVImage& SourceImage() const { return sourceImage; }
    const CVImage& ResultImage() const { return resultImage; }
    std::vector<OutputSlot>& Outputs() { return outputs; }
    int CurrentOutput() const { return currentOutput; }
    void SetCurrentOutput(int slot) { currentOutput = slot; }
    const std::string& ItemName() const { return itemName; }

    // "Process Image %d of Total %d   Time Left %d:%d'%d''" for n images
    // processed in elapsed milliseconds, in unsigned 32-bit arithmetic.
    static std::string StatusText(int position, int total, uint32_t n, uint32_t elapsed);

  private:
    void Log(const std::string& text);
    void LogError(const char* format, const std::string& subject, CQorelError& error);
    void Advance();
    void Finish(int finishCode);
    void ReleaseKeptItem();
    bool LoadItem(BatchItem* item);
    bool RunImageOperations();
    bool ConvertForSlot(OutputSlot& slot);
    int SlotEntry(const OutputSlot& slot) const;
    CFormatPlugin* SlotFormat(const OutputSlot& slot) const;
    bool SaveToSlot(OutputSlot& slot);
    // withMetadata: the source's metadata goes with the image.
    bool WriteTarget(OutputSlot& slot, int targetKind, void* target, const CVImage& image,
                     const int* parameter, bool withMetadata);
    void CopySourceBytes(int targetKind, void* target);
    SIZE FastDecodeSize(CFormatPlugin* format, CVStream& stream);

    BatchJob& job;
    BatchSource* source;
    BatchDestination* destination;
    ProgressDisplay* display = nullptr;
    std::function<uint32_t()> clock;
    std::unique_ptr<CVStream> ownLog;
    CVStream* externalLog = nullptr;
    bool replaceAnyLog = false;
    std::vector<std::string> startNotes;
    CVStream* log = nullptr;
    bool interactive = false;
    std::function<void()> pumpBetweenItems;

    // The current item (copied: the source may forget it before the save).
    int itemIndex = 0;
    std::string itemName;
    intptr_t itemExtra = 0;
    int itemKind = ContentFilePath;
    void* itemContent = nullptr;
    std::string itemPath;
    CFormatPlugin* sourceFormat = nullptr;

    CVImage sourceImage;
    CVImage resultImage;
    ImageMetadata sourceMetadata;
    // What main images carry of the source's metadata: the job's setting,
    // with the destination's own privacy where it asks for more.
    OutputMetadataPolicy outputPolicy;
    bool reoriented = false; // an operation turned or flipped the picture
    std::vector<OutputSlot> outputs;
    int currentOutput = 0;
    std::unique_ptr<ThumbnailMaker> thumbnailMaker;
    int saveMode = MainEncoded;
    std::string pendingExtensions; // saveMode 1: the recognising format's extensions
    bool keptItem = false;
    int total = 0;
    int position = 0;
    int processed = 0;
    bool interrupted = false;
    bool processingAll = false;
    bool operationsDone = false;
    bool operationsFailed = false;
    bool hasImage = false;
    int code = Running;
};

} // namespace pixmill
