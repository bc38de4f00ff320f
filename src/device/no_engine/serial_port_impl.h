// PRIVATE to the stand-in engine (no_engine/): a build for a system whose
// serial engine does not exist yet keeps nothing of the system's.
#pragma once

#include "device/serial_port.h"

struct CSerialPort::Impl {};
