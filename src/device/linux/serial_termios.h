// PRIVATE to the Linux serial engine (the files of src/device/linux) and its
// tests; see serial_port_impl.h.
//
// The kernel's termios2 record for a port's line settings. Pure, so every
// setting can be tested without a port (a pseudo-terminal forces 8 bits and
// no parity). Any thread; nothing blocks.
#pragma once

#include "device/serial_settings.h"

struct termios2;  // <asm/termbits.h>

// Fills every field of out, so nothing a previous program left on the port
// survives: raw bytes in and out (no echo, no line editing, no translation, a
// break reads as nothing), receiver on, modem status lines ignored, no flow
// control, the lines dropped on the last close, and the exact speed through
// BOTHER for both directions.
void BuildSerialTermios(const SerialLineSettings& settings, termios2* out);
