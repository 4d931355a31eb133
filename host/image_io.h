// The program's one read path and one write path: which format reads a
// stream or writes a file, and the codec call sequence (make the codec, read
// the header, read the pixels under a progress with the picture's metadata
// bound, free the work buffer, release; or begin the write, write, free,
// release). The document, the command line, the batch engine, the browser's
// thumbnails and the batch source page all read and write through these
// functions; nothing else calls a codec. Qt-free.
//
// Reading: the content decides. The format is the first one in table order
// whose Recognize accepts the stream's first MaxSignatureSize() bytes; the
// name's extension is not consulted, so a picture under a wrong extension
// reads as what it is, and bytes no format recognises are "Unsupported image
// format" (image error 3) whatever the name says.
// Writing: the caller names the format (batch output formats, the batch
// host's format index), or the target's extension decides (the first format
// whose extension list holds it, FindFormatByExtension); none is image
// error 3.
#pragma once

#include "host/image_metadata.h"
#include "pixmill/win_types.h"

#include <string>

namespace pixmill {

class PluginManager;
class CFormatPlugin;
class CPluginHost;
class CFormatCodec;
class CProcessingPlugin;
class CVImage;
class CVImageError;
class CVStream;
class ProgressDisplay;
struct ImageMetadata;

// The format that reads what the stream holds, the stream rewound to its
// start; null when no format recognises it (the stream is then left after
// the bytes compared).
CFormatPlugin* FormatForReading(PluginManager& plugins, CVStream& stream);
// The format that writes a file of this name; null when no format lists its
// extension.
CFormatPlugin* FormatForWriting(PluginManager& plugins, const std::string& path);

// A codec of one format, its work buffer freed and the codec released when
// the holder goes. Empty when the format made none.
class OwnedCodec {
  public:
    OwnedCodec() = default;
    explicit OwnedCodec(CFormatPlugin* format);
    ~OwnedCodec();
    OwnedCodec(OwnedCodec&& other) noexcept;
    OwnedCodec& operator=(OwnedCodec&& other) noexcept;
    OwnedCodec(const OwnedCodec&) = delete;
    OwnedCodec& operator=(const OwnedCodec&) = delete;

    CFormatCodec* get() const { return codec; }
    explicit operator bool() const { return codec != nullptr; }

  private:
    CFormatCodec* codec = nullptr;
};

// One read with its own codec: the header now, the pixels now or later (the
// desktop's progressive view reads the pixels when the view first needs
// them; the stream must stay open until then). Errors are thrown: image
// error 3 for a null format, out of memory when the format makes no codec,
// image error 1 when the codec reports that the pixels failed.
//
// A picture whose EXIF orientation is not 1 is turned upright after its
// pixels are read (whatever size the reader decoded), and its metadata says
// orientation 1 and the upright size from then on, unless the image's host
// keeps stored pixels (HostServices::SetAutoOrient(false)). The size
// ReadHeader answers is the upright one too.
class ImageReader {
  public:
    explicit ImageReader(CFormatPlugin* format);
    ImageReader(const ImageReader&) = delete;
    ImageReader& operator=(const ImageReader&) = delete;

    // Reads the header into image; maxSize (optional) limits the decoded
    // size; metadata (optional) is cleared and receives what the header
    // holds. Returns the stored size.
    SIZE ReadHeader(CVStream& stream, CVImage& image, const SIZE* maxSize, ImageMetadata* metadata);
    // Reads the pixels into the image of ReadHeader under a progress with
    // the given title; metadata (optional) receives what follows the header.
    void ReadPixels(ProgressDisplay* display, const std::string& title, ImageMetadata* metadata);

    CFormatPlugin* Format() const { return format; }
    CFormatCodec* Codec() const { return codec.get(); }
    // The orientation the pixels will be turned from (1: as stored), known
    // from the header's EXIF.
    int Orientation() const { return orientation; }

  private:
    // A reader's failure without a reason gets one: where in the file the
    // reader stopped.
    [[noreturn]] void RethrowWithReason(const CVImageError& error) const;

    CFormatPlugin* format;
    OwnedCodec codec;
    CVImage* image = nullptr;
    CVStream* stream = nullptr;
    // The caller's metadata, or own when the caller wants none (the EXIF
    // still tells how to turn the picture).
    ImageMetadata own;
    ImageMetadata* bound = &own;
    int orientation = 1;
};

// Reads the image the stream holds with a new codec of format, under a
// progress with the given title; maxSize (optional) limits the decoded size;
// metadata (optional) receives the picture's ICC profile and EXIF.
// Returns the stored size. Errors are thrown as ImageReader's.
SIZE ReadImageWith(CFormatPlugin* format, CVStream& stream, CVImage& image, const SIZE* maxSize,
                   ProgressDisplay* display, const std::string& title,
                   ImageMetadata* metadata = nullptr);
// The same through FormatForReading (image error 3 when no format
// recognises the stream); format (optional) receives it.
SIZE ReadImageByContent(PluginManager& plugins, CVStream& stream, CVImage& image,
                        const SIZE* maxSize, ProgressDisplay* display, const std::string& title,
                        CFormatPlugin** format = nullptr, ImageMetadata* metadata = nullptr);
// The header alone through FormatForReading: size, kind, palette and
// metadata without the pixels (info, previews of file lists). Errors as
// ReadImageByContent's.
SIZE ReadHeaderByContent(PluginManager& plugins, CVStream& stream, CVImage& image,
                         const SIZE* maxSize, CFormatPlugin** format = nullptr,
                         ImageMetadata* metadata = nullptr);

// The orientation a read of the stream would turn its picture from (1: it
// is read as stored), from the header alone; the stream is rewound. For
// callers that choose a reduced decode size: readers reduce the stored
// picture, before it is turned. A header that fails to read answers 1.
int OrientationToTurn(CFormatPlugin* format, CVStream& stream, CPluginHost& host);

// Writes image into stream with codec (a new one of format when codec is
// null); parameter is the format-specific write adjustment; metadata
// (optional) is written beside the picture where the format holds it;
// preview (optional, formats with a save preview) receives the written
// picture decoded again. Returns the written size, or -1 when the codec
// reported failure. Errors are thrown.
int WriteImage(CFormatPlugin* format, const CVImage& image, CVStream& stream, const int* parameter,
               ProgressDisplay* display, const std::string& title, CFormatCodec* codec = nullptr,
               const ImageMetadata* metadata = nullptr, CVImage* preview = nullptr);

// Whether the image has an alpha plane the operation does not take (no
// OpTakesAlpha): it must work on the picture flattened by the alpha rule.
bool NeedsFlattening(const CVImage& image, CProcessingPlugin* operation);

// Flattens the image's alpha plane by the alpha rule where the operation
// does not take it, or the format does not store it (no KindRgba32 save
// mode); whether it did. For a format without 24-bit pictures (GIF) a
// flattened picture of at most 256 colours becomes the palette of them.
bool FlattenForOperation(CVImage& image, CProcessingPlugin* operation);
bool FlattenForFormat(CVImage& image, CFormatPlugin* format);

} // namespace pixmill
