// Why a serial port did not open, and the words for it: the window's second
// line under kSerialOpenHeadline and the headless bridge's cause. Shared by
// every serial engine; the words come from the one table of causes
// (platform/sys_error.h).
//
// Threads: any thread. DescribeSerialOpenError and ReadDeviceAccess look up
// the device's owner and group (the user database): they may block on it.
#pragma once

#include <string>

#include "platform/sys_error.h"

// Why an Open failed: the step and the error number there (the platform's
// one vocabulary), and the device path it was tried on. kPortsFile and
// kPortsEntry: ports.ini could not be read, or its entry for the name is no
// whole absolute path; path is then ports.ini's path.
using SerialOpenStep = SysStep;
struct SerialOpenError {
  SerialOpenStep step = SerialOpenStep::kNone;
  int code = 0;
  std::string path;
};

// The cause in one line, for the second line of the open-error message: a
// missing device, permission denied (joining the device's group when that
// group may use it, else who owns the device), a port that another program
// holds, settings the driver refuses, or the system's own text. Chinese
// (GBK) starts with "原因："; English has no heading. Empty for kNone.
std::string DescribeSerialOpenError(const SerialOpenError& error, Wording wording = Wording::kChinese);

// The first line of every open-error message, the window's and the bridge's.
inline constexpr char kSerialOpenHeadline[] = "串口打开错误 请查看该串口是否已被其他应用程序同时打开";

// Who may open a device: its owner, group and mode, and whether joining its
// group would let this user in (the group may read and write it and the user
// is not in it yet). false when the path cannot be examined (and on a system
// without owners and groups for devices). Defined by the serial engine of
// the platform.
struct DeviceAccess {
  std::string owner;
  std::string group;
  unsigned mode = 0;
  bool groupWouldHelp = false;
};
bool ReadDeviceAccess(const std::string& path, DeviceAccess* access);
