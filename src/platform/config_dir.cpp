#include "platform/config_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace {

std::mutex g_overrideLock;
std::string g_override;

}  // namespace

std::string ExecutableDir() {
  std::string path(4096, '\0');
  ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (n <= 0) return ".";
  path.resize(static_cast<size_t>(n));
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string ConfigDir() {
  {
    std::lock_guard<std::mutex> guard(g_overrideLock);
    if (!g_override.empty()) return g_override;
  }
  return ExecutableDir() + "/ConfigFile";
}

void SetConfigDirOverride(const std::string& path) {
  std::lock_guard<std::mutex> guard(g_overrideLock);
  g_override = path;
}

bool CreateDirectoryOneLevel(const std::string& path) {
  if (mkdir(path.c_str(), 0777) == 0) return true;
  if (errno != EEXIST) return false;
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
