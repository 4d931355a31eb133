// Format plug-ins described by data: one constexpr FormatDescription per
// library (texts by string id, signature test, capabilities, save modes,
// settings blocks, codec and pane factories, help topic) answers every slot
// of CFormatPlugin, so a format library holds its codec, its pane and this
// description, and no format object of its own.
#pragma once

#include "pixmill/entry_points.h"
#include "pixmill/format_plugin.h"
#include "pixmill/settings_binding.h"
#include "pixmill/string_table.h"

#include <cstddef>
#include <new>
#include <string>
#include <tuple>
#include <utility>

namespace pixmill {

class CPluginHost;

// What a format answers that does not depend on its settings blocks.
struct FormatEntry {
    const StringTable* strings;
    int name;       // string id: the short name ("PNG")
    int longName;   // string id: the long name; the same id when there is one name
    int extensions; // string id: "*.png"
    uint16_t signatureSize;
    bool (*recognize)(const uint8_t* bytes); // reads signatureSize bytes
    int id;
    uint16_t capabilities;                           // FormatCapability bits
    uint16_t saveModes;                              // ImageKind bits
    bool (*canSave)(const CVImage* image);           // null: every picture
    bool (*acceptsKinds)(const ImageKindSet* kinds); // null: every ordinary set
    int helpTopic;
    const char* codecLibrary;      // the library the codec is built on: "libpng"
    std::string (*codecVersion)(); // its version: "1.6.43"
};

// The answers of CFormatPlugin from a FormatEntry; the panes are deleted
// through their virtual destructor and Help opens the format's page.
class CFormatTableBase : public CFormatPlugin {
  public:
    explicit constexpr CFormatTableBase(const FormatEntry& entry) : entry(entry) {}

    const char* GetName(bool longForm) override;
    const char* GetExtensions() override;
    uint16_t GetSignatureSize() override { return entry.signatureSize; }
    bool Recognize(const uint8_t* bytes) override { return entry.recognize(bytes); }
    int GetId() override { return entry.id; }
    uint16_t GetCapabilities() override { return entry.capabilities; }
    uint16_t GetSaveModes() override { return entry.saveModes; }
    bool CanSave(const CVImage* image) override;
    bool AcceptsKinds(const ImageKindSet* kinds) override;
    void DestroyOptionsPane(CPluginPane* pane) override;
    void Help(QWidget* window) override;

    // The GetLibraryVersion entry point.
    int LibraryVersion(char* name, size_t nameCapacity, char* version,
                       size_t versionCapacity) const;

  protected:
    ~CFormatTableBase() = default;

    const FormatEntry& entry;
    CPluginHost* host = nullptr;
};

// The full description of a format whose stored settings are Blocks (one
// declaration per block, in order, consecutive in memory as
// GetSettingsSchema hands them out).
template <class... Blocks> struct FormatDescription {
    FormatEntry format;
    const SettingsBlockSchema* schemas;
    CFormatCodec* (*createCodec)(CFormatPlugin* plugin, CPluginHost* host, Blocks*... blocks);
    CPluginPane* (*createPane)(CPaneSite* site, Blocks*... blocks); // null: no options pane
};

// Factories for a description: the codec or pane constructor takes the
// plug-in (codecs), the host or site, and the blocks.
template <class Codec, class... Blocks>
CFormatCodec* MakeCodec(CFormatPlugin* plugin, CPluginHost* host, Blocks*... blocks) {
    return new (std::nothrow) Codec(plugin, host, blocks...);
}
template <class Pane, class... Blocks> CPluginPane* MakePane(CPaneSite* site, Blocks*... blocks) {
    return new Pane(site, blocks...);
}

// A library's one format object: a namespace-scope static built from the
// description. Every request for it reloads the stored settings; they are
// saved when the library is unloaded.
template <class... Blocks> class CTableFormatPlugin final : public CFormatTableBase {
  public:
    explicit constexpr CTableFormatPlugin(const FormatDescription<Blocks...>& description)
        : CFormatTableBase(description.format), description(description) {}
    CTableFormatPlugin(const CTableFormatPlugin&) = delete;
    CTableFormatPlugin& operator=(const CTableFormatPlugin&) = delete;

    // The GetFormat entry point.
    int Attach(CPluginHost* newHost, CFormatPlugin** out) {
        host = newHost;
        BindAll(std::index_sequence_for<Blocks...>{});
        *out = this;
        return 1;
    }
    // The GetSettingsSchema entry point.
    int Schemas(const SettingsBlockSchema** out) const {
        *out = description.schemas;
        return static_cast<int>(sizeof...(Blocks));
    }

    CFormatCodec* CreateCodec() override {
        return std::apply(
            [this](Blocks&... b) { return description.createCodec(this, host, &b...); }, blocks);
    }
    CPluginPane* CreateOptionsPane(CPaneSite* site) override {
        if (description.createPane == nullptr) {
            return nullptr;
        }
        return std::apply(
            [site, this](Blocks&... b) { return description.createPane(site, &b...); }, blocks);
    }

  private:
    template <size_t... I> void BindAll(std::index_sequence<I...>) {
        (bindings[I].Bind(host, description.schemas[I], std::get<I>(blocks)), ...);
    }

    const FormatDescription<Blocks...>& description;
    std::tuple<Blocks...> blocks{};
    CSettingsBinding bindings[sizeof...(Blocks)]; // after the blocks: save them before they go
};

} // namespace pixmill

// The exported entry points of a format library whose one format object is
// the CTableFormatPlugin `object`.
#define PIXMILL_FORMAT_ENTRY_POINTS(object)                                                        \
    PIXMILL_ENTRY int GetFormat(pixmill::CPluginHost* host, pixmill::CFormatPlugin** out) {        \
        return (object).Attach(host, out);                                                         \
    }                                                                                              \
    PIXMILL_ENTRY int GetSettingsSchema(const pixmill::SettingsBlockSchema** blocks) {             \
        return (object).Schemas(blocks);                                                           \
    }                                                                                              \
    PIXMILL_ENTRY int GetLibraryVersion(char* name, size_t nameCapacity, char* version,            \
                                        size_t versionCapacity) {                                  \
        return (object).LibraryVersion(name, nameCapacity, version, versionCapacity);              \
    }
