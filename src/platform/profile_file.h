// PRIVATE to the INI profile (profile.cpp): the file side of reading and
// rewriting an INI file on one system. The profile decides what the lines
// say; these read the bytes and put new bytes in place, with the checks that
// keep a write from going anywhere but the file named.
//
// Any thread; blocks on file I/O only.
#pragma once

#include <string>

#include "platform/sys_error.h"

// The whole file at path into *content. Failures are at kRead: ENOENT for a
// missing file, EINVAL for a path that is no regular file (a FIFO, a folder,
// a device), EFBIG for one larger than PROFILE_MAX_BYTES (also when it grows
// while it is read; *content is then empty), or the system's error.
SysError ReadProfileFile(const std::string& path, std::string* content);

// What a replacement keeps of the file it replaces: whether there was one,
// and its permission bits (POSIX) or attributes (Windows).
struct ProfileFileState {
  bool exists = false;
  unsigned mode = 0;
};

// The file's content before a rewrite, read through no link. A missing file
// is success with an empty content and state->exists false. A failure when
// the file must not be rewritten: ELOOP for a link in its place, the read's
// error, EACCES at kWrite when it may not be written (no write permission,
// for root too; a read-only file on Windows).
SysError ReadProfileForRewrite(const std::string& path, std::string* content, ProfileFileState* state);

// Writes content to a fresh file beside path and renames it over the name
// path (the name itself is replaced; nothing it may point to is touched), so
// that a crash leaves the old or the new file, never half of one. The new
// file keeps what state holds. False with nothing changed when any step fails.
bool ReplaceProfileFile(const std::string& path, const std::string& content, const ProfileFileState& state);
