// The settings a fresh form shows and the headless bridge uses until told
// otherwise: the serial ones as the texts the start parameters carry, the
// network port's as numbers. The form finds each in its drop-down list.
#pragma once

#include <cstdint>

#include "device/serial_settings.h"

inline constexpr char DEFAULT_PORT_NAME[] = "COM1";
inline constexpr char DEFAULT_BAUD[] = "115200";
inline constexpr const char* DEFAULT_PARITY = SERIAL_PARITIES[0].szName;  // "无"
inline constexpr char DEFAULT_DATA_BITS[] = "8";
inline constexpr char DEFAULT_STOP_BITS[] = "1";
constexpr std::uint16_t DEFAULT_LOCAL_PORT = 2000;
constexpr int DEFAULT_FRAME_SIZE = 256;
