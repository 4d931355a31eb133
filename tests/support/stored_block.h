// Settings blocks as plug-ins store them: tests put a block in place before a
// plug-in loads and read back what it saved when it unloaded.
#pragma once

#include "host/settings_store.h"

#include <cstring>
#include <optional>
#include <type_traits>

namespace pixmill::test {

template <class Block> void StoreBlock(SettingsStore& store, const char* name, const Block& block) {
    static_assert(std::is_trivially_copyable_v<Block>);
    const auto* bytes = reinterpret_cast<const uint8_t*>(&block);
    store.WriteBinary(SettingsStore::kSettingsSection, name, Bytes(bytes, bytes + sizeof block));
}

// The stored block, or nothing when no block of this size is stored.
template <class Block> std::optional<Block> StoredBlock(SettingsStore& store, const char* name) {
    static_assert(std::is_trivially_copyable_v<Block>);
    const auto bytes = store.ReadBinary(SettingsStore::kSettingsSection, name);
    if (!bytes || bytes->size() != sizeof(Block)) {
        return std::nullopt;
    }
    Block block;
    std::memcpy(&block, bytes->data(), sizeof block);
    return block;
}

} // namespace pixmill::test
