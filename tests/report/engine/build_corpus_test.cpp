// Replays the build fuzzer's minimised corpus: every template builds to an
// end, within the sheet cap, without crashing.

#include "build_fuzz_case.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

TEST(BuildCorpus, EveryTemplateBuildsToAnEnd) {
    const std::filesystem::path dir = std::filesystem::path(TEST_DATA_DIR) / "build_corpus";
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
        SCOPED_TRACE(entry.path().filename().string());
        fuzzcase::BuildTemplate(bytes);
        ++inputs;
    }
    EXPECT_GT(inputs, 20);
}
