#include "host/image_doc.h"

#include "host/atomic_file.h"
#include "host/color_management.h"
#include "host/host_services.h"
#include "host/image_io.h"
#include "host/plugin_manager.h"
#include "host/progress.h"
#include "host/rectangles.h"
#include "host/save_session.h"
#include "host/streams.h"
#include "pixmill/alpha_rule.h"
#include "pixmill/errors.h"
#include "pixmill/format_plugin.h"
#include "pixmill/packed_pixels.h"
#include "pixmill/processing_plugin.h"
#include "pixmill/scope_guards.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace pixmill {

DocumentFrontEnd::~DocumentFrontEnd() = default;

ImageDoc::ImageDoc(HostServices& host, PluginManager& plugins)
    : host(host), plugins(plugins), image(&host), history(&host) {
    codecLink.image = &image;
    editContext.image = &image;
    editContext.history = &history;
}

ImageDoc::~ImageDoc() {
    ReleaseCodec();
}

void ImageDoc::ReleaseCodec() {
    pendingRead.reset();
    codecLink.codec = nullptr;
}

void ImageDoc::Report(CQorelError& error) {
    lastError = error.Report(true);
}

void ImageDoc::UpdateViews(int hint) {
    if (frontEnd != nullptr) {
        frontEnd->UpdateAllViews(hint);
    }
}

void ImageDoc::SetModified(bool modified) {
    if (modified) {
        if (state == savedState) {
            savedState = -1; // no state matches: modified until the next save
        }
    } else {
        savedState = state;
    }
}

void ImageDoc::SetSelection(const RECT& rect) {
    selection = rect;
    hasSelection = true;
}

// ------------------------------------------------------------------- titles

std::string ImageDoc::FirstExtension(CFormatPlugin* format) {
    std::string extensions = format != nullptr ? format->GetExtensions() : "";
    extensions = extensions.substr(0, extensions.find(';'));
    if (!extensions.empty() && extensions[0] == '*') {
        extensions.erase(0, 1);
    }
    return extensions;
}

std::string ImageDoc::TitleWithExtension(const std::string& text, CFormatPlugin* format) {
    if (text.find('.') != std::string::npos) {
        return text;
    }
    return text + FirstExtension(format);
}

// ------------------------------------------------------------------ opening

bool ImageDoc::OnOpenDocument(const std::string& fileName) {
    lastError.clear();
    try {
        auto stream = std::make_unique<FileStream>(fileName, FileStream::ForReading);
        if (progressiveView) {
            // Header now, pixels when the view first shows the image; the
            // stream stays open until then.
            ReleaseCodec();
            auto reader = std::make_unique<ImageReader>(FormatForReading(plugins, *stream));
            reader->ReadHeader(*stream, image, nullptr, &metadata);
            if (reader->Orientation() == 1) {
                codecLink.format = reader->Format();
                codecLink.codec = reader->Codec();
                pendingRead = std::move(reader);
                pendingStream = std::move(stream);
                pixelsPending = true;
            } else {
                // A picture to be turned changes its size with its pixels,
                // which a view sized from the header would not follow: it
                // is read whole.
                reader.reset();
                stream->Seek(0, SEEK_SET);
                ReadWhole(*stream, "Open " + fileName);
            }
        } else {
            ReadWhole(*stream, "Open " + fileName);
        }
        AfterImageFromFile(fileName);
        return true;
    } catch (CQorelError& error) {
        ReleaseCodec();
        pendingStream.reset();
        pixelsPending = false;
        Report(error);
        return false;
    }
}

void ImageDoc::ReadWhole(CVStream& stream, const std::string& progressTitle,
                         const SIZE* maxSize) {
    // Read into a fresh record, so that a failure keeps the old image. A
    // document keeps the alpha plane of a partly transparent picture: the
    // view shows it, saving keeps it where the format stores it, and
    // operations that do not take it work on the flattened picture.
    ReleaseCodec();
    const KeepAlphaScope keepAlpha(host);
    CVImage fresh(&host);
    ImageMetadata freshMetadata;
    CFormatPlugin* format = nullptr;
    ReadImageByContent(plugins, stream, fresh, maxSize, progressDisplay, progressTitle, &format,
                       &freshMetadata);
    CVImage::CopyImage(&image, &fresh, nullptr);
    metadata = std::move(freshMetadata);
    codecLink.format = format;
}

bool ImageDoc::ReadPendingPixels() {
    if (!pixelsPending) {
        return true;
    }
    pixelsPending = false;
    try {
        if (pendingRead == nullptr) {
            throw CVImageError(CVImageError::ReadError);
        }
        const KeepAlphaScope keepAlpha(host);
        pendingRead->ReadPixels(progressDisplay, "Open " + path, &metadata);
        ReleaseCodec();
        pendingStream.reset();
        return true;
    } catch (CQorelError& error) {
        ReleaseCodec();
        pendingStream.reset();
        Report(error);
        return false;
    }
}

void ImageDoc::AfterImageFromFile(const std::string& fileName) {
    path = fileName;
    const size_t slash = fileName.find_last_of('/');
    title = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    history.Clear(UndoHistory::UndoStack);
    history.Clear(UndoHistory::RedoStack);
    hasSelection = false;
    // The size on disk is the opened file's until the next save.
    std::error_code failed;
    const auto onDisk = std::filesystem::file_size(fileName, failed);
    writtenSize = failed ? 0 : static_cast<int>(std::min<uintmax_t>(onDisk, INT32_MAX));
    Touch();
    savedState = state;
}

bool ImageDoc::ReadFromStream(CVStream* stream, const SIZE* maxSize) {
    lastError.clear();
    try {
        if (stream == nullptr) {
            throw CVImageError(CVImageError::UnsupportedFormat);
        }
        ReadWhole(*stream, path.empty() ? "Open image form clipboard" : "Open " + path, maxSize);
        CFormatPlugin* format = codecLink.format;
        Touch();
        if (path.empty()) {
            SetModified(true);
        } else {
            savedState = state;
        }
        title = TitleWithExtension(title, format);
        if (path.empty()) {
            path = title;
        }
        return true;
    } catch (CQorelError& error) {
        ReleaseCodec();
        Report(error);
        return false;
    }
}

void ImageDoc::TakeImage(const CVImage& source, CFormatPlugin* format,
                         const ImageMetadata* sourceMetadata) {
    CVImage::CopyImage(&image, &source, nullptr);
    metadata = sourceMetadata != nullptr ? *sourceMetadata : ImageMetadata{};
    codecLink.format = format;
    Touch();
    SetModified(true);
    title = TitleWithExtension(title, format);
    if (path.empty()) {
        path = title;
    }
}

// ------------------------------------------------------------------- saving

bool ImageDoc::MakeStorable(HostServices& host, PluginManager& plugins, CFormatPlugin* format,
                            CVImage& target, ProgressDisplay* display, bool* converted) {
    if (converted != nullptr) {
        *converted = false;
    }
    // An alpha plane goes only to formats that store it; for the others it
    // is flattened by the alpha rule (a transparent colour where they keep
    // one, white under partly transparent pixels).
    if (FlattenForFormat(target, format) && converted != nullptr) {
        *converted = true;
    }
    if (format->CanSave(&target)) {
        return true;
    }
    const uint16_t modes = format->GetSaveModes();
    int code = 0;
    switch (target.BitCount()) {
    case 1:
        // A black and white picture becomes grey; two colours of any other
        // kind keep their colours.
        if (target.IsGray() && (modes & KindGray8)) {
            code = KindGray8;
        } else if (modes & KindRgb24) {
            code = KindRgb24;
        }
        break;
    case 4:
    case 8:
        if (target.IsGray() && !target.IsGrayRamp()) {
            if (modes & KindGray8) {
                code = KindGray8;
            }
        } else if (modes & KindRgb24) {
            code = KindRgb24;
        }
        break;
    case 24:
        if (modes & KindPaletted8) {
            code = KindPaletted8;
        }
        break;
    default:
        break;
    }
    if (code == 0) {
        return false;
    }
    // {conversion code, colour count, palette kind, 0, threshold, flag}
    uint8_t block[20] = {};
    const int32_t fields[3] = {code, 256, 2};
    std::memcpy(block, fields, sizeof fields);
    CVImage result(&host);
    HostProgress progress(display, "Convert to Paletted image");
    if (!plugins.CallChangeColors(&target, &result, &progress, block) || result.bits == nullptr) {
        return false;
    }
    CVImage::CopyImage(&target, &result, nullptr);
    if (converted != nullptr) {
        *converted = true;
    }
    return true;
}

bool ImageDoc::WriteFile(const std::string& target, CFormatPlugin* format, CVImage& storable,
                         const ImageMetadata& outgoing, bool interactive, bool* cancelled) {
    const ImageMetadata* carried = outgoing.Empty() ? nullptr : &outgoing;
    AtomicFile file(target);
    if (interactive && frontEnd != nullptr && (format->GetCapabilities() & CapOptionsPane) != 0) {
        SaveSession session(host, format, storable, progressDisplay, "Save " + target);
        session.SetWriteParameter(writeParameter);
        session.SetMetadata(carried);
        if (!frontEnd->RunSaveDialog(session)) {
            *cancelled = true; // nothing written
            return false;
        }
        FileStream stream(file.Temporary(), FileStream::ForWriting);
        session.CopyTo(stream);
        stream.Close();
        writtenSize = static_cast<int>(session.FileSize());
        file.Commit();
        return true;
    }
    ReleaseCodec();
    int written;
    {
        FileStream stream(file.Temporary(), FileStream::ForWriting);
        written = WriteImage(format, storable, stream, writeParameter ? &*writeParameter : nullptr,
                             progressDisplay, "Save " + target, nullptr,
                             carried);
        if (written >= 0) {
            stream.Close();
        }
    }
    if (written < 0) {
        return false;
    }
    writtenSize = written;
    file.Commit();
    return true;
}

bool ImageDoc::OnSaveDocument(const std::string& target, bool interactive) {
    lastError.clear();
    savedConverted = false;
    try {
        CFormatPlugin* format = FormatForWriting(plugins, target);
        if (format == nullptr) {
            throw CVImageError(CVImageError::UnsupportedFormat);
        }
        CVImage storable(&host);
        CVImage::CopyImage(&storable, &image, nullptr);
        bool converted = false;
        if (!MakeStorable(host, plugins, format, storable, progressDisplay, &converted)) {
            // The format cannot hold this kind of image and no conversion
            // suits it: say so instead of failing silently.
            throw CVImageError(CVImageError::UnsupportedFormat);
        }
        const ImageMetadata written = MetadataForOutput(storable, metadata, format, outputPolicy);
        bool cancelled = false;
        if (!WriteFile(target, format, storable, written, interactive, &cancelled)) {
            SetModified(true);
            if (!cancelled) {
                throw CVImageError(CVImageError::WriteError);
            }
            return false;
        }
        // The written copy was converted to what the format stores; the
        // picture in the window keeps its colours and its history, so a
        // later save in another format starts from the full picture.
        savedConverted = converted;
        writtenBitCount = storable.BitCount();
        codecLink.format = format;
        path = target;
        const size_t slash = target.find_last_of('/');
        title = slash == std::string::npos ? target : target.substr(slash + 1);
        savedState = state;
        UpdateViews(kHintImageChanged);
        return true;
    } catch (CQorelError& error) {
        ReleaseCodec();
        SetModified(true);
        Report(error);
        return false;
    }
}

// ------------------------------------------------------------------ editing

bool ImageDoc::ApplyCommand(int commandId) {
    lastError.clear();
    CProcessingPlugin* plugin = plugins.SelectOperation(commandId);
    if (plugin == nullptr) {
        return false;
    }
    try {
        ReadPendingPixels();
        const uint16_t flags = plugin->GetFlags();
        if (frontEnd != nullptr && frontEnd->HasParentWindow() && (flags & OpHasSettings) != 0) {
            if (!host.RunOperationDialog(plugin, &image)) {
                return false;
            }
        }
        const std::string name = plugin->GetName(false);
        HostProgress progress(progressDisplay, name);
        const bool reoriented = (flags & OpReorients) != 0;
        const int oldWidth = image.Width();
        const int oldHeight = image.Height();
        // An operation that does not take the alpha plane works on the
        // picture flattened by the alpha rule; the history keeps the plane.
        CVImage withAlpha(&host);
        const OnExit restore([&] {
            if (withAlpha.bits != nullptr) {
                CVImage::CopyImage(&image, &withAlpha, nullptr);
            }
        });
        if (image.HasAlphaPlane() && (flags & OpTakesAlpha) == 0) {
            CVImage::CopyImage(&withAlpha, &image, nullptr);
            FlattenAlphaPlane(image);
        }
        if (!keepHistory) {
            withAlpha.FreeBits(); // no history: the flattened picture is the one worked on
            if (!plugin->ApplyInPlace(&image, &progress)) {
                return false;
            }
            FollowPictureChange(image, reoriented);
        } else {
            CVImage result(&host);
            const bool onSelection = hasSelection && plugin->GetKind() == KindFilter;
            if (!(onSelection ? ApplyToSelection(*plugin, &progress, result)
                              : plugin->Apply(&image, &result, &progress))) {
                return false;
            }
            if (withAlpha.bits != nullptr) {
                CVImage::CopyImage(&image, &withAlpha, nullptr);
                withAlpha.FreeBits();
            }
            RecordUndo(name);
            CVImage::CopyImage(&image, &result, nullptr);
            FollowPictureChange(image, reoriented);
        }
        FollowSelection(oldWidth, oldHeight, reoriented);
        // What could be redone belonged to the picture before this change.
        history.Clear(UndoHistory::RedoStack);
        const int64_t before = state;
        Touch();
        if (codecLink.format != nullptr &&
            (codecLink.format->GetCapabilities() & CapCanSave) == 0 && savedState == before) {
            savedState = state; // a format that cannot save keeps the document clean
        }
        UpdateViews(kHintImageChanged);
        return true;
    } catch (CQorelError& error) {
        Report(error);
        return false;
    }
}

void ImageDoc::FollowPictureChange(const CVImage& result, bool reoriented) {
    pixmill::FollowPictureChange(metadata, result.Width(), result.Height(), reoriented);
}

namespace {
// Whether part's pixels can go into image as they are: one depth, one palette.
bool SameKind(const CVImage& image, const CVImage& part) {
    return image.BitCount() == part.BitCount() && image.paletteCount == part.paletteCount &&
           std::memcmp(image.palette, part.palette, sizeof(RGBQUAD) * part.paletteCount) == 0;
}

// Copies part into image with its top-left corner at (left, top).
void PastePixels(CVImage& image, const CVImage& part, int left, int top) {
    const int bits = image.BitCount();
    for (int y = 0; y < part.Height(); ++y) {
        const uint8_t* from = part.Row(y);
        uint8_t* to = image.Row(top + y);
        if (bits >= 8) {
            std::memcpy(to + static_cast<size_t>(left) * (bits / 8), from,
                        static_cast<size_t>(part.Width()) * (bits / 8));
        } else {
            for (int x = 0; x < part.Width(); ++x) {
                SetIndex(to, left + x, bits, GetIndex(from, x, bits));
            }
        }
    }
}
} // namespace

// A filter or adjustment with a selection changes the selected pixels only,
// as its preview showed. Where the filtered part comes back of another kind
// (a paletted picture turned RGB, say) it cannot sit inside the rest, and the
// whole picture is filtered instead.
bool ImageDoc::ApplyToSelection(CProcessingPlugin& plugin, CVProgress* progress, CVImage& result) {
    const RECT part = NormalisedInside(selection, image.Width(), image.Height());
    if (part.right <= part.left || part.bottom <= part.top) {
        return plugin.Apply(&image, &result, progress);
    }
    CVImage piece(&host);
    CVImage::CopyImage(&piece, &image, &part);
    CVImage changed(&host);
    if (!plugin.Apply(&piece, &changed, progress)) {
        return false;
    }
    if (changed.Width() != piece.Width() || changed.Height() != piece.Height() ||
        !SameKind(image, changed)) {
        return plugin.Apply(&image, &result, progress);
    }
    // A copy of its own (without a rectangle the copy would share the
    // document's pixels, and the undo entry would change with it).
    const RECT whole{0, 0, image.Width(), image.Height()};
    CVImage::CopyImage(&result, &image, &whole);
    PastePixels(result, changed, part.left, part.top);
    return true;
}

void ImageDoc::RecordUndo(const std::string& name) {
    history.Push(image, name.c_str(), selection, state, UndoHistory::UndoStack, &metadata);
    history.Clear(UndoHistory::RedoStack);
    undoName = name;
}

void ImageDoc::FollowSelection(int oldWidth, int oldHeight, bool reoriented) {
    if (!hasSelection ||
        (!reoriented && image.Width() == oldWidth && image.Height() == oldHeight)) {
        return;
    }
    if (reoriented) {
        // The same rectangle would cover another part of a turned picture.
        hasSelection = false;
        selection = RECT{};
        return;
    }
    selection = ScaledRect(selection, oldWidth, oldHeight, image.Width(), image.Height());
    hasSelection = selection.right > selection.left && selection.bottom > selection.top;
}

bool ImageDoc::OnUndo() {
    return CanUndo() && StepThroughHistory(UndoHistory::UndoStack, UndoHistory::RedoStack);
}

bool ImageDoc::OnRedo() {
    return CanRedo() && StepThroughHistory(UndoHistory::RedoStack, UndoHistory::UndoStack);
}

// Undo and redo are one move: the current image goes onto the other stack
// under the name of the entry it trades places with, and the top entry of
// this stack becomes the image, with its selection and document state.
bool ImageDoc::StepThroughHistory(UndoHistory::Stack from, UndoHistory::Stack to) {
    try {
        const std::string name = history.TopName(from);
        CVImage restored(&host);
        RECT restoredSelection{};
        int64_t restoredState = 0;
        ImageMetadata restoredMetadata;
        history.Push(image, name.c_str(), selection, state, to, &metadata);
        try {
            history.Pop(restored, &restoredSelection, &restoredState, from, &restoredMetadata);
        } catch (...) {
            history.Drop(to); // the image stays as it was: take back its entry
            throw;
        }
        CVImage::CopyImage(&image, &restored, nullptr);
        metadata = std::move(restoredMetadata);
        state = restoredState;
        selection = restoredSelection;
        hasSelection = selection.right > selection.left && selection.bottom > selection.top;
        undoName = from == UndoHistory::UndoStack ? history.TopName(UndoHistory::UndoStack) : name;
        UpdateViews(kHintImageChanged);
        return true;
    } catch (CQorelError& error) {
        Report(error);
        return false;
    }
}

std::string ImageDoc::UndoMenuText() const {
    return CanUndo() ? std::string("&Undo ") + history.TopName(UndoHistory::UndoStack)
                     : std::string("&Undo");
}

std::string ImageDoc::RedoMenuText() const {
    return CanRedo() ? std::string("&Redo ") + history.TopName(UndoHistory::RedoStack)
                     : std::string("&Redo");
}

bool ImageDoc::OnCrop() {
    if (!hasSelection || image.bits == nullptr) {
        return false;
    }
    const RECT crop = NormalisedInside(selection, image.Width(), image.Height());
    if (crop.right <= crop.left || crop.bottom <= crop.top) {
        return false;
    }
    try {
        CVImage result(&host);
        CVImage::CopyImage(&result, &image, &crop);
        RecordUndo("Crop");
        CVImage::CopyImage(&image, &result, nullptr);
        FollowPictureChange(image, false);
        selection = RECT{0, 0, image.Width(), image.Height()};
        Touch();
        UpdateViews(kHintImageChanged);
        return true;
    } catch (CQorelError& error) {
        Report(error);
        return false;
    }
}

void ImageDoc::OnSelectAll() {
    SetSelection(RECT{0, 0, image.Width(), image.Height()});
    UpdateViews(0);
}

PackedDib ImageDoc::OnCopy() {
    if (!hasSelection || image.bits == nullptr) {
        return {};
    }
    const RECT rect = NormalisedInside(selection, image.Width(), image.Height());
    if (rect.right <= rect.left || rect.bottom <= rect.top) {
        return {};
    }
    try {
        CVImage part(&host);
        CVImage::CopyImage(&part, &image, &rect);
        // The clipboard's packed bitmap has no alpha that other programs
        // read: partly transparent pixels go flattened by the alpha rule.
        FlattenAlphaPlane(part);
        // The clipboard carries no profile: the colours go as sRGB.
        ConvertToSrgb(part, metadata.icc);
        const size_t colors = part.paletteCount;
        const size_t pixels = part.ImageBytes();
        PackedDib dib;
        dib.size = 40 + 4 * colors + pixels;
        dib.block = host.Alloc(dib.size);
        auto* bytes = static_cast<uint8_t*>(dib.block);
        BITMAPINFOHEADER header = part.header;
        header.biSizeImage = static_cast<uint32_t>(pixels);
        header.biClrUsed = header.biClrImportant = static_cast<uint32_t>(colors);
        std::memcpy(bytes, &header, 40);
        std::memcpy(bytes + 40, part.palette, 4 * colors);
        std::memcpy(bytes + 40 + 4 * colors, part.bits, pixels);
        return dib;
    } catch (CQorelError& error) {
        Report(error);
        return {};
    }
}

} // namespace pixmill
