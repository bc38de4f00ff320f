// INI profile files read and written the way Windows' private-profile
// functions treat them, so that a file written on Windows (code page 936
// bytes, CR LF line ends) reads back exactly and a file we write reads back
// there. Texts are GBK byte strings and are stored as they are.
//
// Reading: section and key names match without regard to ASCII case (bytes of
// double-byte characters are compared exactly); blanks around names and values
// are dropped; a value enclosed in matching double (or single) quotes loses
// them; a missing file, section or key gives the default (trailing blanks
// dropped), and so does a path that is not a regular file (a FIFO, a
// directory, a device); a key present with an empty value gives an empty text.
//
// Writing: every other line of the file stays as it was; the key is replaced
// on its own line or appended to its section, and a missing section is added at
// the end. Lines end in CR LF. The new content goes to a temporary file in the
// same folder that then replaces the file by a rename, so a crash leaves either
// the old or the new file, never half of one. A symbolic link in the file's
// place is never written through: the write is refused.
//
// Size: a file larger than PROFILE_MAX_BYTES is not read (and so never
// rewritten); it reads as a file that cannot be read, and one line on
// standard error says so, once per file.
//
// Any thread may call these; they block on file I/O only. Two writers of one
// file at the same time do not corrupt it, but one of the two updates is lost.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "platform/sys_error.h"

// 1 MiB: ten history entries or a port map take a few hundred bytes.
constexpr std::size_t PROFILE_MAX_BYTES = std::size_t{1} << 20;

// Reads the value of key in section of the file at path, whole (no buffer
// limit), into *value: empty when the file, the section or the key is
// missing. A failure at SysStep::kRead when the file exists but cannot be
// read: its own error (EACCES, ...), EINVAL when it is not a regular file (a
// FIFO, a folder), EFBIG when it is larger than PROFILE_MAX_BYTES. For a file
// whose failure must not pass as absent.
SysError ReadPrivateProfileValue(const std::string& section, const std::string& key, const std::string& path,
                                 std::string* value);

// Returns the value of key in section of the file at path, at most
// bufferSize - 1 bytes of it (nothing for a size of 0 or 1). A double-byte
// character is never cut in half at that limit.
std::string GetPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, std::size_t bufferSize,
                                    const std::string& path);

// What a read gives for a value written as written: blanks around it
// dropped, matching quotes removed, at most bufferSize - 1 bytes.
std::string ProfileValueAsRead(const std::string& written, std::size_t bufferSize);

// Sets key in section to value and rewrites the file; creates the file when
// its folder exists. False, with the file left as it was, when the folder is
// missing; when the file cannot be read, is a symbolic link or not a regular
// file, or may not be written (no write permission bit, for root too: a
// read-only history stays);
// when a text holds a line break (which would write lines of its own); or
// when a name could not be found again: an empty name, a section ending in
// the lead byte of a double-byte character (its "]" would become the trail
// byte), a key holding "=" or starting with "[" or ";".
bool WritePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path);

// Sets several keys of one section in a single rewrite of the file, each as
// WritePrivateProfileString would, in order. All or nothing: on failure the
// file is left as it was.
bool WritePrivateProfileKeys(const std::string& section,
                             const std::vector<std::pair<std::string, std::string>>& keyValues,
                             const std::string& path);
