#include "pixmill/operation_table.h"
#include "pixmill/help.h"

namespace pixmill {

CTableProcessingPlugin::CTableProcessingPlugin(CPluginHost* host, StringTable strings,
                                               std::span<const OperationEntry> operations,
                                               OperationGroup group)
    : CProcessingPlugin(host), strings(strings), operations(operations), group(group) {}

const OperationEntry* CTableProcessingPlugin::CurrentEntry() const {
    return currentOperation < operations.size() ? &operations[currentOperation] : nullptr;
}

const char* CTableProcessingPlugin::Text(TableText text) const {
    return text.text != nullptr ? text.text : LookupString(strings, text.id);
}

uint16_t CTableProcessingPlugin::GetOperationCount() {
    return static_cast<uint16_t>(operations.size());
}

const char* CTableProcessingPlugin::GetName(bool menuForm) {
    const OperationEntry* entry = CurrentEntry();
    return entry == nullptr ? "" : Text(menuForm ? entry->menuText : entry->name);
}

const char* CTableProcessingPlugin::GetGroupName(bool menuForm) {
    if (group.name.IsNone()) {
        return nullptr;
    }
    return Text(menuForm ? group.menuText : group.name);
}

const char* CTableProcessingPlugin::GetDescription() {
    const OperationEntry* entry = CurrentEntry();
    return entry == nullptr ? "" : Text(entry->description);
}

bool CTableProcessingPlugin::Apply(const CVImage* source, CVImage* destination,
                                   CVProgress* progress) {
    return CurrentEntry() != nullptr && Run(source, destination, progress);
}

bool CTableProcessingPlugin::CanApply(const CVImage* image) {
    return image != nullptr && CurrentEntry() != nullptr && Accepts(*image);
}

ImageKindSet* CTableProcessingPlugin::GetOutputKinds(const ImageKindSet* input) {
    if (input == nullptr || input->special != 0 || CurrentEntry() == nullptr) {
        return nullptr;
    }
    outputKinds = OutputKinds(*input);
    return &outputKinds;
}

uint16_t CTableProcessingPlugin::GetFlags() {
    const OperationEntry* entry = CurrentEntry();
    return entry == nullptr ? 0 : entry->flags;
}

int CTableProcessingPlugin::GetKind() {
    const OperationEntry* entry = CurrentEntry();
    return entry == nullptr ? KindImageOperation : entry->kind;
}

CPluginPane* CTableProcessingPlugin::CreateSettingsPane(CPaneSite* site) {
    const OperationEntry* entry = CurrentEntry();
    if (entry == nullptr || (entry->flags & OpHasSettings) == 0) {
        return nullptr;
    }
    return CreatePane(site);
}

void CTableProcessingPlugin::Help(QWidget*) {
    if (HelpTopic() != 0) {
        OpenHelpPage(HelpTopic());
    }
}

int CTableProcessingPlugin::HelpTopic() const {
    const OperationEntry* entry = CurrentEntry();
    return entry == nullptr ? 0 : entry->helpTopic;
}

} // namespace pixmill
