// The serial devices in sysfs and /dev (Linux).
#include "device/port_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

#include "platform/path_name.h"
#include "platform/regular_file.h"

namespace {

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  return names;
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

// The first line of a small sysfs attribute, without its line feed, at most
// 255 bytes. Only a regular file is read: a FIFO in a tree that is not the
// kernel's would block the caller (the UI thread) for good.
std::string ReadAttribute(const std::string& path) {
  // A failure reads as empty: most attributes are simply missing (no USB
  // device behind an on-board UART), and the list shows what is known.
  int fd = -1;
  if (OpenRegularFile(path, O_RDONLY, &fd).Failed()) return std::string();
  char line[256];
  ssize_t got;
  do {
    got = read(fd, line, sizeof line - 1);
  } while (got < 0 && errno == EINTR);
  close(fd);
  if (got <= 0) return std::string();
  std::string text(line, static_cast<std::size_t>(got));
  text.resize(std::min(text.find('\n'), text.size()));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string RealPath(const std::string& path) {
  char resolved[PATH_MAX];
  return realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// The USB device above a tty's device folder: the first folder on the way up
// that carries idVendor; empty when there is none.
std::string UsbDeviceFolder(const std::string& deviceFolder, const std::string& sysRoot) {
  std::string folder = RealPath(deviceFolder);
  const std::string top = RealPath(sysRoot);
  while (!folder.empty() && folder != top && folder != "/") {
    if (Exists(folder + "/idVendor")) return folder;
    folder = PathFolder(folder);
  }
  return std::string();
}

void ReadUsbFacts(const std::string& deviceFolder, const std::string& sysRoot, SerialPortInfo* info) {
  const std::string folder = UsbDeviceFolder(deviceFolder, sysRoot);
  if (folder.empty()) return;
  info->maker = ReadAttribute(folder + "/manufacturer");
  info->product = ReadAttribute(folder + "/product");
  info->serial = ReadAttribute(folder + "/serial");
}

// "ttyUSB" followed by digits only (and the same for the other prefixes).
bool IsNumberedName(const std::string& name, const char* prefix) {
  const std::string head = prefix;
  if (name.size() <= head.size() || name.compare(0, head.size(), head) != 0) return false;
  return std::all_of(name.begin() + static_cast<std::ptrdiff_t>(head.size()), name.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// The driver of the device, or of the first device above it when the serial
// core's own "port" and "ctrl" devices stand in between (newer kernels).
std::string DriverName(const std::string& deviceFolder, const std::string& sysRoot) {
  std::string folder = RealPath(deviceFolder);
  const std::string top = RealPath(sysRoot);
  while (!folder.empty() && folder != top && folder != "/") {
    const std::string driver = PathFileName(RealPath(folder + "/driver"));
    if (!driver.empty() && driver != "port" && driver != "ctrl") return driver;
    folder = PathFolder(folder);
  }
  return std::string();
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts(const std::string& sysRoot, const std::string& devRoot) {
  const std::string ttyClass = sysRoot + "/class/tty";
  std::vector<SerialPortInfo> ports;
  for (const std::string& name : FolderEntries(ttyClass)) {
    const std::string entry = ttyClass + "/" + name;
    // Virtual terminals, ptys and the console have no device behind them.
    if (!Exists(entry + "/device")) continue;
    // The 8250 driver registers every possible ttyS; type 0 means no UART
    // answered at that address.
    if (name.rfind("ttyS", 0) == 0) {
      const std::string type = ReadAttribute(entry + "/type");
      if (type.empty() || type == "0") continue;
    }
    SerialPortInfo info;
    info.path = devRoot + "/" + name;
    if (!Exists(info.path)) continue;
    info.driver = DriverName(entry + "/device", sysRoot);
    ReadUsbFacts(entry + "/device", sysRoot, &info);
    ports.push_back(info);
  }
  // Stable names: links in /dev/serial/by-id to ../../ttyUSB0 and the like.
  const std::string byId = devRoot + "/serial/by-id";
  for (const std::string& link : FolderEntries(byId)) {
    char target[PATH_MAX];
    const ssize_t n = readlink((byId + "/" + link).c_str(), target, sizeof target - 1);
    if (n <= 0) continue;
    const std::string device = PathFileName(std::string(target, static_cast<std::size_t>(n)));
    for (SerialPortInfo& info : ports) {
      if (PathFileName(info.path) == device && info.byId.empty()) info.byId = byId + "/" + link;
    }
  }
  SortSerialPorts(&ports);
  return ports;
}

SerialReopenRule ReopenRuleFor(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return SerialReopenRule::kFollow;
  if (path.rfind("/dev/pts/", 0) == 0) return SerialReopenRule::kNever;
  const std::string name = PathFileName(path);
  if (IsNumberedName(name, "ttyUSB") || IsNumberedName(name, "ttyACM")) return SerialReopenRule::kSameDevice;
  return SerialReopenRule::kFollow;
}

std::string SerialDeviceIdentity(const std::string& path, const std::string& sysRoot) {
  const std::string folder = UsbDeviceFolder(sysRoot + "/class/tty/" + PathFileName(path) + "/device", sysRoot);
  if (folder.empty()) return std::string();
  const std::string product = ReadAttribute(folder + "/idVendor") + ":" + ReadAttribute(folder + "/idProduct");
  const std::string serial = ReadAttribute(folder + "/serial");
  // Without a serial number two adapters of one kind differ only by the USB
  // port they sit in (the folder's name, such as 1-1.2).
  return serial.empty() ? product + " at " + PathFileName(folder) : product + " serial " + serial;
}
