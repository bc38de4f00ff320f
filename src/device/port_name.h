// PRIVATE to port_path.cpp: how one system names its serial devices. Each
// system's folder defines these (linux/port_name.cpp, win32/port_name.cpp).
//
// Any thread; nothing blocks.
#pragma once

#include <string>

// Whether name is a device path, used as it is: one that begins with '/' on
// Linux, with "\\.\" on Windows.
bool IsDevicePathName(const std::string& name);

// The device an entry of ports.ini names, or empty when the entry is no
// whole device name: an absolute path on Linux (shorter than PATH_MAX, no
// NUL byte: a relative one would depend on the folder the program started
// in); on Windows COMn or a "\\.\" name.
std::string DeviceOfPortsEntry(const std::string& entry);

// The device of "COMn" (n from 1) that ports.ini does not map:
// /dev/ttyS<n-1> on Linux, \\.\COMn on Windows.
std::string DefaultComDevice(unsigned long n);
