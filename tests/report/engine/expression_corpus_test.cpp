// Replays the expression fuzzer's minimised corpus: every input compiles,
// evaluates and is searched for calls without crashing or running away.

#include "expression_fuzz_case.h"

#include "report/corpus_replay.h"

#include <gtest/gtest.h>

TEST(ExpressionCorpus, EveryInputRunsToAnEnd) {
    const int inputs = ReplayCorpus(
        "expression_corpus", [](const std::string& bytes) { fuzzcase::RunExpression(bytes); });
    EXPECT_GT(inputs, 100);
}
