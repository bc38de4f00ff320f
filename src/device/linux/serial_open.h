// PRIVATE to the Linux serial engine (the files of src/device/linux); see
// serial_port_impl.h.
//
// Opening a serial device, step by step, each failure kept with its step and
// error number: the device node, the exclusive lock, the line settings (the
// settings texts and the port name are resolved first, serial_open_request.h).
// Any thread; blocks on the file system and the driver only.
#pragma once

#include <string>

#include "device/serial_open_error.h"
#include "device/serial_settings.h"

// Opens and configures the device; the descriptor, or -1 with the step that
// failed (kOpen, kLock, kSettings) and its error number in *error.
int OpenConfigured(const std::string& path, const SerialLineSettings& settings, SerialOpenError* error);

// Gives up exclusive use and closes fd; nothing for -1.
void CloseQuietly(int fd);
