// Feeds arbitrary bytes to the script compiler and runner (see
// script_fuzz_case.h).

#include "report/core/process_state.h"
#include "script_fuzz_case.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    frResetProcessState();
    fuzzcase::RunScript(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
