// Feeds arbitrary bytes to the readers of newer Access values and of the
// .accdb encryption header.

#include "access_fuzz_case.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcase::ReadAccessValue(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
