#include "platform/config_dir.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

namespace {

std::mutex g_overrideLock;
std::string g_override;
std::string g_chosen;  // under g_overrideLock, once chosen

bool IsWritableFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && access(path.c_str(), W_OK | X_OK) == 0;
}

// Folders that belong to the system's package manager: nothing of ours is
// ever created there, also not when root runs the program.
bool IsSystemFolder(const std::string& path) {
  for (const char* top : {"/usr", "/bin", "/sbin", "/lib"}) {
    const std::string folder = top;
    if (path == folder || path.rfind(folder + "/", 0) == 0) return true;
  }
  return false;
}

// Creates every missing level of an absolute path; true when it is a
// folder afterwards.
bool CreateDirectories(const std::string& path) {
  for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    CreateDirectoryOneLevel(path.substr(0, slash));
  }
  return CreateDirectoryOneLevel(path);
}

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
  std::lock_guard<std::mutex> guard(g_overrideLock);
  if (g_chosen.empty()) {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string homeDir = home != nullptr ? home : "";
    if (homeDir.empty()) {
      if (const passwd* user = getpwuid(getuid())) homeDir = user->pw_dir != nullptr ? user->pw_dir : "";
    }
    g_chosen = ChooseConfigDir(ExecutableDir(), xdg != nullptr ? xdg : "", homeDir);
  }
  return g_chosen;
}

std::string ChooseConfigDir(const std::string& exeDir, const std::string& xdgConfigHome,
                            const std::string& home) {
  const std::string beside = exeDir + "/ConfigFile";
  if (IsWritableFolder(beside)) return beside;
  struct stat st {};
  if (!IsSystemFolder(exeDir) && stat(beside.c_str(), &st) != 0 && errno == ENOENT &&
      access(exeDir.c_str(), W_OK | X_OK) == 0 && CreateDirectoryOneLevel(beside)) {
    return beside;
  }
  // XDG_CONFIG_HOME counts only as an absolute path; a relative one is ignored.
  std::string base = xdgConfigHome;
  if (base.empty() || base[0] != '/') base = (home.empty() ? std::string("/tmp") : home) + "/.config";
  const std::string folder = base + "/quillon/ConfigFile";
  CreateDirectories(folder);  // a failure shows later, as for any folder that cannot be written
  return folder;
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
