// Processing plug-ins described by a table: one constexpr entry per
// operation (its texts, flags, kind, help topic) answers the descriptive
// slots, and the base decides once what an operation number beyond the
// table means.
#pragma once

#include "pixmill/processing_plugin.h"
#include "pixmill/string_table.h"

#include <span>

namespace pixmill {

// A text of the table: written in the entry, or the string id of a text the
// library's string table holds because its pane or another slot reads it too.
struct TableText {
    constexpr TableText() = default;
    constexpr TableText(const char* text) : text(text) {}
    constexpr TableText(int id) : id(id) {}
    // No text and no id.
    constexpr bool IsNone() const { return text == nullptr && id == 0; }

    const char* text = nullptr;
    int id = 0;
};

struct OperationEntry {
    TableText name;        // "Resample"
    TableText menuText;    // "&Resample"
    TableText description; // the status-bar text
    uint16_t flags;        // OperationFlag bits
    OperationKind kind;
    int helpTopic; // 0: none
};

// The submenu the library's operations go into.
struct OperationGroup {
    TableText name; // none: the operations stand alone in the menu
    TableText menuText;
};

// An operation number at or beyond the end of the table names no operation:
// its texts are empty, it has no flags, kind 0, no help topic and no pane,
// accepts no image, produces no kinds, and Apply answers false without
// touching anything.
class CTableProcessingPlugin : public CProcessingPlugin {
  public:
    CTableProcessingPlugin(CPluginHost* host, StringTable strings,
                           std::span<const OperationEntry> operations, OperationGroup group = {});

    uint16_t GetOperationCount() final;
    const char* GetName(bool menuForm) final;
    const char* GetGroupName(bool menuForm) final;
    const char* GetDescription() final;
    bool Apply(const CVImage* source, CVImage* destination, CVProgress* progress) final;
    bool CanApply(const CVImage* image) final;
    ImageKindSet* GetOutputKinds(const ImageKindSet* input) final;
    uint16_t GetFlags() final;
    int GetKind() final;
    CPluginPane* CreateSettingsPane(CPaneSite* site) final;
    // Opens the current operation's help page; nothing for an operation
    // without a topic.
    void Help(QWidget* window) override;

    // The current operation's entry, or null when the number names none.
    const OperationEntry* CurrentEntry() const;
    // The current operation's help topic, 0 when it has none.
    int HelpTopic() const;

  protected:
    // The hooks are called for an operation of the table only.
    virtual bool Run(const CVImage* source, CVImage* destination, CVProgress* progress) = 0;
    virtual bool Accepts(const CVImage& image) = 0;
    // input is an ordinary set (special byte 0).
    virtual ImageKindSet OutputKinds(const ImageKindSet& input) = 0;
    // Only for an operation flagged OpHasSettings.
    virtual CPluginPane* CreatePane(CPaneSite* site) = 0;

  private:
    const char* Text(TableText text) const;

    // First, so that the base ends on an 8-byte boundary and a packed
    // settings block declared next in a plug-in keeps its fields aligned.
    ImageKindSet outputKinds{};
    StringTable strings;
    std::span<const OperationEntry> operations;
    OperationGroup group;
};

} // namespace pixmill
