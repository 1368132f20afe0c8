// Opening a name beneath a directory, for runs confined to one: no name,
// however it is written and whatever symbolic links it meets, may reach a file
// outside the directory, and nothing depends on the process's working
// directory.
#pragma once

#include <string_view>

namespace quenfold {

enum class Beneath {
  kAuto,  // the kernel's openat2 with RESOLVE_BENEATH where it has it, else kWalk
  kWalk,  // one component at a time with O_NOFOLLOW, symbolic links read and followed by hand
};

// Opens the relative name `name` beneath the directory `root` (a descriptor)
// with `flags` (O_CLOEXEC is added). Symbolic links are followed as long as
// they stay beneath `root`; "." and ".." are resolved as the kernel does, but
// never above `root`. Returns the new descriptor, or -1 with errno set: EACCES
// for a name that is absolute or that leads outside `root` (through "..", or a
// link to an absolute name or above `root`), otherwise what the failing step
// set (ENOENT, ENOTDIR, ELOOP, ...).
int open_beneath(int root, std::string_view name, int flags, Beneath how = Beneath::kAuto);

// The flags that open a name only to look at it (fstat), reading nothing:
// O_PATH where the system has it.
int probe_flags();

}  // namespace quenfold
