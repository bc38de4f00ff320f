// PRIVATE to the Win32 serial engine (the files of src/device/win32); see
// serial_port_impl.h.
//
// Which adapter a COM name belongs to, so that a port lost with its adapter
// is taken back only when that adapter returns. Windows keeps a USB
// adapter's COM number for that adapter, but the number can be given to
// another one (the user's choice in Device Manager, or a full table), so the
// name alone is no identity.
//
// Any thread. Blocks on the Plug and Play manager's device list, which is
// asked once per call: at an open and once per reopen attempt, never per
// byte.
#pragma once

#include <string>

// The device instance of the port named name ("COM3"), among the present
// devices of the Ports class: "USB\VID_0403&PID_6001\A50285BI" names one
// adapter by its serial number; an adapter without one gets an instance
// named after the USB socket it sits in. Empty when no present device
// carries the name (the adapter is out, or a port driver that registers no
// device, as a virtual port may): such a port is reopened by its name alone.
std::string ComPortIdentity(const std::string& name);
