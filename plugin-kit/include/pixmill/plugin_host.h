// CPluginHost: the program's services object handed to every plug-in. Memory
// (pixel blocks with share counts and a file-backed fallback), the scratch
// arena, errors, temporary names, settings, size fitting, the preview band
// scaler and the operation dialog. The slot order is the binary contract.
#pragma once

#include "pixmill/win_types.h"

#include <cstddef>
#include <cstdint>

namespace pixmill {

class CVImage;
class CProcessingPlugin;
class CUserInterface;

enum ImageMetadataKind : int { MetadataIcc = 1, MetadataExif = 2 };

class PIXMILL_EXPORT CPluginHost {
  public:
    static constexpr size_t kScratchSize = 1000000;
    static constexpr size_t kScratchTailOffset = 800000;

    virtual void* Alloc(size_t size) = 0;                    // 0
    virtual void* Realloc(void* block, size_t size) = 0;     // 1
    virtual int Share(void* block) = 0;                      // 2
    virtual int Free(void* block) = 0;                       // 3
    virtual size_t GetSize(void* block) = 0;                 // 4
    virtual uint8_t* GetScratchTail() = 0;                   // 5
    virtual uint8_t* GetScratch() = 0;                       // 6
    virtual uint8_t* ScratchAlloc(size_t n) = 0;             // 7
    virtual void ScratchRelease(void* block, size_t n) = 0;  // 8
    virtual void ScratchReset() = 0;                         // 9
    virtual bool IsHostReady() = 0;                          // 10: always true
    [[noreturn]] virtual void RaiseImageError(int code) = 0; // 11
    // Writes "<temp dir>~qorel<counter>.tmp" into out (capacity bytes).
    virtual void MakeTempName(char* out, size_t capacity) = 0; // 12
    virtual void LoadSettings(const char* name, void* buffer, uint32_t size,
                              int version) = 0; // 13
    virtual void SaveSettings(const char* name, const void* buffer, uint32_t size,
                              int version) = 0;                                   // 14
    virtual SIZE FitSize(int width, int height, int maxWidth, int maxHeight) = 0; // 15
    // Scales a band of decoded source rows into the image prepared by
    // ScaleBegin. band: source columns left..right, source rows top..bottom
    // (top-down numbering); rows points at the band's first row. With the
    // bottom-up flag of ScaleBegin the band's next rows lie below it in memory.
    virtual void ScaleLines(const RECT* band, const uint8_t* rows) = 0;                   // 16
    virtual void ScaleBegin(CVImage* image, SIZE sourceSize, bool bottomUp) = 0;          // 17
    virtual bool RunOperationDialog(CProcessingPlugin* plugin, const CVImage* image) = 0; // 18
    virtual ~CPluginHost();                                                               // 19

    // The largest picture (width x height) a reader accepts; a reader refuses
    // a larger one before it allocates anything for it.
    static constexpr uint64_t kDefaultMaxImagePixels = 268435456;        // 2^28
    virtual uint64_t MaxImagePixels() { return kDefaultMaxImagePixels; } // 20
    // A reader made a picture from a damaged file (what is wrong in a few
    // words). The host keeps or refuses the picture: refusing throws an
    // image error, so a reader calls this only where it may be left by one.
    virtual void ReportDamage(const char* what) { (void)what; } // 21
    // RaiseImageError with the code's message followed by ": " and detail.
    // Raised by the host, so that the error is shown through the program's
    // user-interface service.
    [[noreturn]] virtual void RaiseImageErrorDetail(int code, const char* detail); // 22
    // The program's user-interface service, so that a library can ask its
    // questions through it (null: headless without one).
    virtual CUserInterface* GetUserInterfaceService() { return nullptr; } // 23
    // Text values of the "Settings" section (lists of paths, names). Load
    // copies the stored text into buffer (capacity bytes, cut to fit, always
    // terminated) and answers whether there was one.
    virtual bool LoadSettingsText(const char* name, char* buffer, size_t capacity); // 24
    virtual void SaveSettingsText(const char* name, const char* text) {
        (void)name, (void)text;
    } // 25

    // Metadata travels beside the image record, which has no place for it:
    // kind 1 is an ICC profile, kind 2 EXIF as TIFF-structured bytes (byte
    // order mark first, no "Exif\0\0" header). A reader hands over what the
    // file holds for the record it is reading into; the host copies it, and
    // keeps it only while that record is being read for a caller that wants
    // metadata (otherwise, e.g. for a preview, it is ignored). Damaged
    // metadata is not handed over.
    virtual void PutImageMetadata(const CVImage* image, int kind, const uint8_t* data,
                                  size_t size) {
        (void)image, (void)kind, (void)data, (void)size;
    } // 26
    // What to write beside the record being written: null (size 0) when
    // there is nothing to write or the record is not being written. The
    // bytes stay valid until the write ends.
    virtual const uint8_t* GetImageMetadata(const CVImage* image, int kind, size_t* size) {
        (void)image, (void)kind;
        *size = 0;
        return nullptr;
    } // 27
    // Whether the record being read may keep a partly transparent picture's
    // alpha plane (CVImage::CreateWithAlpha); when not, the host flattens the
    // plane after the read by the alpha rule (pixmill/alpha_rule.h). A
    // reader whose picture would come out otherwise under the rule than
    // flattened from its plane (a palette of partly transparent entries,
    // which the rule keeps a palette) asks before it makes the plane.
    virtual bool KeepsAlphaPlane() { return false; } // 28
};

} // namespace pixmill
