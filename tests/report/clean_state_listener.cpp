// Every report test starts from a clean process state, whatever the test
// before it installed or left behind.

#include "report/core/process_state.h"

#include <gtest/gtest.h>

namespace {

class CleanStateListener : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { frResetProcessState(); }
};

const bool kInstalled = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new CleanStateListener);
    return true;
}();

} // namespace
