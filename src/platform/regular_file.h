// Opening the program's own files (INI files, documents) so that a path that
// names something other than a file can do no harm: a FIFO would block open()
// or read() until a writer comes, a directory or /dev/zero would "open", and a
// device may act on being opened. Such a path is refused before it is opened,
// and once more on the open descriptor, in case it was replaced in between.
//
// Any thread; never blocks on anything but the file system.
#pragma once

#include <sys/types.h>

#include <string>

#include "platform/sys_error.h"

// open(2) of path with flags (O_CLOEXEC is added) when path is a regular file
// or, with O_CREAT in flags, does not exist yet. Success with the descriptor
// in *fd, blocking; otherwise *fd is -1 and the failure is at kCreate (flags
// with O_CREAT), kRead (read-only) or kWrite: ENOENT for a missing file,
// EINVAL for a path that is not a regular file, or the error of the open
// itself.
SysError OpenRegularFile(const std::string& path, int flags, int* fd, mode_t mode = 0666);
