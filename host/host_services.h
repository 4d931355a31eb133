// HostServices: the program's one CPluginHost. Memory and scratch come from
// the memory service; settings go to the settings store's "Settings" section;
// the operation dialog goes to the user-interface service.
#pragma once

#include "host/band_scaler.h"
#include "host/image_metadata.h"
#include "host/memory_service.h"
#include "pixmill/plugin_host.h"

#include <map>
#include <string>
#include <vector>

namespace pixmill {

class SettingsStore;
class CUserInterface;

class HostServices : public CPluginHost {
  public:
    explicit HostServices(SettingsStore& settings, CUserInterface* ui = nullptr,
                          std::string tempDirectory = {});
    ~HostServices() override;

    void* Alloc(size_t size) override { return memory.Alloc(size); }
    void* Realloc(void* block, size_t size) override { return memory.Realloc(block, size); }
    int Share(void* block) override { return memory.Share(block); }
    int Free(void* block) override { return memory.Free(block); }
    size_t GetSize(void* block) override { return memory.GetSize(block); }
    uint8_t* GetScratchTail() override { return memory.Scratch() + kScratchTailOffset; }
    uint8_t* GetScratch() override { return memory.Scratch(); }
    uint8_t* ScratchAlloc(size_t n) override { return memory.ScratchAlloc(n); }
    void ScratchRelease(void* block, size_t n) override { memory.ScratchRelease(block, n); }
    void ScratchReset() override { memory.ScratchReset(); }
    bool IsHostReady() override { return true; }
    [[noreturn]] void RaiseImageError(int code) override;
    void MakeTempName(char* out, size_t capacity) override;
    void LoadSettings(const char* name, void* buffer, uint32_t size, int version) override;
    void SaveSettings(const char* name, const void* buffer, uint32_t size, int version) override;
    SIZE FitSize(int width, int height, int maxWidth, int maxHeight) override;
    void ScaleLines(const RECT* band, const uint8_t* rows) override;
    void ScaleBegin(CVImage* image, SIZE sourceSize, bool bottomUp) override;
    bool RunOperationDialog(CProcessingPlugin* plugin, const CVImage* image) override;
    uint64_t MaxImagePixels() override { return maxImagePixels; }
    // Keep: the picture stays and the damage is shown as a warning through
    // the user-interface service (the desktop program). Refuse: the read
    // fails with image error 1 naming the damage (the command line, unless
    // told to keep damaged pictures).
    enum class DamagePolicy { Keep, Refuse };
    void ReportDamage(const char* what) override;
    [[noreturn]] void RaiseImageErrorDetail(int code, const char* detail) override;
    CUserInterface* GetUserInterfaceService() override { return ui; }
    bool LoadSettingsText(const char* name, char* buffer, size_t capacity) override;
    void SaveSettingsText(const char* name, const char* text) override;
    void PutImageMetadata(const CVImage* image, int kind, const uint8_t* data,
                          size_t size) override;
    const uint8_t* GetImageMetadata(const CVImage* image, int kind, size_t* size) override;
    bool KeepsAlphaPlane() override { return keepAlpha; }

    // The metadata record that image's reader fills (fillable) or writer
    // takes while bound (MetadataBinding binds and unbinds).
    void BindMetadata(const CVImage* image, ImageMetadata* record, bool fillable);
    void UnbindMetadata(const CVImage* image);

    // The stored setting "MaxImagePixels" (text) gives the start value.
    void SetMaxImagePixels(uint64_t pixels) { maxImagePixels = pixels; }
    void SetDamagePolicy(DamagePolicy policy) { damagePolicy = policy; }
    DamagePolicy GetDamagePolicy() const { return damagePolicy; }
    // Whether reads turn pictures upright from their EXIF orientation (on
    // unless the user keeps the stored pixels: the desktop's preference,
    // --no-auto-orient).
    void SetAutoOrient(bool on) { autoOrient = on; }
    bool AutoOrient() const { return autoOrient; }
    // Whether reads keep the alpha plane of partly transparent pictures
    // (32-bit records) for writers that store it; off, reads flatten it by
    // the alpha rule (pixmill/alpha_rule.h), as every consumer that does not
    // take 32-bit pictures needs. On for the command line's conversions and
    // batch runs.
    void SetKeepAlpha(bool on) { keepAlpha = on; }
    bool KeepAlpha() const { return keepAlpha; }
    // The damage reported (kept or refused) since the last call, which
    // clears the list.
    std::vector<std::string> TakeDamageReports();

    MemoryService& Memory() { return memory; }
    SettingsStore& Settings() { return settings; }
    CUserInterface* UserInterface() const { return ui; }
    void SetUserInterfaceService(CUserInterface* service) { ui = service; }
    std::string MakeTempName() { return memory.NextTempName(); }

  private:
    MemoryService memory;
    bool autoOrient = true;
    bool keepAlpha = false;
    SettingsStore& settings;
    CUserInterface* ui;
    BandScaler scaler;
    uint64_t maxImagePixels = kDefaultMaxImagePixels;
    DamagePolicy damagePolicy = DamagePolicy::Keep;
    std::vector<std::string> damageReports;
    struct BoundMetadata {
        ImageMetadata* record;
        bool fillable;
    };
    std::map<const CVImage*, BoundMetadata> boundMetadata;
};

// Keeps the alpha plane of partly transparent pictures for as long as it
// lives (batch runs and the gallery's further sizes, whose writers store it
// or whose pipeline flattens it), then gives back the setting it found.
class KeepAlphaScope {
  public:
    explicit KeepAlphaScope(HostServices& host) : host(host), kept(host.KeepAlpha()) {
        host.SetKeepAlpha(true);
    }
    ~KeepAlphaScope() { host.SetKeepAlpha(kept); }
    KeepAlphaScope(const KeepAlphaScope&) = delete;
    KeepAlphaScope& operator=(const KeepAlphaScope&) = delete;

  private:
    HostServices& host;
    bool kept;
};

// The size-fitting rule: keeps the aspect ratio and fills the box in one
// dimension (rounding to nearest, halves away from zero).
SIZE FitSizeInBox(int width, int height, int maxWidth, int maxHeight);

} // namespace pixmill
