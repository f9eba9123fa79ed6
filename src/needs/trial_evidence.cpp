#include "needs/trial_run.hpp"

namespace tagwright {

std::vector<NeedEvidence> trialEvidence(const TrialTrace&) { return {}; }

}  // namespace tagwright
