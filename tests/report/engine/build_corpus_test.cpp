// Replays the build fuzzer's minimised corpus: every template builds to an
// end, within the sheet cap, without crashing.

#include "build_fuzz_case.h"

#include "report/corpus_replay.h"

#include <gtest/gtest.h>

TEST(BuildCorpus, EveryTemplateBuildsToAnEnd) {
    const int inputs = ReplayCorpus(
        "build_corpus", [](const std::string& bytes) { fuzzcase::BuildTemplate(bytes); });
    EXPECT_GT(inputs, 20);
}
