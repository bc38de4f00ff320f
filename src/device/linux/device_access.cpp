// Who may open a device on Linux: its owner, group and mode from stat(2),
// the names from the user database.
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include "device/serial_open_error.h"
#include "platform/text.h"

bool ReadDeviceAccess(const std::string& path, DeviceAccess* access) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  const group* grp = getgrgid(st.st_gid);
  access->group = grp != nullptr ? grp->gr_name : StrFormat("%u", static_cast<unsigned>(st.st_gid));
  const passwd* owner = getpwuid(st.st_uid);
  access->owner = owner != nullptr ? owner->pw_name : StrFormat("%u", static_cast<unsigned>(st.st_uid));
  access->mode = static_cast<unsigned>(st.st_mode & 07777);
  bool inGroup = getegid() == st.st_gid;
  gid_t groups[256];
  const int count = getgroups(256, groups);
  for (int i = 0; i < count && !inGroup; ++i) inGroup = groups[i] == st.st_gid;
  access->groupWouldHelp = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP) && !inGroup;
  return true;
}
