// The trial run where the emulator core cannot be opened (a machine without libmgba, or
// with another version of it): built to open a library that does not exist. The run
// says why it did not happen, the judgement goes on without it, and nothing is taken
// for evidence.
#include <gtest/gtest.h>

#include <string>

#include "needs/trial_run.hpp"
#include "support/small_programs.hpp"

namespace tagwright {
namespace {

TEST(TrialWithoutCore, SaysWhyAndDecidesNothing) {
    EXPECT_FALSE(trialRunAvailable());
    EXPECT_EQ(trialCoreName(), nullptr);
    const auto rom = testing::computedJumpProgram();  // code that only a run can judge
    const TrialTrace trace = traceTrialRun(rom);
    EXPECT_FALSE(trace.ran);
    ASSERT_NE(trace.notRun, nullptr);
    EXPECT_EQ(std::string(trace.notRun),
              "the emulator core (libmgba-absent.so.0) could not be opened");

    const GameNeeds needs = judgeGameNeeds(rom, trialRunner());
    EXPECT_EQ(needs.outcome, SaveMemory::Unknown);
    bool said = false;
    for (const NeedEvidence& item : needs.evidence) {
        EXPECT_NE(item.sureness, Sureness::Decides);
        said = said || item.what.find("could not be opened") != std::string::npos;
    }
    EXPECT_TRUE(said);
}

}  // namespace
}  // namespace tagwright
