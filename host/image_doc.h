// ImageDoc: an open image. Holds one CVImage, the format it came from
// or will be saved in, the codec of the current file operation and a
// five-level undo/redo history in temporary files. Opens and saves through
// the format plug-ins, applies processing operations with undo, crops to the
// selection and builds the clipboard's packed bitmap. Qt-free: windows,
// dialogs and the clipboard itself belong to the front ends, which talk to
// the document through the listener and the save-dialog hook.
#pragma once

#include "host/image_metadata.h"
#include "host/output_metadata.h"
#include "host/undo_history.h"
#include "pixmill/cv_image.h"
#include "pixmill/stream.h"
#include "pixmill/win_types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace pixmill {

class HostServices;
class PluginManager;
class CFormatPlugin;
class CFormatCodec;
class CProcessingPlugin;
class CVProgress;
class CVStream;
class ProgressDisplay;
class SaveSession;
class ImageReader;

// The update hint sent to views when the image itself changed.
constexpr int kHintImageChanged = 64;

struct CodecLink {
    CVImage* image = nullptr;
    CFormatPlugin* format = nullptr;
    CFormatCodec* codec = nullptr;
};

struct EditContext {
    CVImage* image = nullptr;
    UndoHistory* history = nullptr;
};

// A packed device-independent bitmap in one host block (header, colour
// table, rows), as the clipboard takes it. The caller owns one share.
struct PackedDib {
    void* block = nullptr;
    size_t size = 0;
};

// What a front end offers the document for interactive work.
class DocumentFrontEnd {
  public:
    virtual ~DocumentFrontEnd();
    // Views refresh; hint 64: the image changed.
    virtual void UpdateAllViews(int hint) { (void)hint; }
    // The save-options dialog: refresh the session as the user changes the
    // pane; true when the user confirmed (the document then writes the file).
    virtual bool RunSaveDialog(SaveSession& session) {
        (void)session;
        return true;
    }
    // Whether a parent window is available for settings dialogs.
    virtual bool HasParentWindow() const { return false; }
};

class ImageDoc {
  public:
    ImageDoc(HostServices& host, PluginManager& plugins);
    ~ImageDoc();
    ImageDoc(const ImageDoc&) = delete;
    ImageDoc& operator=(const ImageDoc&) = delete;

    // --- opening ---
    // Opens a file by its content (image_io.h: the extension is not
    // consulted). With progressive view the header is read now and the
    // pixels when the view first needs them (ReadPendingPixels).
    bool OnOpenDocument(const std::string& path);
    // Opens from a stream by its content (clipboard, drag and drop, the
    // pipeline); maxSize (optional) limits the decoded size, as
    // ImageReader::ReadHeader's does.
    bool ReadFromStream(CVStream* stream, const SIZE* maxSize = nullptr);
    // Takes an image that did not come from a file (share-copy), with the
    // picture's metadata when it has some.
    void TakeImage(const CVImage& source, CFormatPlugin* format,
                   const ImageMetadata* metadata = nullptr);
    bool PixelsPending() const { return pixelsPending; }
    bool ReadPendingPixels();

    // --- saving ---
    // Saves through the format of the path's extension, converting a copy of
    // the image to a kind the format can store (the document's image stays
    // as it is). Interactive with a front end whose save dialog is shown when
    // the format has an options pane.
    bool OnSaveDocument(const std::string& path, bool interactive = false);
    // Whether the last successful save wrote a converted copy (a 24-bit
    // picture saved as 256 colours, say).
    bool SavedConverted() const { return savedConverted; }
    // The bit count of the picture the last save wrote.
    int WrittenBitCount() const { return writtenBitCount; }

    // --- editing ---
    bool ApplyCommand(int commandId);
    bool OnUndo();
    bool OnRedo();
    bool OnCrop();
    void OnSelectAll();
    // The selection as a packed bitmap (null block without a selection).
    PackedDib OnCopy();
    bool CanUndo() const { return !history.IsEmpty(UndoHistory::UndoStack); }
    bool CanRedo() const { return !history.IsEmpty(UndoHistory::RedoStack); }
    std::string UndoMenuText() const;
    std::string RedoMenuText() const;

    // --- state ---
    CVImage& Image() { return image; }
    const CVImage& Image() const { return image; }
    // The picture's ICC profile and EXIF: read with it, kept through
    // operations, undo and redo, written with it unless stripped.
    const ImageMetadata& Metadata() const { return metadata; }
    void SetMetadata(ImageMetadata value) { metadata = std::move(value); }
    // Saves leave the metadata out (the document keeps it); the colours of
    // a picture with a profile are then written as sRGB.
    void SetStripMetadata(bool strip) { outputPolicy.strip = strip; }
    // Saves write sRGB pixels without a profile (convert --to-srgb).
    void SetConvertToSrgb(bool on) { outputPolicy.toSrgb = on; }
    // Saves leave private EXIF out (convert --web-safe).
    void SetMetadataPrivacy(MetadataPrivacy privacy) { outputPolicy.privacy = privacy; }
    CFormatPlugin* Format() const { return codecLink.format; }
    const CodecLink& Link() const { return codecLink; }
    const EditContext& Context() const { return editContext; }
    const UndoHistory& History() const { return history; }
    const std::string& UndoName() const { return undoName; }
    const std::string& Path() const { return path; }
    const std::string& Title() const { return title; }
    void SetTitle(const std::string& text) { title = text; }
    // The name a stream-read document carries (it is then not modified).
    void SetPathForStream(const std::string& name) { path = name; }
    bool IsModified() const { return state != savedState; }
    void SetModified(bool modified);
    // The selection (the view's tracker); empty when hasSelection is false.
    const RECT& Selection() const { return selection; }
    bool HasSelection() const { return hasSelection; }
    void SetSelection(const RECT& rect);
    void ClearSelection() { hasSelection = false; }
    // The size on disk (status bar): the opened file's, then the last save's.
    int WrittenSize() const { return writtenSize; }
    // The message of the last error reported by a command ("" when none).
    const std::string& LastError() const { return lastError; }

    void SetFrontEnd(DocumentFrontEnd* frontEnd) { this->frontEnd = frontEnd; }
    void SetProgressDisplay(ProgressDisplay* display) { progressDisplay = display; }
    // The preference "&Progressive View".
    void SetProgressiveView(bool on) { progressiveView = on; }
    bool ProgressiveView() const { return progressiveView; }
    // A format-specific write adjustment passed to the codec's BeginWrite
    // (the JPEG codec takes a quality offset of -100..100); none by default.
    void SetWriteParameter(std::optional<int> value) { writeParameter = value; }
    // Whether a history is kept (otherwise operations apply in place).
    void SetKeepHistory(bool keep) { keepHistory = keep; }

    // Makes image storable by format (converting through the colour plug-in
    // when needed). Returns false when the format cannot store it; converted
    // (optional) tells whether a conversion happened.
    static bool MakeStorable(HostServices& host, PluginManager& plugins, CFormatPlugin* format,
                             CVImage& image, ProgressDisplay* display, bool* converted);
    // The title rule: a title without "." gets the format's first extension.
    static std::string TitleWithExtension(const std::string& title, CFormatPlugin* format);
    // ".jpg" from "*.jpg;*.jif;...".
    static std::string FirstExtension(CFormatPlugin* format);

  private:
    // Ends the read in progress (progressive view's pending pixels).
    void ReleaseCodec();
    // Reads the whole picture the stream holds (the format by its content)
    // into the document's image; a failure keeps the old image.
    void ReadWhole(CVStream& stream, const std::string& progressTitle,
                   const SIZE* maxSize = nullptr);
    bool StepThroughHistory(UndoHistory::Stack from, UndoHistory::Stack to);
    void Report(class CQorelError& error);
    void UpdateViews(int hint);
    void Touch() { state = ++stateCounter; }
    void AfterImageFromFile(const std::string& path);
    bool WriteFile(const std::string& target, CFormatPlugin* format, CVImage& storable,
                   const ImageMetadata& outgoing, bool interactive, bool* cancelled);
    // What the picture's metadata says after an operation made result from
    // the image (reoriented: the operation turned or flipped it).
    void FollowPictureChange(const CVImage& result, bool reoriented);
    // Puts the image on the undo stack under name before a change; a new
    // change empties the redo stack, whose pictures belong to the old line.
    void RecordUndo(const std::string& name);
    // Runs a filter on the selected part of the image only; result is the
    // whole image with that part changed.
    bool ApplyToSelection(CProcessingPlugin& plugin, CVProgress* progress, CVImage& result);
    // Keeps the selection on the same part of the picture after an operation
    // changed the image from oldWidth x oldHeight: scaled with the picture,
    // cleared when the operation turned or flipped it.
    void FollowSelection(int oldWidth, int oldHeight, bool reoriented);

    HostServices& host;
    PluginManager& plugins;
    CVImage image;
    ImageMetadata metadata;
    OutputMetadataPolicy outputPolicy;
    CodecLink codecLink;
    UndoHistory history;
    EditContext editContext;
    std::string undoName;
    std::string path;
    std::string title = "Untitled";
    std::string lastError;
    RECT selection{};
    bool hasSelection = false;
    bool pixelsPending = false;
    bool progressiveView = false;
    bool keepHistory = true;
    int writtenSize = 0;
    bool savedConverted = false;
    int writtenBitCount = 0;
    // Document states: every change of the image gets a new number; the
    // document is modified when its state is not the saved one.
    int64_t stateCounter = 0;
    int64_t state = 0;
    int64_t savedState = 0;
    DocumentFrontEnd* frontEnd = nullptr;
    ProgressDisplay* progressDisplay = nullptr;
    std::unique_ptr<CVStream> pendingStream;  // progressive view: open until read
    std::unique_ptr<ImageReader> pendingRead; // progressive view: the header's reader
    std::optional<int> writeParameter;
};

} // namespace pixmill
