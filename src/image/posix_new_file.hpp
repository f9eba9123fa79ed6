// The new file a replacement is written to, beside its target, on POSIX systems.
//
// It is private from its first moment: unnamed where the system offers it (Linux
// O_TMPFILE; no one can open it before it has a name), otherwise created under a
// ".NAME.tagwright-XXXXXXXX.tmp" name exclusively, not following links, with mode
// 0600. An unnamed file is linked in under its final name (a new name) or under such
// a temporary name before the rename (a replacement).
#pragma once

#include <sys/types.h>

#include <string>

#include "image/posix_descriptor.hpp"

namespace tagwright::files {

// The new file while it is being made. Its destructor removes what exists of it
// unless it was committed or linked in under the final name.
class NewFile {
  public:
    NewFile(int folder, std::string base) : folder_(folder), base_(std::move(base)) {}
    ~NewFile() { discard(); }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Creates the file, unnamed with `unnamedMode` when `unnamed` and the file system
    // allows it, otherwise, if `namedAllowed`, under a temporary name with mode 0600.
    bool create(bool unnamed, mode_t unnamedMode, bool namedAllowed);

    int fd() const { return fd_.get(); }
    bool named() const { return !name_.empty(); }

    // Links an unnamed file in under `name`, which must not exist. Fails with errno
    // EEXIST when it does.
    bool linkAs(const std::string& name);
    // Gives an unnamed file its temporary name; a named one has it already.
    bool giveName();
    // Renames the file over the target, after checking that its name is still ours.
    bool commit();
    bool close() { return fd_.close(); }
    // Removes the temporary name, if any, and closes the file.
    void discard();

  private:
    bool createNamed();

    int folder_;
    std::string base_;
    Descriptor fd_;
    std::string name_;  // while the file has a name of its own in the folder
};

}  // namespace tagwright::files
