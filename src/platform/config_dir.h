// Where the program keeps its files: the folder of the executable and the
// configuration folder "ConfigFile" beside it. Tests point the configuration
// folder at a temporary folder of their own with SetConfigDirOverride.
// Any thread may read; set the override before other threads use it.
#pragma once

#include <string>

// Folder that holds the running executable, without a trailing slash.
std::string ExecutableDir();

// ExecutableDir() + "/ConfigFile", or the override when one is set.
std::string ConfigDir();

// An empty path removes the override.
void SetConfigDirOverride(const std::string& path);

// Creates one directory level (mode 0777 less the umask). True when it was
// created or already exists as a directory.
bool CreateDirectoryOneLevel(const std::string& path);
