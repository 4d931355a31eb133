// The processing plug-in contract and the base class every processing
// library derives its one object from.
#pragma once

#include "pixmill/image_kind_set.h"
#include "pixmill/settings_binding.h"
#include "pixmill/win_types.h"

#include <cstdint>

class QWidget;

namespace pixmill {

class CPluginHost;
class CVImage;
class CVProgress;
class CPaneSite;
class CPluginPane;

enum OperationFlag : uint16_t {
    OpLivePreview = 0x01,
    OpBatchWeight = 0x08,
    OpHasSettings = 0x10,
    OpReorients = 0x40, // turns or flips the picture (its stored orientation no longer applies)
    OpTakesAlpha = 0x80, // works on 32-bit pictures with their alpha plane; others get them flattened
};

enum OperationKind : int {
    KindImageOperation = 0,
    KindFilter = 1,
    KindColorConversion = 2,
};

class PIXMILL_EXPORT CProcessingPlugin {
  public:
    explicit CProcessingPlugin(CPluginHost* host);
    // Saves the settings block bound with BindSettings.
    virtual ~CProcessingPlugin();                        // 0
    virtual uint16_t GetOperationCount() = 0;            // 1
    virtual uint16_t GetOperation();                     // 2
    virtual void SetOperation(uint16_t index);           // 3
    virtual const char* GetName(bool menuForm) = 0;      // 4
    virtual const char* GetGroupName(bool menuForm) = 0; // 5
    virtual const char* GetDescription() = 0;            // 6
    virtual int Query7();                                // 7: 0
    virtual bool Apply(const CVImage* source, CVImage* destination, CVProgress* progress) = 0; // 8
    // Apply into a temporary record; on success the image takes its pixels.
    virtual bool ApplyInPlace(CVImage* image, CVProgress* progress); // 9
    // Whether the current operation accepts image (menu enabling). A null
    // image (no picture open) is accepted by no operation: the answer is false.
    virtual bool CanApply(const CVImage* image) = 0;                     // 10
    virtual ImageKindSet* GetOutputKinds(const ImageKindSet* input) = 0; // 11
    virtual uint16_t GetFlags() = 0;                                     // 12
    virtual int GetKind() = 0;                                           // 13
    virtual int Query14();                                               // 14: 0
    // DestroySettingsPane deletes a pane made by CreateSettingsPane through
    // its virtual destructor; a plug-in overrides it only to keep panes.
    virtual CPluginPane* CreateSettingsPane(CPaneSite* site); // 15
    virtual void DestroySettingsPane(CPluginPane* pane);      // 16
    virtual void Help(QWidget* window);                       // 17

    CPluginHost* host;
    uint16_t currentOperation = 0;

  protected:
    // Loads the block as its declaration says (see CSettingsBinding) and
    // saves it when the object is deleted. The block must be a trivially
    // destructible member of the derived object.
    template <class Block> void BindSettings(const SettingsBlockSchema& schema, Block& block) {
        settings.Bind(host, schema, block);
    }

  private:
    CSettingsBinding settings;
};

// Holds a library's one plug-in object: made at the first request, deleted
// (saving its settings) when the library is unloaded. Use as a namespace-scope
// static in the plug-in library.
template <class T> class CPluginInstance {
  public:
    CPluginInstance() = default;
    CPluginInstance(const CPluginInstance&) = delete;
    CPluginInstance& operator=(const CPluginInstance&) = delete;
    ~CPluginInstance() { delete object; }
    T* Get(CPluginHost* host) {
        if (object == nullptr) {
            object = new T(host);
        }
        return object;
    }
    // The object, or null before the first request.
    T* Existing() const { return object; }

  private:
    T* object = nullptr;
};

} // namespace pixmill
