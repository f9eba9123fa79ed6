// The walk from an output name to what is finally written, on POSIX systems.
//
// The output name is walked from descriptors, the way the kernel walks it for
// open(O_CREAT): the folder part is opened (the kernel follows every link in it), the
// last part is looked at without following, and a link there is read and its target
// taken from the folder that holds the link, so no path text is ever joined. A link in
// a sticky world-writable folder is followed only when its owner is the caller or the
// folder's owner, as fs.protected_symlinks has it, whatever that setting says here.
#pragma once

#include <sys/stat.h>

#include <optional>
#include <string>

#include "image/posix_descriptor.hpp"

namespace tagwright::files {

// A folder to work in. One the program may not list (a drop box) is opened as a
// path only, which still serves every *at() call.
struct Folder {
    Descriptor fd;
    bool listable = false;
};

// What a name leads to: a descriptor already open, a device or FIFO, a regular file
// or a free name in a folder, or nothing that may be written.
struct Target {
    enum class Kind { Descriptor, Special, File, Unreachable } kind = Kind::Unreachable;
    int descriptor = -1;                  // Kind::Descriptor
    Folder folder;                        // Kind::Special and Kind::File: where the name is
    std::string base;                     // and the name in it
    std::optional<struct stat> existing;  // Kind::File: the regular file there now

    // Whether the regular file there now is the file `facts` describes.
    bool isFile(const FileFacts& facts) const {
        return existing && factsOf(*existing).sameFileAs(facts);
    }
};

// Follows the name through symbolic links to what is finally written.
Target resolve(const std::string& name);

// Whether nothing may be removed or renamed in the folder (chattr +a): a named
// temporary file could never be taken away again there.
bool isAppendOnly(const Folder& folder);

}  // namespace tagwright::files
