// The fixture of the end-to-end tests: a fresh folder holding in.gba (1,000 bytes
// of patternBytes), and the built program run in that folder. Both are made in SetUp,
// so a fixture that skips a platform's missing cases does so first in its SetUp.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/run_program.hpp"
#include "support/temp_dir.hpp"

namespace tagwright::testing {

class ProgramInFolder : public ::testing::Test {
  protected:
    TempDir dir;
    std::vector<std::uint8_t> input = patternBytes(1000);

    void SetUp() override { writeFile(dir.file("in.gba"), input); }
    RunResult run(const std::vector<std::string>& arguments, RunOptions options = {}) {
        options.workingDirectory = dir.folder();
        return runProgram(tagwrightPath(), arguments, options);
    }
};

}  // namespace tagwright::testing
