#include "device/serial_open_error.h"

#include <cerrno>

#include "device/port_path.h"
#include "platform/text.h"

namespace {

// The cure for a device this user may not open depends on who may use it:
// joining its group helps only when that group may read and write it; a
// device only its owner may use needs the owner or an administrator.
std::string WhoMayOpen(const DeviceAccess& access, Wording wording) {
  const bool chinese = wording == Wording::kChinese;
  if (access.groupWouldHelp) {
    return chinese ? StrFormat("（请把当前用户加入 %s 组：sudo adduser $USER %s，然后重新登录）",
                               access.group.c_str(), access.group.c_str())
                   : StrFormat(" (its group %s may: sudo adduser $USER %s, then log in again)",
                               access.group.c_str(), access.group.c_str());
  }
  return chinese ? StrFormat("（该设备属于用户 %s、%s 组，权限 %04o，当前用户不能读写；请设备的所有者或管理员授权）",
                             access.owner.c_str(), access.group.c_str(), access.mode)
                 : StrFormat(" (owner %s, group %s, mode %04o: only its owner or an administrator can grant access)",
                             access.owner.c_str(), access.group.c_str(), access.mode);
}

}  // namespace

std::string DescribeSerialOpenError(const SerialOpenError& error, Wording wording) {
  const SysError cause{error.step, error.code};
  if (!cause.Failed()) return std::string();
  // An invalid entry of ports.ini names the rule it broke, which depends on
  // the system's device names.
  const std::string detail = error.step == SysStep::kPortsEntry ? PortsEntryRule(wording) : std::string();
  std::string words = DescribeCause(cause, CauseSubject{error.path, detail}, wording);
  const bool opening = error.step == SerialOpenStep::kOpen || error.step == SerialOpenStep::kLock;
  DeviceAccess access;
  if (opening && (error.code == EACCES || error.code == EPERM) && ReadDeviceAccess(error.path, &access)) {
    words += WhoMayOpen(access, wording);
  }
  return wording == Wording::kChinese ? "原因：" + words : words;
}
