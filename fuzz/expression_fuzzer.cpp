// Feeds arbitrary bytes to the expression compiler, the postfix evaluator
// and the function splitter (see expression_fuzz_case.h).

#include "expression_fuzz_case.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcase::RunExpression(std::string_view(reinterpret_cast<const char*>(data), size));
    return 0;
}
