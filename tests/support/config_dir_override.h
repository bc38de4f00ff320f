// Points the configuration folder at a test's own folder for as long as the
// object lives, and removes the override on every way out, a failed ASSERT
// included, so that no test leaves its folder to the tests after it.
#pragma once

#include <string>

#include "platform/config_dir.h"

class ScopedConfigDir {
 public:
  explicit ScopedConfigDir(const std::string& path) { SetConfigDirOverride(path); }
  ~ScopedConfigDir() { SetConfigDirOverride(""); }
  ScopedConfigDir(const ScopedConfigDir&) = delete;
  ScopedConfigDir& operator=(const ScopedConfigDir&) = delete;
};
