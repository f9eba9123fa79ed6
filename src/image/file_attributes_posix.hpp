// The attributes a new file takes before its first byte is written, all set through
// its descriptor, never by name:
//
//   replacing a file   its owner and group where the program may set them; its
//                      permission bits and POSIX ACL (posix_acl.hpp), narrowed when the
//                      owner or group could not be kept, so that no one gains read
//                      access; its extended attributes in the user. and security.
//                      namespaces, where the file system takes them
//   a new name         what open(O_CREAT, 0666) would give it there: the folder's
//                      default ACL when it has one, otherwise 0666 less the umask
//
// ACLs and extended attributes are Linux's; elsewhere only owner, group and mode count.
#pragma once

#include <sys/stat.h>

namespace tagwright::files {

// `replaced` is an open descriptor of the file being replaced, `old` its status.
bool takeOverAttributes(int fd, int replaced, const struct stat& old);

// For a file made private (0600) that is to end up as a new name in `folder`.
bool giveNewFileAttributes(int fd, int folder);

}  // namespace tagwright::files
