// Replays the script fuzzer's minimised corpus: every input compiles, runs
// and is searched for calls without crashing or running away.

#include "script_fuzz_case.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

TEST(ScriptCorpus, EveryInputRunsToAnEnd) {
    const std::filesystem::path dir = std::filesystem::path(TEST_DATA_DIR) / "script_corpus";
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().filename().string());
        fuzzcase::RunScript(bytes);
        ++inputs;
    }
    EXPECT_GT(inputs, 100);
}
