// The format plug-in contract: one static CFormatPlugin per library, and a
// CFormatCodec per read or write.
#pragma once

#include "pixmill/image_kind_set.h"
#include "pixmill/win_types.h"

#include <cstdint>

class QWidget;

namespace pixmill {

class CVImage;
class CVStream;
class CVProgress;
class CPaneSite;
class CPluginPane;
class CFormatCodec;

enum FormatCapability : uint16_t {
    CapFlag01 = 0x01,
    CapOptionsPane = 0x10,
    CapCanSave = 0x20,
    CapSavePreview = 0x40,
};

class PIXMILL_EXPORT CFormatPlugin {
  public:
    virtual const char* GetName(bool longForm) = 0;              // 0
    virtual const char* GetExtensions() = 0;                     // 1: "*.tif;*.tiff"
    virtual uint16_t GetSignatureSize() = 0;                     // 2
    virtual bool Recognize(const uint8_t* bytes) = 0;            // 3
    virtual int GetId() = 0;                                     // 4: 0 in this program
    virtual CFormatCodec* CreateCodec() = 0;                     // 5
    virtual uint16_t GetCapabilities() = 0;                      // 6
    virtual uint16_t GetSaveModes() = 0;                         // 7
    virtual bool CanSave(const CVImage* image) = 0;              // 8
    virtual bool AcceptsKinds(const ImageKindSet* kinds) = 0;    // 9
    virtual CPluginPane* CreateOptionsPane(CPaneSite* site) = 0; // 10
    virtual void DestroyOptionsPane(CPluginPane* pane) = 0;      // 11
    virtual void Help(QWidget* window) = 0;                      // 12

  protected:
    ~CFormatPlugin() = default;
};

class PIXMILL_EXPORT CFormatCodec {
  public:
    virtual ~CFormatCodec(); // 0
    // Prepares a write of image; parameter (optional) is a format-specific
    // adjustment. Returns the size that will be written.
    virtual SIZE BeginWrite(const CVImage* image, const int* parameter) = 0; // 1
    // Reads the header and creates image (reduced to fit maxSize when given);
    // returns the file's own pixel size.
    virtual SIZE ReadHeader(CVImage* image, CVStream* stream, const SIZE* maxSize) = 0; // 2
    virtual bool ReadPixels(CVProgress* progress) = 0;                                  // 3
    virtual bool Write(CVStream* stream, CVProgress* progress, CVImage* preview) = 0;   // 4
    virtual int GetWrittenSize() = 0;                                                   // 5
    virtual void FreeWorkBuffer() = 0;                                                  // 6
    virtual void Release() = 0;                                                         // 7
};

} // namespace pixmill
