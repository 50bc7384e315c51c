// Replays the script fuzzer's minimised corpus: every input compiles, runs
// and is searched for calls without crashing or running away.

#include "script_fuzz_case.h"

#include "report/corpus_replay.h"

#include <gtest/gtest.h>

TEST(ScriptCorpus, EveryInputRunsToAnEnd) {
    const int inputs =
        ReplayCorpus("script_corpus", [](const std::string& bytes) { fuzzcase::RunScript(bytes); });
    EXPECT_GT(inputs, 100);
}
