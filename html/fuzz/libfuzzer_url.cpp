#include "html/fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return pixmill::FuzzHtmlUrl(data, size);
}
