// Builds small random templates over a few rows (see build_fuzz_case.h).

#include "build_fuzz_case.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcase::BuildTemplate(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
