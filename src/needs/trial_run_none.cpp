// A build without an emulator core (Windows, or TAGWRIGHT_TRIAL_RUN=OFF): no trial run.
#include "needs/trial_run.hpp"

namespace tagwright {

bool trialRunAvailable() { return false; }

const char* trialCoreName() { return nullptr; }

TrialTrace traceTrialRun(std::span<const std::uint8_t>, std::uint32_t, double) { return {}; }

TrialRunner trialRunner() { return nullptr; }

}  // namespace tagwright
