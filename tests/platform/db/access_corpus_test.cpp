// Replays the Access-values fuzzer's minimised corpus: every input is read
// to an end without a crash.

#include "access_fuzz_case.h"

#include "report/corpus_replay.h"

#include <gtest/gtest.h>

TEST(AccessCorpus, EveryInputReadsToAnEnd) {
    const int inputs = ReplayCorpus("access_corpus", fuzzcase::ReadAccessValue);
    EXPECT_GT(inputs, 10);
}
