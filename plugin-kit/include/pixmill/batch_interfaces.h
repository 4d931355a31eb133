// The batch contract: a batch source hands the runner its items, a batch
// destination takes the results, and both get the program's BatchHost for
// loading, saving, colour conversion and resampling. Libraries in Sources/
// and Destinations/ export "GetBatchSource" / "GetBatchDestination". The
// slot order of each interface is the binary contract.
#pragma once

#include "pixmill/win_types.h"

#include <cstdint>

class QWidget;

namespace pixmill {

class CPluginHost;
class CVImage;
class CVStream;

enum BatchContentKind : int { ContentStream = 0, ContentImage = 1, ContentFilePath = 2 };
enum BatchTargetKind : int { TargetStreams = 0, TargetImages = 1, TargetFileNames = 2 };
// What a destination wants as the main image.
enum BatchMainImageMode : int { MainThumbnailsOnly = 0, MainCopySource = 1, MainEncoded = 2 };

// One item of a source; valid until ReleaseItem or the next NextItem.
struct BatchItem {
    int index = 0;
    const char* name = nullptr; // for files: the name with extension, no folder
    void* content = nullptr;    // a CVStream*, a CVImage* or a full path (char*)
    intptr_t extra = 0;         // the source's own word, passed on to the destination
};

struct SaveRequest {
    int index = 0;
    const char* baseName = nullptr; // the item's name up to its first "."
    intptr_t extra = 0;
    const char* mainExtension = nullptr;      // without "."
    const char* thumbnailExtension = nullptr; // without "."
    int width = 0;
    int height = 0;
    intptr_t formatInfo[2] = {0, 0}; // the output slot's format identity
    // The picture's own file (full path) when the source hands over files,
    // else null: a destination may read what lies beside it.
    const char* sourcePath = nullptr;
};

// Each target is null or, by the destination's target kind, a CVStream*, a
// CVImage* or a full file name (char*).
struct SaveTargets {
    void* main = nullptr;
    void* thumbnail = nullptr;
};

// Seven integers owned by the destination.
struct ThumbnailSettings {
    int32_t width = 100;
    int32_t height = 100;
    int32_t fitToSize = 0;
    int32_t discardAspectRatio = 0;
    int32_t smartCut = 0;
    int32_t cutPosition = 50; // percent
    int32_t enhance = 0;      // -100..100, handed to the thumbnail's codec
};
static_assert(sizeof(ThumbnailSettings) == 28);

class PIXMILL_EXPORT BatchHost {
  public:
    virtual int GetFormatCount() = 0;                   // 0
    virtual const char* GetFormatName(int i) = 0;       // 1: null when out of range
    virtual const char* GetFormatExtensions(int i) = 0; // 2: null when out of range
    // Reads the image through the format that recognises the stream, its
    // pixels converted to sRGB when it carries a colour profile (SaveImage
    // writes none). With size: the decoded image is limited to it, and it
    // receives the stored size. False for a null stream; errors are thrown.
    virtual bool LoadImage(CVStream* stream, CVImage* image, SIZE* size) = 0; // 3
    // False for a null stream or an index out of range, else the codec's result.
    virtual bool SaveImage(CVImage* image, CVStream* stream, int formatIndex,
                           bool withParent) = 0; // 4
    // The colour plug-in's conversion with its 20-byte parameter block.
    virtual bool ConvertColors(const CVImage* source, CVImage* destination,
                               const void* parameters) = 0; // 5
    virtual bool ResampleImage(CVImage* destination, const CVImage* source, int width, int height,
                               bool keepAspect, int option) = 0; // 6
    virtual CPluginHost* GetPluginHost() = 0;                    // 7

  protected:
    ~BatchHost() = default;
};

class PIXMILL_EXPORT BatchSource {
  public:
    virtual ~BatchSource() = default;                                   // 0
    virtual const char* GetName() = 0;                                  // 1
    virtual QWidget* CreatePage(QWidget* parent, const RECT& area) = 0; // 2
    virtual void Attach(BatchHost* host) = 0;                           // 3
    // The next item, or null when there are no more. log: the run's log.
    virtual BatchItem* NextItem(CVStream* log) = 0; // 4
    virtual void ReleaseItem(bool flag) = 0;        // 5
    virtual void Help(QWidget* window) = 0;         // 6
    virtual int GetCount() = 0;                     // 7
    virtual int GetContentKind() = 0;               // 8: BatchContentKind
};

class PIXMILL_EXPORT BatchDestination {
  public:
    virtual ~BatchDestination() = default;                              // 0
    virtual const char* GetName() = 0;                                  // 1
    virtual QWidget* CreatePage(QWidget* parent, const RECT& area) = 0; // 2
    virtual void Attach(BatchHost* host) = 0;                           // 3
    // True when the page's values are valid and taken over.
    virtual bool ApplyPage() = 0; // 4
    // 5: not called by the program; given extensions separated by ";".
    virtual bool Slot5(const char* extensions) = 0;
    virtual ThumbnailSettings* GetThumbnailSettings() = 0; // 6: null: no thumbnails
    virtual int GetMainImageMode() = 0;                    // 7: BatchMainImageMode
    virtual SaveTargets* BeginSave(const SaveRequest* request, CVStream* log) = 0; // 8
    virtual void EndSave(bool mainSaved, bool thumbnailSaved) = 0;                 // 9
    // Once per run: on finish (completed) or on cancel.
    virtual void EndBatch(CVStream* log, bool completed) = 0; // 10
    virtual void Slot11() = 0;                                // 11: not called by the program
    virtual void Help(QWidget* window) = 0;                   // 12
    virtual int GetTargetKind() = 0;                          // 13: BatchTargetKind
};

// The entry points: store the library's one object and answer 1, or 0.
using GetBatchSourceFn = int (*)(BatchSource** source);
using GetBatchDestinationFn = int (*)(BatchDestination** destination);
// Optional entry of a destination library, "SetBatchDestinationOption": sets
// one named setting without the settings page (headless runs); 1 when it
// was taken, 0 for an unknown name or a value it refuses.
using SetBatchDestinationOptionFn = int (*)(const char* name, const char* value);
// Optional entry of a destination library, "GetBatchDestinationPrivacy":
// what the main images it receives keep of their EXIF — 0 everything, 1
// nothing private (location, serial numbers, owner and artist names, maker
// notes), 2 nothing private but the location. Destinations that publish on
// the web answer 1 unless their user keeps the location.
using GetBatchDestinationPrivacyFn = int (*)();

} // namespace pixmill
