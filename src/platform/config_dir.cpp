#include "platform/config_dir.h"

#include <mutex>

namespace {

std::mutex g_overrideLock;
std::string g_override;
std::string g_chosen;  // under g_overrideLock, once chosen
bool g_haveChosen = false;

}  // namespace

std::string ConfigDir() {
  std::lock_guard<std::mutex> guard(g_overrideLock);
  if (!g_override.empty()) return g_override;
  if (!g_haveChosen) {
    g_haveChosen = true;
    g_chosen = DefaultConfigDir();
  }
  return g_chosen;
}

void SetConfigDirOverride(const std::string& path) {
  std::lock_guard<std::mutex> guard(g_overrideLock);
  g_override = path;
}
