#include "platform/path_name.h"

namespace {

// The last '\' or '/' of a GBK path: a trail byte of a double-byte
// character may be 0x5C and is no separator.
std::size_t LastSeparator(const std::string& path) {
  std::size_t last = std::string::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(path[i]);
    if (c >= 0x81 && c <= 0xFE && i + 1 < path.size()) {
      ++i;
    } else if (c == '\\' || c == '/') {
      last = i;
    }
  }
  return last;
}

}  // namespace

std::string PathFolder(const std::string& path) {
  const std::size_t slash = LastSeparator(path);
  if (slash == std::string::npos) return ".";
  // The root keeps its separator: "C:\" and "\" are folders, "C:" is not.
  if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
  return path.substr(0, slash);
}

std::string PathFileName(const std::string& path) {
  const std::size_t slash = LastSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}
