// The one way a plug-in keeps its stored settings block: bound to the
// block's declaration, loaded through the host (zeros, then the declared
// defaults, then the stored value when its length matches, then every field
// brought into its declared range) and saved under the declared name, size
// and version when the binding ends.
#pragma once

#include "pixmill/settings_schema.h"

#include <cstdint>
#include <type_traits>

namespace pixmill {

class CPluginHost;

class CSettingsBinding {
  public:
    CSettingsBinding() = default;
    CSettingsBinding(const CSettingsBinding&) = delete;
    CSettingsBinding& operator=(const CSettingsBinding&) = delete;
    // Saves the bound block.
    ~CSettingsBinding();

    // Binds block (again) and loads it. The block must outlive the binding.
    template <class Block>
    void Bind(CPluginHost* host, const SettingsBlockSchema& schema, Block& block) {
        static_assert(std::is_trivially_copyable_v<Block> &&
                      std::is_trivially_destructible_v<Block>);
        BindBytes(host, schema, &block, sizeof(Block));
    }
    // Writes the bound block through the host; nothing when none is bound.
    void Save() const;

  private:
    // A block whose size differs from the declaration is a programming
    // error: it aborts.
    void BindBytes(CPluginHost* host, const SettingsBlockSchema& schema, void* block,
                   uint32_t size);

    CPluginHost* host = nullptr;
    const SettingsBlockSchema* schema = nullptr;
    void* block = nullptr;
};

} // namespace pixmill
