#include "pixmill/settings_binding.h"
#include "pixmill/plugin_host.h"

#include <cstdlib>
#include <cstring>

namespace pixmill {

namespace {

// Zeros, the declared defaults, the stored value when its length matches,
// then every field in its range.
void LoadSettingsBlock(CPluginHost& host, const SettingsBlockSchema& schema, void* block) {
    std::memset(block, 0, schema.size);
    FillDefaults(block, schema);
    host.LoadSettings(schema.name, block, schema.size, schema.version);
    ClampToSchema(block, schema);
}

} // namespace

CSettingsBinding::~CSettingsBinding() {
    Save();
}

void CSettingsBinding::BindBytes(CPluginHost* newHost, const SettingsBlockSchema& newSchema,
                                 void* newBlock, uint32_t size) {
    if (newHost == nullptr || size != newSchema.size) {
        std::abort();
    }
    host = newHost;
    schema = &newSchema;
    block = newBlock;
    LoadSettingsBlock(*host, *schema, block);
}

void CSettingsBinding::Save() const {
    if (block != nullptr) {
        host->SaveSettings(schema->name, block, schema->size, schema->version);
    }
}

} // namespace pixmill
