// The trial run's time per ROM: each file named is run as --info runs it where the code
// does not decide, and one line per file gives the processor time, the frames run and
// what the run saw.   trial_time ROM...
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "needs/trial_run.hpp"

int main(int argc, char** argv) {
    if (!tagwright::trialRunAvailable()) {
        std::puts("no trial run in this build");
        return 0;
    }
    for (int i = 1; i < argc; ++i) {
        std::ifstream in(argv[i], std::ios::binary);
        const std::vector<std::uint8_t> rom((std::istreambuf_iterator<char>(in)),
                                            std::istreambuf_iterator<char>());
        const auto trace = tagwright::traceTrialRun(rom);
        std::printf("%s\t%.3f\t%u\t%s\t%zu\t%zu\n", argv[i], trace.seconds,
                    static_cast<unsigned>(trace.frames), trace.cutShort ? "cut" : "whole",
                    trace.accesses.size(), trace.dmaStarts.size());
    }
    return 0;
}
