// Writing a file so that a failure never destroys what was there before.
//
// A regular file (or a name that does not exist yet) is written to a temporary
// file in the same folder, flushed, given the old file's permission bits and then
// renamed over the target. A symbolic link is followed, so its target is replaced
// and the link stays a link. A target that exists but is not a regular file
// (/dev/null, a FIFO, a terminal) cannot be replaced by renaming and is written
// directly. No temporary file is left behind, whatever happens.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace tagwright {

enum class WriteOutcome {
    Written,      // every byte reached the file
    NotCreated,   // the file could not be created or opened; nothing changed
    WriteFailed,  // writing, flushing, closing or renaming failed; the target is as it was
};

// Writes the segments, one after another, as the whole content of the named file.
WriteOutcome writeFileSafely(const std::string& name,
                             std::span<const std::span<const std::uint8_t>> segments);

}  // namespace tagwright
