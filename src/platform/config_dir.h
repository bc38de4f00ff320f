// Where the program keeps its files: the folder of the executable and the
// configuration folder. That is "ConfigFile" beside the executable when it
// exists or can be created there and is writable (a build tree, a portable
// copy); otherwise, for a program installed in a system folder,
// $XDG_CONFIG_HOME/quillon/ConfigFile (~/.config/quillon/ConfigFile when the
// variable is unset), created on first use; on Windows
// %APPDATA%\Quillon\ConfigFile. On POSIX a folder is used only when it is
// a real folder (not a symbolic link), owned by the user or root, and
// writable by nobody else, under folders none of which another user owns or
// others may write to without the sticky bit (who could swap it for their
// own); one that is not is passed over with one line on standard error.
// Without a home folder there is no configuration folder (an empty path):
// nothing is read from or written to a shared place such as /tmp. Tests
// point the configuration folder at a temporary folder of their own with
// SetConfigDirOverride.
// Any thread may read; set the override before other threads use it. The
// first call may create folders; the choice is kept for the process.
#pragma once

#include <string>

// Folder that holds the running executable, without a trailing slash.
std::string ExecutableDir();

// The configuration folder as chosen above, or the override when one is set.
std::string ConfigDir();

// The choice for this process, from its executable's folder and its
// environment, without the override; made afresh on every call.
std::string DefaultConfigDir();

// The choice itself, for an executable in exeDir and the user's folders
// (empty when unknown): $XDG_CONFIG_HOME and $HOME on POSIX; on Windows
// %APPDATA% as userConfigHome, and home is not used. Creates the folder it
// returns when it can. Empty when no folder may be used.
std::string ChooseConfigDir(const std::string& exeDir, const std::string& userConfigHome,
                            const std::string& home);

// An empty path removes the override.
void SetConfigDirOverride(const std::string& path);

// Creates one directory level (mode 0755 less the umask on POSIX). True when
// it was created or already exists as a directory.
bool CreateDirectoryOneLevel(const std::string& path);
