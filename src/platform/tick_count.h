// Millisecond tick count, as a wrapping 32-bit value. Any thread; never blocks.
#pragma once

#include <cstdint>

std::uint32_t GetTickCount();
