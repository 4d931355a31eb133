// Memory and state given back when a scope ends, also when the host raises
// an error or the user breaks off: a block of the host's memory, a block of
// the scratch arena, a variable's earlier value, and any cleanup.
#pragma once

#include "pixmill/errors.h"
#include "pixmill/plugin_host.h"

#include <cstddef>
#include <cstdint>
#include <utility>

namespace pixmill {

// A block from the host's memory, freed at scope exit unless released.
class HostBlock {
  public:
    HostBlock(CPluginHost* host, size_t bytes)
        : host(host), data(static_cast<uint8_t*>(host->Alloc(bytes))) {}
    HostBlock(const HostBlock&) = delete;
    HostBlock& operator=(const HostBlock&) = delete;
    ~HostBlock() {
        if (data != nullptr) {
            host->Free(data);
        }
    }
    uint8_t* Get() const { return data; }
    // The caller takes the block over.
    uint8_t* Release() { return std::exchange(data, nullptr); }

  private:
    CPluginHost* host;
    uint8_t* data;
};

// Bytes of the host's scratch arena, given back at scope exit. Blocks go
// back in the reverse order of taking them, as scopes end.
class ScratchBlock {
  public:
    enum class WhenFull { Raise, StayEmpty };

    // WhenFull::Raise: image error "out of memory" when the arena has no
    // room; WhenFull::StayEmpty: Get() is null instead.
    ScratchBlock(CPluginHost* host, size_t bytes, WhenFull whenFull = WhenFull::Raise)
        : host(host), bytes(bytes), data(host->ScratchAlloc(bytes)) {
        if (data == nullptr && whenFull == WhenFull::Raise) {
            host->RaiseImageError(CVImageError::OutOfMemory);
        }
    }
    ScratchBlock(const ScratchBlock&) = delete;
    ScratchBlock& operator=(const ScratchBlock&) = delete;
    ~ScratchBlock() {
        if (data != nullptr) {
            host->ScratchRelease(data, bytes);
        }
    }
    uint8_t* Get() const { return data; }

  private:
    CPluginHost* host;
    size_t bytes;
    uint8_t* data;
};

// Gives a variable its current value back at scope exit.
template <class T> class RestoreOnExit {
  public:
    explicit RestoreOnExit(T& variable) : variable(variable), saved(variable) {}
    RestoreOnExit(const RestoreOnExit&) = delete;
    RestoreOnExit& operator=(const RestoreOnExit&) = delete;
    ~RestoreOnExit() { variable = saved; }

  private:
    T& variable;
    T saved;
};

// Runs a cleanup at scope exit unless dismissed. The cleanup must not throw.
template <class F> class OnExit {
  public:
    explicit OnExit(F cleanup) : cleanup(std::move(cleanup)) {}
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;
    ~OnExit() {
        if (armed) {
            cleanup();
        }
    }
    void Dismiss() { armed = false; }

  private:
    F cleanup;
    bool armed = true;
};

} // namespace pixmill
