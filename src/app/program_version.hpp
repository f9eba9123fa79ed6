// The program's version, as the banner, --version and the packages show it. It is
// set once, in the project() call of the top-level CMakeLists.txt.
#pragma once

namespace tagwright {

#ifndef TAGWRIGHT_VERSION
#error "TAGWRIGHT_VERSION is defined by the build"
#endif

inline constexpr const char* kProgramVersion = TAGWRIGHT_VERSION;

}  // namespace tagwright
