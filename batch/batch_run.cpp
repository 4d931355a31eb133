#include "batch/batch_run.h"

#include "batch/batch_job.h"
#include "batch/thumbnail_maker.h"
#include "host/atomic_file.h"
#include "host/color_management.h"
#include "host/host_services.h"
#include "host/image_io.h"
#include "host/orientation.h"
#include "host/progress.h"
#include "host/reduced_decode.h"
#include "host/streams.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/pane.h"
#include "pixmill/processing_plugin.h"
#include "pixmill/side_file.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pixmill {

namespace {

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string text(static_cast<size_t>(std::max(length, 0)), '\0');
    std::vsnprintf(text.data(), text.size() + 1, format, args);
    va_end(args);
    return text;
}

// "jpg" from "*.jpg;*.jif;*.jpeg": the first entry from its third character.
std::string FirstExtension(const std::string& list) {
    const std::string entry = list.substr(0, list.find(';'));
    return entry.size() > 2 ? entry.substr(2) : std::string();
}

// The name up to its first "." (the whole name when a "." comes first or
// not at all).
std::string BaseName(const std::string& name) {
    const size_t dot = name.find('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

} // namespace

BatchRun::BatchRun(BatchJob& job, BatchSource* source, BatchDestination* destination)
    : job(job), source(source), destination(destination), sourceImage(&job.Host()),
      resultImage(&job.Host()), outputPolicy(job.OutputPolicy()) {
    const MetadataPrivacy asked = job.DestinationPrivacy(destination);
    // The stricter of the two: web-safe over keeping the location over all.
    if (asked == MetadataPrivacy::WebSafe ||
        (asked == MetadataPrivacy::KeepLocation && outputPolicy.privacy == MetadataPrivacy::KeepAll)) {
        outputPolicy.privacy = asked;
    }
}

BatchRun::~BatchRun() {
    ReleaseKeptItem();
}

void BatchRun::Log(const std::string& text) {
    if (log != nullptr) {
        log->Write(text.data(), text.size());
    }
}

void BatchRun::LogError(const char* format, const std::string& subject, CQorelError& error) {
    // Stepping one image at a time, the user sees the error as well.
    const char* why = error.Report(interactive && !processingAll);
    Log(Format(format, subject.c_str(), why));
}

std::unique_ptr<FileStream> OpenLogFile(const std::string& path, bool replaceAny) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && path != "/dev/null") {
        if (const char* kind = NonFileKind(info.st_mode)) {
            throw SideFileError(path, std::string("the batch log must be a regular file, not ") +
                                          kind);
        }
        bool isLog = info.st_size == 0;
        if (!isLog) {
            // A short read (a file we may not read) counts as not a log.
            char head[sizeof kLogStart - 1] = {};
            const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
            if (fd >= 0) {
                isLog = read(fd, head, sizeof head) == static_cast<ssize_t>(sizeof head) &&
                        std::memcmp(head, kLogStart, sizeof head) == 0;
                close(fd);
            }
        }
        if (!isLog && !replaceAny) {
            throw SideFileError(path, "exists and is not a batch log; it is kept (choose "
                                      "another log file, or --force to replace it)");
        }
    }
    return std::make_unique<FileStream>(path, FileStream::ForWriting);
}

bool BatchRun::Start() {
    Prepare();
    Log(Format("%s%d\r\n\r\nStart batch processing...\r\n\r\n", kLogStart, total));
    for (const std::string& line : startNotes) {
        Log(line + "\r\n");
    }
    if (!startNotes.empty()) {
        Log("\r\n");
    }
    if (!NextImage()) {
        // The destination still hears that the run ended (a sharded
        // gallery's part then says this shard made nothing).
        destination->EndBatch(log, true);
        Finish(NothingLoaded);
        return false;
    }
    return true;
}

bool BatchRun::ProcessNext() {
    processingAll = true;
    return NextImage() && SaveCurrentToAll();
}

void BatchRun::Prepare() {
    if (externalLog != nullptr) {
        log = externalLog;
    } else {
        ownLog = OpenLogFile(job.LogFileName(), replaceAnyLog);
        log = ownLog.get();
    }
    if (ThumbnailSettings* settings = destination->GetThumbnailSettings()) {
        thumbnailMaker = std::make_unique<ThumbnailMaker>(job.Plugins(), *settings);
    }
    for (size_t f = 0; f < job.Formats().size(); ++f) {
        if (job.Formats()[f].selected) {
            outputs.emplace_back().format = static_cast<int>(f);
        }
    }
    if (outputs.empty()) {
        outputs.emplace_back(); // saves in each image's own format
    }
    for (OutputSlot& slot : outputs) {
        if (slot.format >= 0) {
            slot.codecFormat = job.Formats()[slot.format].format;
            slot.codec = OwnedCodec(slot.codecFormat);
        }
    }
    saveMode = destination->GetMainImageMode();
    total = source->GetCount();
    position = processed = 0;
    interrupted = processingAll = false;
}

void BatchRun::ReleaseKeptItem() {
    if (keptItem) {
        source->ReleaseItem(false);
        keptItem = false;
    }
    pendingExtensions.clear();
}

bool BatchRun::NextImage() {
    hasImage = false;
    for (;;) {
        operationsDone = operationsFailed = false;
        ReleaseKeptItem();
        BatchItem* item = source->NextItem(log);
        if (item == nullptr) {
            return false;
        }
        if (LoadItem(item) && RunImageOperations()) {
            hasImage = true;
            for (OutputSlot& slot : outputs) {
                slot.converted = slot.thumbnailMade = slot.saved = false;
                slot.convertedImage.reset();
                slot.thumbnailImage.reset();
            }
            return true;
        }
        // Between failing images too, Cancel gets its chance.
        if (pumpBetweenItems) {
            pumpBetweenItems();
        }
        if (interrupted) {
            return false;
        }
    }
}

SIZE BatchRun::FastDecodeSize(CFormatPlugin* format, CVStream& stream) {
    if (!job.FastDecode()) {
        return {0, 0};
    }
    for (int p = 0; p < job.ImageOperationCount(); ++p) {
        if (job.Order()[p].state != BatchJob::NotChosen) {
            return ReducedDecodeSize(&job.Host(), format, stream,
                                     job.SelectOperation(job.Order()[p].operation));
        }
    }
    return {0, 0};
}

bool BatchRun::LoadItem(BatchItem* item) {
    itemIndex = item->index;
    itemName = item->name != nullptr ? item->name : "";
    itemExtra = item->extra;
    itemKind = source->GetContentKind();
    itemContent = item->content;
    itemPath = itemKind == ContentFilePath && item->content != nullptr
                   ? static_cast<const char*>(item->content)
                   : "";
    sourceFormat = nullptr;
    sourceMetadata.Clear();
    CFormatPlugin* recognised = nullptr;
    try {
        if (itemKind == ContentImage) {
            CVImage::CopyImage(&sourceImage, static_cast<const CVImage*>(item->content), nullptr);
        } else {
            std::unique_ptr<FileStream> file;
            CVStream* stream = static_cast<CVStream*>(item->content);
            if (itemKind == ContentFilePath) {
                file = std::make_unique<FileStream>(itemPath, FileStream::ForReading);
                stream = file.get();
            }
            recognised = stream != nullptr ? FormatForReading(job.Plugins(), *stream) : nullptr;
            if (recognised == nullptr) {
                Log(Format("Can`t recognize %s file format\r\n", itemName.c_str()));
                source->ReleaseItem(false);
                return false;
            }
            const SIZE reduced = FastDecodeSize(recognised, *stream);
            CVImage fresh(&job.Host());
            // Partly transparent pixels stay for the writers that store them;
            // operations and writers that do not get them flattened.
            const KeepAlphaScope keepAlpha(job.Host());
            ReadImageWith(recognised, *stream, fresh, reduced.cx > 0 ? &reduced : nullptr, display,
                          "Open " + itemName, &sourceMetadata);
            CVImage::CopyImage(&sourceImage, &fresh, nullptr);
            sourceFormat = recognised;
        }
    } catch (CQorelError& error) {
        LogError("%s open error : %s \r\n", itemName, error);
        source->ReleaseItem(false);
        return false;
    }
    if (saveMode == MainCopySource && recognised != nullptr) {
        pendingExtensions = recognised->GetExtensions();
        keptItem = true; // open until the bytes are copied
    } else {
        source->ReleaseItem(false);
    }
    return true;
}

bool BatchRun::RunImageOperations() {
    operationsDone = true;
    reoriented = false;
    bool ran = false;
    try {
        for (int p = 0; p < job.ImageOperationCount(); ++p) {
            const BatchJob::OperationOrder& position = job.Order()[p];
            if (position.state == BatchJob::NotChosen) {
                continue;
            }
            CProcessingPlugin* plugin = job.SelectOperation(position.operation);
            if (!plugin->CanApply(&sourceImage)) {
                continue;
            }
            const BatchJob::OperationEntry& entry = job.Operations()[position.operation];
            if (entry.settingsPane != nullptr) {
                entry.settingsPane->Commit();
            }
            HostProgress progress(display, entry.name + " " + itemName);
            FlattenForOperation(ran ? resultImage : sourceImage, plugin);
            const bool done = ran ? plugin->ApplyInPlace(&resultImage, &progress)
                                  : plugin->Apply(&sourceImage, &resultImage, &progress);
            if (!done) {
                throw CQorelError("The operation failed");
            }
            reoriented = reoriented || (plugin->GetFlags() & OpReorients) != 0;
            ran = true;
        }
        if (!ran) {
            CVImage::CopyImage(&resultImage, &sourceImage, nullptr);
        }
        return true;
    } catch (CQorelError& error) {
        LogError("%s operation error : %s \r\n", "Processing", error);
        operationsFailed = true;
        return false;
    }
}

int BatchRun::SlotEntry(const OutputSlot& slot) const {
    if (slot.format >= 0) {
        return slot.format;
    }
    // Without a chosen format each image keeps its own, when that one saves,
    // with the conversions chosen for it.
    for (size_t f = 0; f < job.Formats().size(); ++f) {
        if (sourceFormat != nullptr && job.Formats()[f].format == sourceFormat) {
            return static_cast<int>(f);
        }
    }
    return -1;
}

CFormatPlugin* BatchRun::SlotFormat(const OutputSlot& slot) const {
    const int entry = SlotEntry(slot);
    return entry >= 0 ? job.Formats()[entry].format : nullptr;
}

bool BatchRun::ConvertForSlot(OutputSlot& slot) {
    if (slot.converted) {
        return slot.convertedImage != nullptr;
    }
    slot.converted = true;
    auto converted = std::make_unique<CVImage>(&job.Host());
    bool ran = false;
    std::string name;
    const int entryIndex = SlotEntry(slot);
    try {
        if (entryIndex >= 0) {
            for (const BatchJob::Conversion& conversion : job.Formats()[entryIndex].conversions) {
                if (!conversion.chosen) {
                    continue;
                }
                const BatchJob::OperationEntry& entry = job.Operations()[conversion.operation];
                name = entry.name;
                CProcessingPlugin* plugin = job.SelectOperation(conversion.operation);
                if (!plugin->CanApply(&resultImage)) {
                    continue;
                }
                if (entry.settingsPane != nullptr) {
                    entry.settingsPane->Commit();
                }
                HostProgress progress(display, entry.name + " " + itemName);
                // The result serves every output: a conversion that does not
                // take alpha gets a flattened copy of it.
                const CVImage* input = &resultImage;
                CVImage flat(&job.Host());
                if (!ran && NeedsFlattening(resultImage, plugin)) {
                    CVImage::CopyImage(&flat, &resultImage, nullptr);
                    FlattenForOperation(flat, plugin);
                    input = &flat;
                } else if (ran) {
                    FlattenForOperation(*converted, plugin);
                }
                const bool done = ran ? plugin->ApplyInPlace(converted.get(), &progress)
                                      : plugin->Apply(input, converted.get(), &progress);
                if (!done) {
                    throw CQorelError("The operation failed");
                }
                ran = true;
            }
        }
        if (!ran) {
            CVImage::CopyImage(converted.get(), &resultImage, nullptr);
        }
        if (entryIndex >= 0) {
            if (CPluginPane* pane = job.Formats()[entryIndex].optionsPane) {
                pane->SetImage(converted.get());
                pane->Commit();
            }
        }
    } catch (CQorelError& error) {
        LogError("%s operation error : %s \r\n", name, error);
        return false;
    }
    slot.convertedImage = std::move(converted);
    return true;
}

bool BatchRun::ConvertOutput(int slot) {
    if (!hasImage || slot < 0 || static_cast<size_t>(slot) >= outputs.size()) {
        return false;
    }
    return ConvertForSlot(outputs[static_cast<size_t>(slot)]);
}

bool BatchRun::WriteTarget(OutputSlot& slot, int targetKind, void* target, const CVImage& image,
                           const int* parameter, bool withMetadata) {
    CFormatPlugin* format = SlotFormat(slot);
    try {
        // The picture as written: converted to sRGB where its profile
        // cannot go with it (a copy; the slot's image stays).
        CVImage picture(&job.Host());
        CVImage::CopyImage(&picture, &image, nullptr);
        FlattenForFormat(picture, format);
        ImageMetadata written;
        if (withMetadata) {
            ImageMetadata followed = sourceMetadata;
            FollowPictureChange(followed, image.Width(), image.Height(), reoriented);
            written = MetadataForOutput(picture, followed, format, outputPolicy);
        }
        const ImageMetadata* metadata = written.Empty() ? nullptr : &written;
        if (format == nullptr || !format->CanSave(&picture)) {
            throw CVImageError(CVImageError::UnsupportedFormat);
        }
        CFormatCodec* codec = format == slot.codecFormat ? slot.codec.get() : nullptr;
        const std::string title = "Save " + itemName;
        if (targetKind == TargetImages) {
            CVImage::CopyImage(static_cast<CVImage*>(target), &picture, nullptr);
            return true;
        }
        if (targetKind == TargetFileNames) {
            AtomicFile file(static_cast<const char*>(target));
            FileStream stream(file.Temporary(), FileStream::ForWriting);
            if (WriteImage(format, picture, stream, parameter, display, title, codec, metadata) < 0) {
                throw CVImageError(CVImageError::WriteError);
            }
            slot.savedSize = stream.Seek(0, CVStream::FromCurrent);
            stream.Close();
            file.Commit();
            return true;
        }
        CVStream* stream = static_cast<CVStream*>(target);
        if (WriteImage(format, picture, *stream, parameter, display, title, codec, metadata) < 0) {
            throw CVImageError(CVImageError::WriteError);
        }
        slot.savedSize = stream->Seek(0, CVStream::FromCurrent);
        return true;
    } catch (CQorelError& error) {
        LogError("%s save error : %s \r\n", itemName, error);
        return false;
    }
}

void BatchRun::CopySourceBytes(int targetKind, void* target) {
    std::unique_ptr<FileStream> file;
    CVStream* from = static_cast<CVStream*>(itemContent);
    if (itemKind == ContentFilePath) {
        file = std::make_unique<FileStream>(itemPath, FileStream::ForReading);
        from = file.get();
    }
    from->Seek(0, CVStream::FromStart);
    std::unique_ptr<AtomicFile> named;
    std::unique_ptr<FileStream> namedStream;
    CVStream* to = static_cast<CVStream*>(target);
    if (targetKind == TargetFileNames) {
        named = std::make_unique<AtomicFile>(static_cast<const char*>(target));
        namedStream = std::make_unique<FileStream>(named->Temporary(), FileStream::ForWriting);
        to = namedStream.get();
    }
    char buffer[16000];
    for (;;) {
        const size_t n = from->Read(buffer, sizeof buffer);
        to->Write(buffer, n);
        if (n < sizeof buffer) {
            break;
        }
    }
    if (named != nullptr) {
        namedStream->Close();
        named->Commit();
    }
}

bool BatchRun::SaveToSlot(OutputSlot& slot) {
    CFormatPlugin* format = SlotFormat(slot);
    const std::string formatExtensions = format != nullptr ? format->GetExtensions() : "";
    const std::string baseName = BaseName(itemName);
    // A copy of the source's bytes would publish what web output leaves out
    // of the EXIF: such a picture is encoded instead.
    std::vector<uint8_t> publishable = sourceMetadata.exif;
    RemovePrivateExif(publishable, outputPolicy.privacy);
    const bool copying = saveMode == MainCopySource && !pendingExtensions.empty() &&
                         publishable == sourceMetadata.exif;
    const std::string mainExtension =
        FirstExtension(copying ? pendingExtensions : formatExtensions);
    const std::string thumbnailExtension = FirstExtension(formatExtensions);
    SaveRequest request;
    request.index = itemIndex;
    request.baseName = baseName.c_str();
    request.extra = itemExtra;
    request.mainExtension = mainExtension.c_str();
    request.thumbnailExtension = thumbnailExtension.c_str();
    request.width = resultImage.Width();
    request.height = resultImage.Height();
    const int entryIndex = SlotEntry(slot);
    request.formatInfo[0] = entryIndex >= 0 ? job.Formats()[entryIndex].pluginIndex : -1;
    request.formatInfo[1] = reinterpret_cast<intptr_t>(format);
    request.sourcePath = itemPath.empty() ? nullptr : itemPath.c_str();

    bool mainSaved = false, thumbnailSaved = false, complete = false;
    SaveTargets* targets = nullptr;
    try {
        targets = destination->BeginSave(&request, log);
        if (targets != nullptr && !operationsDone) {
            RunImageOperations();
        }
        if (targets != nullptr && !operationsFailed) {
            const int kind = destination->GetTargetKind();
            complete = true;
            if (targets->main != nullptr) {
                if (copying && itemKind != ContentImage) {
                    CopySourceBytes(kind, targets->main);
                    mainSaved = true;
                } else {
                    mainSaved =
                        ConvertForSlot(slot) &&
                        WriteTarget(slot, kind, targets->main, *slot.convertedImage, nullptr, true);
                }
                complete = mainSaved;
            }
            if (targets->thumbnail != nullptr && thumbnailMaker != nullptr) {
                if (ConvertForSlot(slot) && !slot.thumbnailMade) {
                    slot.thumbnailMade = true;
                    auto thumbnail = std::make_unique<CVImage>(&job.Host());
                    HostProgress progress(display, "Create Thumbnail");
                    if (thumbnailMaker->Make(*slot.convertedImage, *thumbnail, &progress)) {
                        // Thumbnails carry no profile: their colours are
                        // made sRGB, as browsers take them.
                        ConvertToSrgb(*thumbnail, sourceMetadata.icc);
                        slot.thumbnailImage = std::move(thumbnail);
                    } else {
                        Log(Format("%s save error : %s \r\n", itemName.c_str(),
                                   "The thumbnail could not be made"));
                    }
                }
                const int enhance = thumbnailMaker->Settings().enhance;
                thumbnailSaved = slot.thumbnailImage != nullptr &&
                                 WriteTarget(slot, kind, targets->thumbnail, *slot.thumbnailImage,
                                             &enhance, false);
                complete = complete && thumbnailSaved;
            }
        }
        destination->EndSave(mainSaved, thumbnailSaved);
    } catch (CQorelError& error) {
        // Opening a target, copying bytes or the destination itself: the
        // whole save is abandoned.
        try {
            destination->EndSave(false, false);
        } catch (CQorelError&) {
        }
        LogError("%s save error : %s \r\n", itemName, error);
        return false;
    }
    slot.saved = complete;
    return complete;
}

bool BatchRun::CropResult(const RECT& rect) {
    if (!hasImage) {
        return false;
    }
    try {
        CVImage cropped(&job.Host());
        CVImage::CopyImage(&cropped, &resultImage, &rect);
        CVImage::CopyImage(&resultImage, &cropped, nullptr);
    } catch (CQorelError& error) {
        LogError("%s operation error : %s \r\n", "Cropping", error);
        return false;
    }
    RedoConversions();
    return true;
}

void BatchRun::RedoConversions() {
    for (OutputSlot& slot : outputs) {
        slot.converted = slot.thumbnailMade = false;
        slot.convertedImage.reset();
        slot.thumbnailImage.reset();
    }
}

bool BatchRun::SaveCurrentToAll() {
    bool all = true;
    for (OutputSlot& slot : outputs) {
        all = SaveToSlot(slot) && all;
    }
    // An image counts as processed only when every file it asked for was
    // written.
    if (all) {
        ++processed;
    }
    return all;
}

void BatchRun::SaveTo() {
    if (Done() || !hasImage) {
        return;
    }
    if (SaveToSlot(outputs[static_cast<size_t>(currentOutput)])) {
        ++processed;
    }
    Advance();
}

void BatchRun::Skip() {
    if (Done() || !hasImage) {
        return;
    }
    Log(Format("%s is skipped\r\n", itemName.c_str()));
    Advance();
}

void BatchRun::Advance() {
    if (NextImage()) {
        ++position;
        return;
    }
    destination->EndBatch(log, true);
    Finish(Finished);
}

std::string BatchRun::StatusText(int position, int total, uint32_t n, uint32_t elapsed) {
    const uint32_t remaining = static_cast<uint32_t>(total - position);
    const uint32_t seconds = remaining * elapsed / std::max(n, 1u) / 1000;
    return Format("Process Image %d of Total %d   Time Left %u:%u'%u''", position + 1, total,
                  seconds / 3600, seconds % 3600 / 60, seconds % 60);
}

int BatchRun::ApplyToAll(const std::function<void(const std::string&)>& status,
                         const std::function<void()>& pump) {
    if (Done() || !hasImage) {
        return code;
    }
    processingAll = true;
    pumpBetweenItems = pump;
    const uint32_t startTime = clock ? clock() : 0;
    SaveCurrentToAll();
    for (uint32_t n = 1;; ++n) {
        if (!NextImage()) {
            if (interrupted) {
                return code;
            }
            break;
        }
        ++position;
        const uint32_t elapsed = (clock ? clock() : 0) - startTime;
        if (status) {
            status(StatusText(position, total, n, elapsed));
        }
        if (pump) {
            pump();
        }
        if (interrupted) {
            return code;
        }
        SaveCurrentToAll();
        if (pump) {
            pump();
        }
        if (interrupted) {
            return code;
        }
    }
    destination->EndBatch(log, true);
    Finish(AppliedToAll);
    return code;
}

void BatchRun::Cancel() {
    if (Done()) {
        return;
    }
    ReleaseKeptItem();
    interrupted = true;
    destination->EndBatch(log, false);
    Log("Batch processing was interrupted.");
    code = NothingLoaded; // the dialog's cancel answer
}

void BatchRun::Finish(int finishCode) {
    Log(Format("\r\nFinish batch processing\r\n\r\nThe number of successfuly processed images : "
               "%d\r\nThe number of unprocessed images : %d\r\n",
               processed, total - processed));
    code = finishCode;
}

} // namespace pixmill
